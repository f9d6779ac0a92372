#include "stationui/SetupPage.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QSysInfo>
#include <QVBoxLayout>

#include <utility>

namespace {

// The patterns as the field shows them: apart by blanks, one that holds a
// blank or a quote in quotes (a quote in it tripled), as
// QProcess::splitCommand reads them back.
QString patternsText(const QStringList &patterns)
{
    QStringList shown;
    for (QString pattern : patterns) {
        static const QRegularExpression needsQuotes(QStringLiteral("[\\s\"]"));
        if (pattern.contains(needsQuotes))
            pattern = QLatin1Char('"') +
                      pattern.replace(QLatin1Char('"'), QStringLiteral("\"\"\"")) +
                      QLatin1Char('"');
        shown << pattern;
    }
    return shown.join(QLatin1Char(' '));
}

constexpr int kTypeSizes[] = {100, 125, 150, 200, 300};

template <typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLabel *problemLabel(const char *name, QWidget *parent)
{
    auto *label = named(new QLabel(parent), name);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0xA0, 0x10, 0x10));
    label->setPalette(palette);
    return label;
}

// A path and the button that picks it, side by side.
QLayout *pathRow(QLineEdit *path, QList<QPushButton *> buttons)
{
    auto *row = new QHBoxLayout;
    row->addWidget(path, 1);
    for (QPushButton *button : buttons)
        row->addWidget(button);
    return row;
}

} // namespace

SetupPage::SetupPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    m_problems = problemLabel("setupProblems", this);
    layout->addWidget(m_problems);
    auto *columns = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    left->addWidget(buildRunGroup());
    left->addWidget(buildStationGroup());
    left->addStretch();
    auto *right = new QVBoxLayout;
    right->addWidget(buildWindowGroup());
    right->addWidget(buildSupervisorGroup());
    right->addStretch();
    columns->addLayout(left, 3);
    columns->addLayout(right, 2);
    layout->addLayout(columns, 1);
    m_problems->hide();
    retranslate();
    refreshEnabled();
}

QGroupBox *SetupPage::buildRunGroup()
{
    m_runGroup = named(new QGroupBox(this), "runGroup");
    m_operator = named(new QLineEdit(m_runGroup), "operatorName");
    m_operatorProblem = problemLabel("operatorProblem", m_runGroup);
    m_lot = named(new QLineEdit(m_runGroup), "lot");
    m_quantity = named(new QSpinBox(m_runGroup), "lotQuantity");
    m_quantity->setRange(0, 10'000'000);
    auto *form = new QFormLayout(m_runGroup);
    const std::pair<QWidget *, const char *> rows[] = {
        {m_operator, QT_TR_NOOP("&Operator:")},
        {m_lot, QT_TR_NOOP("&Lot or work order:")},
        {m_quantity, QT_TR_NOOP("&Quantity:")},
    };
    for (const auto &[field, caption] : rows) {
        auto *label = new QLabel(m_runGroup);
        label->setBuddy(field);
        m_captions.append({label, caption});
        form->addRow(label, field);
        if (field == m_operator)
            form->addRow(static_cast<QWidget *>(nullptr), m_operatorProblem);
    }
    // A barcode scanner types the badge and ends with Enter: go on to the lot.
    connect(m_operator, &QLineEdit::returnPressed, this, &SetupPage::onOperatorEntered);
    connect(m_operator, &QLineEdit::textChanged, this, &SetupPage::refreshOperator);
    for (QLineEdit *edit : {m_operator, m_lot})
        connect(edit, &QLineEdit::textEdited, this, &SetupPage::setupEdited);
    connect(m_quantity, &QSpinBox::valueChanged, this, [this] {
        if (!m_filling)
            emit setupEdited();
    });
    return m_runGroup;
}

