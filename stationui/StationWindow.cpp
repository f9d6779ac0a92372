#include "stationui/StationWindow.h"

#include "stationui/FixtureDialog.h"
#include "stationui/PinDialog.h"
#include "stationui/RunView.h"
#include "stationui/SetupPage.h"
#include "stationui/SlotTile.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>

namespace {

// The window's type at 100 %: larger than the desktop's, to be read from a
// step or two away; the setup scales it further.
constexpr qreal kStationType = 1.3;
constexpr int kTypeSteps[] = {100, 125, 150, 200, 300};

QAction *action(QWidget *owner, const char *name, QKeySequence key)
{
    auto *a = new QAction(owner);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(key);
    a->setShortcutContext(Qt::WindowShortcut);
    owner->addAction(a);
    return a;
}

} // namespace

StationWindow::StationWindow(Platform platform, QWidget *parent)
    : QMainWindow(parent), m_platform(std::move(platform)), m_gate(m_platform.settings->pinGate())
{
    setObjectName(QStringLiteral("stationWindow"));
    m_baseFontPoints = QApplication::font().pointSizeF();
    // The language first, so that every widget is made with its texts.
    const RunSetup setup = m_platform.settings->setup();
    m_language.apply(setup.language);
    m_pages = new QStackedWidget(this);
    m_setup = new SetupPage(m_pages);
    m_setup->setObjectName(QStringLiteral("setupPage"));
    m_run = new RunView(&m_board, m_pages);
    m_run->setObjectName(QStringLiteral("runView"));
    m_pages->addWidget(m_setup);
    m_pages->addWidget(m_run);
    setCentralWidget(m_pages);
    m_runState = new QLabel(this);
    m_runState->setObjectName(QStringLiteral("runState"));
    statusBar()->addPermanentWidget(m_runState, 1);
    buildActions();

    m_sound.setEnabled(setup.sound);
    m_setup->setSetup(setup);
    m_board.setLotQuantity(setup.lotQuantity);
    applyType(setup.typePercent);

    connect(m_setup, &SetupPage::setupEdited, this, &StationWindow::saveSetup);
    connect(m_setup, &SetupPage::languageChosen, this,
            [this](const QString &language) { m_language.apply(language); });
    connect(m_setup, &SetupPage::typeChosen, this, &StationWindow::applyType);
    connect(m_setup, &SetupPage::soundChosen, this, [this](bool on) { m_sound.setEnabled(on); });
    connect(m_setup, &SetupPage::unlockRequested, this, &StationWindow::unlock);
    connect(m_setup, &SetupPage::lockRequested, this, [this] {
        m_unlocked = false;
        refresh();
    });
    connect(m_setup, &SetupPage::pinRequested, this, &StationWindow::setPin);
    connect(m_setup, &SetupPage::pinRemovalRequested, this, &StationWindow::removePin);
    connect(m_setup, &SetupPage::learnFixtureRequested, this, &StationWindow::learnFixture);
    connect(&m_board, &RunBoard::resultAdded, this, &StationWindow::onResult);
    // A unit's change touches only what Retry failed may take.
    connect(&m_board, &RunBoard::slotChanged, this, &StationWindow::refreshRetry);
    connect(&m_board, &RunBoard::blockedChanged, this, &StationWindow::refreshRetry);
    retranslate();
    refresh();
}

StationWindow::~StationWindow() = default;

void StationWindow::buildActions()
{
    auto *bar = addToolBar(QString());
    bar->setObjectName(QStringLiteral("actions"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_start = action(this, "startRun", Qt::Key_F5);
    m_stop = action(this, "stopRun", Qt::Key_F6);
    m_retry = action(this, "retryFailed", Qt::Key_F7);
    m_endLot = action(this, "endLot", Qt::Key_F8);
    m_showSetup = action(this, "showSetup", Qt::Key_F2);
    m_showRun = action(this, "showRun", Qt::Key_F3);
    m_reset = action(this, "resetCounters", QKeySequence());
    m_bigger = action(this, "typeBigger", QKeySequence::ZoomIn);
    m_smaller = action(this, "typeSmaller", QKeySequence::ZoomOut);
    for (QAction *a : {m_start, m_stop, m_retry, m_endLot})
        bar->addAction(a);
    bar->addSeparator();
    for (QAction *a : {m_showSetup, m_showRun, m_reset})
        bar->addAction(a);
    connect(m_start, &QAction::triggered, this, &StationWindow::start);
    connect(m_stop, &QAction::triggered, this, &StationWindow::stop);
    connect(m_retry, &QAction::triggered, this, &StationWindow::retry);
    connect(m_endLot, &QAction::triggered, this, &StationWindow::endLot);
    connect(m_reset, &QAction::triggered, this, &StationWindow::resetCounters);
    connect(m_showSetup, &QAction::triggered, this, [this] {
        m_pages->setCurrentWidget(m_setup);
        refresh();
    });
    connect(m_showRun, &QAction::triggered, this, [this] {
        m_pages->setCurrentWidget(m_run);
        refresh();
    });
    const auto step = [this](int direction) {
        const int now = m_setup->setup().typePercent;
        const auto *at = std::find(std::begin(kTypeSteps), std::end(kTypeSteps), now);
        const std::ptrdiff_t index = std::clamp<std::ptrdiff_t>(
            (at - std::begin(kTypeSteps)) + direction, 0, std::size(kTypeSteps) - 1);
        RunSetup setup = m_setup->setup();
        setup.typePercent = kTypeSteps[index];
        m_setup->setSetup(setup);
        applyType(setup.typePercent);
        saveSetup();
    };
    connect(m_bigger, &QAction::triggered, this, [step] { step(1); });
    connect(m_smaller, &QAction::triggered, this, [step] { step(-1); });
}

// The actions have no mnemonics: their function keys serve the keyboard, and
// Alt+letter stays with the setup's fields.
void StationWindow::retranslate()
{
    setWindowTitle(tr("Vantrel Station"));
    m_start->setText(tr("Start"));
    m_start->setToolTip(tr("Start the run (F5)"));
    m_stop->setText(tr("Stop"));
    m_stop->setToolTip(tr("Take no unit more; those under way end (F6)"));
    m_retry->setText(tr("Retry failed"));
    m_retry->setToolTip(tr("Configure again each failed unit still plugged in (F7)"));
    m_endLot->setText(tr("End of lot"));
    m_endLot->setToolTip(tr("Close the lot with its summary (F8)"));
    m_showSetup->setText(tr("Setup"));
    m_showSetup->setToolTip(tr("The run's setup (F2)"));
    m_showRun->setText(tr("Run view"));
    m_showRun->setToolTip(tr("The tiles and counters (F3)"));
    m_reset->setText(tr("Reset counters"));
    m_bigger->setText(tr("Larger type"));
    m_smaller->setText(tr("Smaller type"));
    refresh();
}

void StationWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QMainWindow::changeEvent(event);
}

bool StationWindow::guardLocked() const
{
    return !m_unlocked && !m_platform.settings->pinHash().isEmpty();
}

void StationWindow::refresh()
{
    const bool idle = m_state == State::Idle;
    const bool onSetup = m_pages->currentWidget() == m_setup;
    m_start->setEnabled(idle);
    m_stop->setEnabled(m_state == State::Running);
    refreshRetry();
    m_endLot->setEnabled(idle);
    m_showSetup->setEnabled(!onSetup);
    m_showRun->setEnabled(onSetup);
    m_setup->setRunning(!idle);
    m_setup->setGuardLocked(guardLocked());
    m_setup->setPinSet(!m_platform.settings->pinHash().isEmpty());
    switch (m_state) {
    case State::Idle:
        m_runState->setText(tr("Stopped."));
        break;
    case State::Running:
        m_runState->setText(tr("Running: the setup is locked."));
        break;
    case State::Stopping:
        m_runState->setText(tr("Stopping: the units under way end."));
        break;
    }
}

void StationWindow::refreshRetry()
{
    m_retry->setEnabled(m_state == State::Running && !m_board.isBlocked() &&
                        !m_board.retryable().isEmpty());
}

bool StationWindow::authorize(const QString &why)
{
    const QString stored = m_platform.settings->pinHash();
    if (stored.isEmpty())
        return true;
    PinDialog dialog(PinDialog::Mode::Ask, why, stored, &m_gate, this);
    connect(&dialog, &PinDialog::gateChanged, this, [this] {
        m_platform.settings->setPinGate(m_gate.state());
        if (const QString error = m_platform.settings->sync(); !error.isEmpty())
            statusBar()->showMessage(error);
    });
    return dialog.exec() == QDialog::Accepted;
}

void StationWindow::start()
{
    if (m_state != State::Idle)
        return;
    const SetupCheck check = checkSetup(m_setup->setup());
    m_setup->showProblems(check.problems);
    if (!check.ready) {
        m_pages->setCurrentWidget(m_setup);
        refresh();
        return;
    }
    saveSetup();
    const ReadySetup &ready = *check.ready;
    if (ready.fixture)
        m_board.useFixture(*ready.fixture);
    else
        m_board.useUnits();
    m_board.setLotQuantity(ready.setup.lotQuantity);
    m_board.setReport({ready.setup.reportPath, 0, {}});
    m_runLot = ready.setup.lot;
    m_board.clearBlocked();
    m_state = State::Running;
    // A run locks the setup; the supervisor unlocks it again afterwards.
    m_unlocked = false;
    m_pages->setCurrentWidget(m_run);
    refresh();
    emit startRequested(ready);
}

void StationWindow::stop()
{
    if (m_state != State::Running)
        return;
    m_state = State::Stopping;
    refresh();
    emit stopRequested();
}

void StationWindow::runEnded()
{
    m_state = State::Idle;
    refresh();
    if (m_closeAfterStop)
        close();
}

void StationWindow::retry()
{
    const QList<RetryUnit> units = m_board.retryable();
    if (m_state != State::Running || units.isEmpty())
        return;
    emit retryRequested(units);
}

LotSummary StationWindow::lotSummary() const
{
    return {m_runLot.value_or(m_setup->setup().lot), m_board.lotQuantity(), m_board.tally(),
            m_board.runId(), m_board.report().path};
}

void StationWindow::endLot()
{
    if (m_state != State::Idle)
        return;
    const LotSummary summary = lotSummary();
    QMessageBox box(QMessageBox::Question, tr("End of lot"), lotSummaryText(summary),
                    QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("lotSummary"));
    // A window of its own: it takes the station's type only when told.
    box.setFont(font());
    QPushButton *end = box.addButton(tr("&End the lot"), QMessageBox::AcceptRole);
    box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(end);
    box.exec();
    if (box.clickedButton() != end)
        return;
    emit endOfLotRequested(summary);
    m_board.resetCounters();
}

void StationWindow::resetCounters()
{
    if (authorize(tr("Resetting the counters needs the supervisor's PIN.")))
        m_board.resetCounters();
}

void StationWindow::unlock()
{
    if (authorize(tr("Unlocking the station's setup needs the supervisor's PIN."))) {
        m_unlocked = true;
        refresh();
    }
}

void StationWindow::setPin()
{
    if (guardLocked())
        return;
    PinDialog dialog(PinDialog::Mode::Set,
                     tr("The PIN guards the station's setup and the counters. It is kept only as "
                        "a salted hash."),
                     {}, nullptr, this);
    if (dialog.exec() != QDialog::Accepted || dialog.newHash().isEmpty())
        return;
    m_platform.settings->setPinHash(dialog.newHash());
    m_platform.settings->setPinGate({});
    m_gate = PinGate();
    m_unlocked = true;
    saveSetup();
    refresh();
}

void StationWindow::removePin()
{
    if (guardLocked())
        return;
    m_platform.settings->setPinHash({});
    m_platform.settings->setPinGate({});
    m_gate = PinGate();
    saveSetup();
    refresh();
}

void StationWindow::learnFixture()
{
    if (guardLocked() || !m_platform.deviceSources)
        return;
    FixtureDialog dialog(m_platform.deviceSources(), this);
    if (dialog.exec() == QDialog::Accepted)
        m_setup->setFixturePath(dialog.savedPath());
}

void StationWindow::saveSetup()
{
    m_platform.settings->setSetup(m_setup->setup());
    m_board.setLotQuantity(m_setup->setup().lotQuantity);
    if (const QString error = m_platform.settings->sync(); !error.isEmpty())
        statusBar()->showMessage(tr("The setup is not kept: %1").arg(error));
}

void StationWindow::applyType(int percent)
{
    QFont font = QApplication::font();
    font.setPointSizeF(m_baseFontPoints * kStationType * percent / 100.0);
    setFont(font);
}

void StationWindow::onResult(const ResultLine &line)
{
    if (line.state == SlotState::Passed)
        m_sound.play(Sound::Cue::Pass);
    else if (line.state == SlotState::Failed || line.state == SlotState::NotRecorded)
        m_sound.play(Sound::Cue::Fail);
}

void StationWindow::closeEvent(QCloseEvent *event)
{
    // As Stop: the units under way end and get their records first.
    if (m_state != State::Idle) {
        m_closeAfterStop = true;
        stop();
        event->ignore();
        return;
    }
    saveSetup();
    event->accept();
}

QString lotSummaryText(const LotSummary &summary)
{
    const std::optional<double> yield = summary.tally.yield();
    const QLocale locale;
    // Whole dates and 24-hour times, as the tiles and the report show them:
    // a short locale date ("12/8/26") reads differently on every line.
    const auto time = [](const QDateTime &t) {
        return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                           : QStringLiteral("-");
    };
    QStringList lines;
    lines << QCoreApplication::translate("StationWindow", "Lot: %1").arg(summary.lot)
          << QCoreApplication::translate("StationWindow", "Passed: %1 of %2")
                 .arg(summary.tally.passed)
                 .arg(summary.quantity > 0 ? QString::number(summary.quantity)
                                           : QStringLiteral("-"))
          << QCoreApplication::translate("StationWindow", "Failed: %1").arg(summary.tally.failed)
          << QCoreApplication::translate("StationWindow", "Busy: %1, not recorded: %2")
                 .arg(summary.tally.busy)
                 .arg(summary.tally.notRecorded)
          << QCoreApplication::translate("StationWindow", "Yield: %1")
                 .arg(yield ? locale.toString(*yield * 100, 'f', 1) + QStringLiteral(" %")
                            : QStringLiteral("-"))
          << QCoreApplication::translate("StationWindow", "First result: %1")
                 .arg(time(summary.tally.first))
          << QCoreApplication::translate("StationWindow", "Last result: %1")
                 .arg(time(summary.tally.last))
          << QCoreApplication::translate("StationWindow", "Run: %1").arg(summary.runId)
          << QCoreApplication::translate("StationWindow", "Report: %1").arg(summary.reportPath);
    return lines.join(QLatin1Char('\n'));
}