QGroupBox *SetupPage::buildStationGroup()
{
    m_stationGroup = named(new QGroupBox(this), "stationGroup");
    m_profile = named(new QLineEdit(m_stationGroup), "profilePath");
    m_chooseProfile = named(new QPushButton(m_stationGroup), "chooseProfile");
    m_profileSummary = named(new QLabel(m_stationGroup), "profileSummary");
    m_profileSummary->setWordWrap(true);
    m_profileSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_report = named(new QLineEdit(m_stationGroup), "reportPath");
    m_chooseReport = named(new QPushButton(m_stationGroup), "chooseReport");
    m_station = named(new QLineEdit(m_stationGroup), "stationName");
    m_station->setPlaceholderText(QSysInfo::machineHostName());
    m_fixture = named(new QLineEdit(m_stationGroup), "fixturePath");
    m_chooseFixture = named(new QPushButton(m_stationGroup), "chooseFixture");
    m_learnFixture = named(new QPushButton(m_stationGroup), "learnFixture");
    m_clearFixture = named(new QPushButton(m_stationGroup), "clearFixture");
    m_fixtureSummary = named(new QLabel(m_stationGroup), "fixtureSummary");
    m_fixtureSummary->setWordWrap(true);
    m_matches = named(new QLineEdit(m_stationGroup), "matchPatterns");
    m_store = named(new QLineEdit(m_stationGroup), "storeConninfo");

    auto *form = new QFormLayout(m_stationGroup);
    const auto row = [this, form](const char *caption, QWidget *buddy, QLayout *field) {
        auto *label = new QLabel(m_stationGroup);
        label->setBuddy(buddy);
        m_captions.append({label, caption});
        form->addRow(label, field);
    };
    row(QT_TR_NOOP("&Profile:"), m_profile, pathRow(m_profile, {m_chooseProfile}));
    form->addRow(static_cast<QWidget *>(nullptr), m_profileSummary);
    row(QT_TR_NOOP("&Report file:"), m_report, pathRow(m_report, {m_chooseReport}));
    row(QT_TR_NOOP("S&tation name:"), m_station, pathRow(m_station, {}));
    row(QT_TR_NOOP("&Fixture:"), m_fixture,
        pathRow(m_fixture, {m_chooseFixture, m_learnFixture, m_clearFixture}));
    form->addRow(static_cast<QWidget *>(nullptr), m_fixtureSummary);
    row(QT_TR_NOOP("&Units to take:"), m_matches, pathRow(m_matches, {}));
    row(QT_TR_NOOP("Record &store:"), m_store, pathRow(m_store, {}));

    for (QLineEdit *edit : {m_profile, m_report, m_station, m_fixture, m_matches, m_store})
        connect(edit, &QLineEdit::textEdited, this, &SetupPage::setupEdited);
    connect(m_profile, &QLineEdit::textChanged, this, &SetupPage::refreshProfile);
    connect(m_fixture, &QLineEdit::textChanged, this, &SetupPage::refreshFixture);
    connect(m_chooseProfile, &QPushButton::clicked, this, &SetupPage::chooseProfile);
    connect(m_chooseReport, &QPushButton::clicked, this, &SetupPage::chooseReport);
    connect(m_chooseFixture, &QPushButton::clicked, this, &SetupPage::chooseFixture);
    connect(m_learnFixture, &QPushButton::clicked, this, &SetupPage::learnFixtureRequested);
    connect(m_clearFixture, &QPushButton::clicked, this, [this] {
        m_fixture->clear();
        emit setupEdited();
    });
    return m_stationGroup;
}

QGroupBox *SetupPage::buildWindowGroup()
{
    m_windowGroup = named(new QGroupBox(this), "windowGroup");
    m_language = named(new QComboBox(m_windowGroup), "language");
    // Each language by its own name, so that anyone finds theirs.
    m_language->addItem(QString(), QString());
    m_language->addItem(QStringLiteral("English"), QStringLiteral("en"));
    m_language->addItem(QStringLiteral("简体中文"), QStringLiteral("zh_CN"));
    m_type = named(new QComboBox(m_windowGroup), "typeSize");
    for (int percent : kTypeSizes)
        m_type->addItem(QStringLiteral("%1 %").arg(percent), percent);
    m_sound = named(new QCheckBox(m_windowGroup), "sound");
    auto *form = new QFormLayout(m_windowGroup);
    for (const auto &[field, caption] :
         {std::pair<QWidget *, const char *>{m_language, QT_TR_NOOP("La&nguage:")},
          {m_type, QT_TR_NOOP("T&ype size:")}}) {
        auto *label = new QLabel(m_windowGroup);
        label->setBuddy(field);
        m_captions.append({label, caption});
        form->addRow(label, field);
    }
    form->addRow(static_cast<QWidget *>(nullptr), m_sound);
    connect(m_language, &QComboBox::activated, this, [this] {
        emit languageChosen(m_language->currentData().toString());
        emit setupEdited();
    });
    connect(m_type, &QComboBox::activated, this, [this] {
        emit typeChosen(m_type->currentData().toInt());
        emit setupEdited();
    });
    connect(m_sound, &QCheckBox::clicked, this, [this](bool on) {
        emit soundChosen(on);
        emit setupEdited();
    });
    return m_windowGroup;
}

QGroupBox *SetupPage::buildSupervisorGroup()
{
    m_supervisorGroup = named(new QGroupBox(this), "supervisorGroup");
    m_lockState = named(new QLabel(m_supervisorGroup), "lockState");
    m_lockState->setWordWrap(true);
    m_unlock = named(new QPushButton(m_supervisorGroup), "unlockSetup");
    m_setPin = named(new QPushButton(m_supervisorGroup), "setPin");
    m_removePin = named(new QPushButton(m_supervisorGroup), "removePin");
    auto *layout = new QVBoxLayout(m_supervisorGroup);
    layout->addWidget(m_lockState);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {m_unlock, m_setPin, m_removePin})
        buttons->addWidget(button);
    layout->addLayout(buttons);
    connect(m_unlock, &QPushButton::clicked, this, [this] {
        if (m_guardLocked)
            emit unlockRequested();
        else
            emit lockRequested();
    });
    connect(m_setPin, &QPushButton::clicked, this, &SetupPage::pinRequested);
    connect(m_removePin, &QPushButton::clicked, this, &SetupPage::pinRemovalRequested);
    return m_supervisorGroup;
}

void SetupPage::retranslate()
{
    for (const auto &[label, caption] : std::as_const(m_captions))
        label->setText(tr(caption));
    m_runGroup->setTitle(tr("Run"));
    m_stationGroup->setTitle(tr("Station (supervisor)"));
    m_windowGroup->setTitle(tr("Window"));
    m_supervisorGroup->setTitle(tr("Supervisor"));
    m_operator->setPlaceholderText(tr("Type or scan the badge"));
    m_quantity->setSpecialValueText(tr("none"));
    m_chooseProfile->setText(tr("C&hoose..."));
    m_chooseReport->setText(tr("Choos&e..."));
    m_chooseFixture->setText(tr("Choose..."));
    m_learnFixture->setText(tr("Le&arn fixture..."));
    m_clearFixture->setText(tr("No fi&xture"));
    m_matches->setPlaceholderText(tr(
        "e.g. 0403:6001 or a by-id name; several apart by blanks, \"one with blanks\" in quotes"));
    m_store->setPlaceholderText(
        tr("None; or PostgreSQL, e.g. host=db dbname=line user=station (no password)"));
    m_language->setItemText(0, tr("The system's language"));
    m_sound->setText(tr("Pass and fail soun&ds"));
    m_setPin->setText(m_pinSet ? tr("Change P&IN...") : tr("Set P&IN..."));
    m_removePin->setText(tr("Remo&ve PIN"));
    refreshOperator();
    refreshProfile();
    refreshFixture();
    refreshEnabled();
}

void SetupPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void SetupPage::setSetup(const RunSetup &setup)
{
    m_filling = true;
    m_operator->setText(setup.operatorName);
    m_lot->setText(setup.lot);
    m_quantity->setValue(setup.lotQuantity);
    m_profile->setText(setup.profilePath);
    m_report->setText(setup.reportPath);
    m_station->setText(setup.stationName);
    m_fixture->setText(setup.fixturePath);
    m_matches->setText(patternsText(setup.matches));
    m_store->setText(setup.store);
    m_language->setCurrentIndex(std::max(0, m_language->findData(setup.language)));
    m_type->setCurrentIndex(std::max(0, m_type->findData(setup.typePercent)));
    m_sound->setChecked(setup.sound);
    m_filling = false;
}

RunSetup SetupPage::setup() const
{
    RunSetup setup;
    setup.operatorName = m_operator->text().trimmed();
    setup.lot = m_lot->text().trimmed();
    setup.lotQuantity = m_quantity->value();
    setup.profilePath = m_profile->text().trimmed();
    setup.reportPath = m_report->text().trimmed();
    setup.stationName = m_station->text().trimmed();
    setup.fixturePath = m_fixture->text().trimmed();
    // A product name has blanks ("Dongle emulator *"): split apart, its
    // words would be patterns of their own, and "*" takes every device.
    setup.matches = QProcess::splitCommand(m_matches->text());
    setup.store = m_store->text().trimmed();
    setup.language = m_language->currentData().toString();
    setup.typePercent = m_type->currentData().toInt();
    setup.sound = m_sound->isChecked();
    return setup;
}

void SetupPage::setGuardLocked(bool locked)
{
    if (std::exchange(m_guardLocked, locked) != locked)
        refreshEnabled();
}

void SetupPage::setRunning(bool running)
{
    if (std::exchange(m_running, running) != running)
        refreshEnabled();
}

void SetupPage::setPinSet(bool set)
{
    // Not on every call: the captions' refresh reads the profile again.
    if (std::exchange(m_pinSet, set) != set)
        retranslate();
}

void SetupPage::showProblems(const QStringList &problems)
{
    m_problems->setText(problems.join(QLatin1Char('\n')));
    m_problems->setVisible(!problems.isEmpty());
}

void SetupPage::setFixturePath(const QString &path)
{
    m_fixture->setText(path);
    emit setupEdited();
}

void SetupPage::refreshOperator()
{
    // Said as soon as it is typed, not only when Start is pressed.
    const QString text = m_operator->text();
    m_operatorProblem->setText(text.isEmpty() ? QString() : operatorRefusal(text));
    // No empty line under the field while the name is taken.
    if (auto *form = qobject_cast<QFormLayout *>(m_runGroup->layout()))
        form->setRowVisible(m_operatorProblem, !m_operatorProblem->text().isEmpty());
}

void SetupPage::refreshProfile()
{
    const QString path = m_profile->text().trimmed();
    if (path.isEmpty()) {
        m_profileSummary->setText(tr("No profile chosen."));
        return;
    }
    const ProfileLoad load = loadProfile(path);
    if (!load.summary) {
        m_profileSummary->setText(load.error);
        return;
    }
    m_profileSummary->setText(
        tr("Sends %1. SHA-256 of the settings: %2.")
            .arg(load.summary->settings.join(QStringLiteral(", ")), load.summary->shortDigest()));
}

void SetupPage::refreshFixture()
{
    const QString path = m_fixture->text().trimmed();
    if (path.isEmpty()) {
        m_fixtureSummary->setText(tr("No fixture: the run takes the units named below, a tile "
                                     "for each as it comes."));
    } else if (const FixtureRead read = readFixture(path); read.fixture) {
        m_fixtureSummary->setText(
            tr("%n slot(s), each bound to its socket.", nullptr, read.fixture->slotCount()));
    } else {
        m_fixtureSummary->setText(read.error);
    }
    refreshEnabled();
}

void SetupPage::refreshEnabled()
{
    const bool free = !m_running;
    const bool guarded = free && !m_guardLocked;
    for (QLineEdit *edit : {m_operator, m_lot})
        edit->setReadOnly(!free);
    m_quantity->setReadOnly(!free);
    for (QLineEdit *edit : {m_profile, m_report, m_station, m_fixture, m_matches, m_store})
        edit->setReadOnly(!guarded);
    m_matches->setEnabled(m_fixture->text().trimmed().isEmpty());
    for (QPushButton *button :
         {m_chooseProfile, m_chooseReport, m_chooseFixture, m_learnFixture, m_clearFixture})
        button->setEnabled(guarded);
    m_unlock->setVisible(m_pinSet);
    m_unlock->setEnabled(free);
    m_unlock->setText(m_guardLocked ? tr("Unloc&k setup...") : tr("Loc&k setup"));
    m_setPin->setEnabled(guarded);
    m_removePin->setVisible(m_pinSet);
    m_removePin->setEnabled(guarded);
    m_lockState->setText(m_running       ? tr("A run is on: the setup is locked until it stops.")
                         : !m_pinSet     ? tr("No supervisor PIN is set: anyone may change the "
                                                  "station's setup.")
                         : m_guardLocked ? tr("Locked: the supervisor's PIN unlocks the station's "
                                              "setup.")
                                         : tr("Unlocked until a run starts or Lock is pressed."));
}

void SetupPage::chooseProfile()
{
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Choose a profile"), m_profile->text(), tr("Profiles (*.profile);;All files (*)"));
    if (path.isEmpty())
        return;
    m_profile->setText(path);
    emit setupEdited();
}

void SetupPage::chooseReport()
{
    // Not confirmed as overwriting: the run appends to the file.
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Choose the report file"), m_report->text(),
        tr("CSV (*.csv);;JSON Lines (*.jsonl)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return;
    m_report->setText(path);
    emit setupEdited();
}

void SetupPage::chooseFixture()
{
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Choose a fixture"), m_fixture->text(), tr("Fixtures (*.fixture);;All files (*)"));
    if (path.isEmpty())
        return;
    m_fixture->setText(path);
    emit setupEdited();
}

void SetupPage::onOperatorEntered()
{
    if (operatorRefusal(m_operator->text()).isEmpty())
        m_lot->setFocus();
    else
        m_operator->selectAll();
}
