#include "stationui/RunView.h"

#include "stationui/SlotTile.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

// Elapsed times are shown to a tenth of a second; a slower tick would make
// them jump, a faster one costs redraws for nothing.
constexpr int kTickMs = 200;

QLabel *countLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

// Larger than the view's type, and again whenever that changes.
void enlarge(QLabel *label, const QFont &base, qreal factor = 1.4, bool bold = true)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * factor);
    font.setBold(bold);
    label->setFont(font);
}

// The number of columns that gives the largest tiles of the tile's own
// shape in size.
int bestColumns(int count, QSizeF room, QSizeF tile)
{
    int best = 1;
    qreal bestScale = 0;
    for (int columns = 1; columns <= count; ++columns) {
        const int rows = (count + columns - 1) / columns;
        const qreal scale = std::min(room.width() / (columns * tile.width()),
                                     room.height() / (rows * tile.height()));
        if (scale > bestScale) {
            bestScale = scale;
            best = columns;
        }
    }
    return best;
}

} // namespace

RunView::RunView(RunBoard *board, QWidget *parent) : QWidget(parent), m_board(board)
{
    m_content = new QWidget(this);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_content);
    auto *content = new QVBoxLayout(m_content);
    content->addLayout(buildCounters());
    m_report = new QLabel(m_content);
    m_report->setObjectName(QStringLiteral("reportState"));
    m_report->setWordWrap(true);
    content->addWidget(m_report);
    m_store = new QLabel(m_content);
    m_store->setObjectName(QStringLiteral("storeState"));
    m_store->setWordWrap(true);
    content->addWidget(m_store);
    content->addLayout(buildMiddle(), 1);
    buildBlocked();

    m_tick = new QTimer(this);
    m_tick->setObjectName(QStringLiteral("elapsedTick"));
    m_tick->setInterval(kTickMs);
    connect(m_tick, &QTimer::timeout, this, &RunView::tick);
    connect(m_board, &RunBoard::slotsReset, this, &RunView::rebuildTiles);
    connect(m_board, &RunBoard::slotChanged, this, &RunView::onSlotChanged);
    connect(m_board, &RunBoard::tallyChanged, this, &RunView::refreshTally);
    connect(m_board, &RunBoard::resultAdded, this, &RunView::onResultAdded);
    connect(m_board, &RunBoard::reportChanged, this, &RunView::refreshReport);
    connect(m_board, &RunBoard::storeChanged, this, &RunView::refreshStore);
    connect(m_board, &RunBoard::blockedChanged, this, &RunView::refreshBlocked);
    rebuildTiles();
    retranslate();
    refreshFonts();
    refreshBlocked();
}

QLayout *RunView::buildCounters()
{
    auto *counters = new QHBoxLayout;
    counters->setSpacing(QFontMetrics(font()).averageCharWidth() * 4);
    m_passed = countLabel("passedCount", m_content);
    m_failed = countLabel("failedCount", m_content);
    m_yield = countLabel("yieldValue", m_content);
    m_lotLabel = countLabel("lotCount", m_content);
    for (QLabel *label : {m_passed, m_failed, m_yield, m_lotLabel})
        counters->addWidget(label);
    m_lot = new QProgressBar(m_content);
    m_lot->setObjectName(QStringLiteral("lotProgress"));
    m_lot->setTextVisible(false);
    counters->addWidget(m_lot, 1);
    return counters;
}

QLayout *RunView::buildMiddle()
{
    m_scroll = new QScrollArea(m_content);
    m_scroll->setObjectName(QStringLiteral("tileArea"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_grid = new QWidget;
    m_gridLayout = new QGridLayout(m_grid);
    m_scroll->setWidget(m_grid);
    m_noSlots = new QLabel(m_content);
    m_noSlots->setObjectName(QStringLiteral("noSlots"));
    m_noSlots->setAlignment(Qt::AlignCenter);
    m_noSlots->setWordWrap(true);

    m_recentTitle = new QLabel(m_content);
    m_recent = new QListWidget(m_content);
    m_recent->setObjectName(QStringLiteral("recentResults"));
    // Two lines a result, wrapped rather than cut: the serial number whole.
    m_recent->setWordWrap(true);
    m_recent->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_recent->setAlternatingRowColors(true);
    m_recentTitle->setBuddy(m_recent);
    auto *side = new QVBoxLayout;
    side->addWidget(m_recentTitle);
    side->addWidget(m_recent);
    auto *middle = new QHBoxLayout;
    middle->addWidget(m_scroll, 5);
    middle->addWidget(m_noSlots, 5);
    middle->addLayout(side, 2);
    return middle;
}

// Over the whole view, so that nothing under it can be pressed or focused.
void RunView::buildBlocked()
{
    m_blocked = new QFrame(this);
    m_blocked->setObjectName(QStringLiteral("blockingError"));
    m_blocked->setAutoFillBackground(true);
    QPalette alarm = m_blocked->palette();
    alarm.setColor(QPalette::Window, QColor(0x7F, 0x10, 0x10));
    alarm.setColor(QPalette::WindowText, Qt::white);
    m_blocked->setPalette(alarm);
    m_blocked->setFocusPolicy(Qt::StrongFocus);
    m_blockedTitle = countLabel("blockingTitle", m_blocked);
    m_problem = new QLabel(m_blocked);
    m_problem->setObjectName(QStringLiteral("blockingProblem"));
    m_remedy = new QLabel(m_blocked);
    m_remedy->setObjectName(QStringLiteral("blockingRemedy"));
    auto *notice = new QVBoxLayout(m_blocked);
    notice->addStretch();
    for (QLabel *label : {m_blockedTitle, m_problem, m_remedy}) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignCenter);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        notice->addWidget(label);
    }
    notice->addStretch();
    m_blocked->hide();
}

void RunView::rebuildTiles()
{
    const QList<SlotStatus> &slotList = m_board->slotList();
    while (m_tiles.size() > slotList.size())
        delete m_tiles.takeLast();
    while (m_tiles.size() < slotList.size()) {
        auto *tile = new SlotTile(m_grid);
        tile->setObjectName(QStringLiteral("slotTile%1").arg(m_tiles.size() + 1));
        m_tiles.append(tile);
    }
    for (qsizetype i = 0; i < slotList.size(); ++i)
        m_tiles[i]->showSlot(slotList.at(i), m_board->elapsedMs(int(i)));
    m_columns = 0;
    arrangeTiles();
    m_scroll->setVisible(!m_tiles.isEmpty());
    m_noSlots->setVisible(m_tiles.isEmpty());
}

void RunView::arrangeTiles()
{
    if (m_tiles.isEmpty())
        return;
    const QSize viewport = m_scroll->viewport()->size();
    const int columns = bestColumns(int(m_tiles.size()), QSizeF(viewport),
                                    QSizeF(m_tiles.constFirst()->sizeHint()));
    if (columns == m_columns)
        return;
    m_columns = columns;
    for (SlotTile *tile : std::as_const(m_tiles))
        m_gridLayout->removeWidget(tile);
    // Keyboard order follows reading order: row by row.
    for (qsizetype i = 0; i < m_tiles.size(); ++i) {
        m_gridLayout->addWidget(m_tiles[i], int(i) / columns, int(i) % columns);
        if (i > 0)
            setTabOrder(m_tiles[i - 1], m_tiles[i]);
    }
}

void RunView::onSlotChanged(int index)
{
    if (index < 0 || index >= m_tiles.size())
        return;
    m_tiles[index]->showSlot(m_board->slotList().at(index), m_board->elapsedMs(index));
    if (m_board->anyUnderWay() != m_tick->isActive()) {
        if (m_tick->isActive())
            m_tick->stop();
        else
            m_tick->start();
    }
}

void RunView::tick()
{
    const QList<SlotStatus> &slotList = m_board->slotList();
    for (qsizetype i = 0; i < slotList.size() && i < m_tiles.size(); ++i) {
        const qint64 elapsed = m_board->elapsedMs(int(i));
        if (elapsed >= 0)
            m_tiles[i]->showSlot(slotList.at(i), elapsed);
    }
    if (!m_board->anyUnderWay())
        m_tick->stop();
}

QString RunView::resultText(const ResultLine &line) const
{
    const QString unit =
        line.unit.serialNumber.isEmpty() ? line.unit.location : line.unit.serialNumber;
    QString text = tr("%1  Slot %2  %3")
                       .arg(line.time.toString(QStringLiteral("HH:mm:ss")))
                       .arg(line.slot)
                       .arg(SlotTile::wordFor(line.state));
    if (line.attempt > 1)
        text += QStringLiteral("  ") + tr("attempt %1").arg(line.attempt);
    text += QLatin1Char('\n') + unit;
    if (!line.reason.isEmpty())
        text += QStringLiteral("  ") + line.reason;
    return text;
}

void RunView::onResultAdded(const ResultLine &line)
{
    m_recent->insertItem(0, resultText(line));
    while (m_recent->count() > RunBoard::kRecentResults)
        delete m_recent->takeItem(m_recent->count() - 1);
}

void RunView::refreshRecent()
{
    m_recent->clear();
    const QList<ResultLine> &recent = m_board->recent();
    for (auto line = recent.crbegin(); line != recent.crend(); ++line)
        m_recent->addItem(resultText(*line));
}

void RunView::refreshTally()
{
    const Tally &tally = m_board->tally();
    const QLocale locale;
    m_passed->setText(tr("Passed %1").arg(tally.passed));
    m_failed->setText(tr("Failed %1").arg(tally.failed));
    const std::optional<double> yield = tally.yield();
    m_yield->setText(yield ? tr("Yield %1 %").arg(locale.toString(*yield * 100, 'f', 1))
                           : tr("Yield -"));
    const int quantity = m_board->lotQuantity();
    m_lotLabel->setText(quantity > 0 ? tr("Lot %1 of %2").arg(tally.passed).arg(quantity)
                                     : tr("Lot %1").arg(tally.passed));
    m_lot->setVisible(quantity > 0);
    m_lot->setRange(0, std::max(1, quantity));
    m_lot->setValue(std::min(tally.passed, quantity));
    m_lot->setAccessibleName(m_lotLabel->text());
    if (m_board->recent().isEmpty() && m_recent->count() > 0)
        m_recent->clear();
}

void RunView::refreshReport()
{
    const ReportStatus &report = m_board->report();
    if (report.path.isEmpty())
        m_report->setText(tr("No report: results are not recorded."));
    else if (!report.error.isEmpty())
        m_report->setText(tr("Report %1 cannot be written: %2").arg(report.path, report.error));
    else
        m_report->setText(
            tr("Report %1: %n record(s) written.", nullptr, report.records).arg(report.path));
}

void RunView::refreshStore()
{
    const StoreStatus &store = m_board->store();
    m_store->setVisible(store.state != StoreStatus::State::Off);
    switch (store.state) {
    case StoreStatus::State::Off:
        break;
    case StoreStatus::State::Checking:
        m_store->setText(tr("Store %1: asking whether it takes the records...").arg(store.shown));
        break;
    case StoreStatus::State::Reachable:
        if (store.waiting > 0)
            m_store->setText((store.again
                                  ? tr("Store %1 reachable again: %n record(s) waiting go now.",
                                       nullptr, store.waiting)
                                  : tr("Store %1: %n record(s) waiting.", nullptr, store.waiting))
                                 .arg(store.shown));
        else
            m_store->setText(tr("Store %1: every record is in the store.").arg(store.shown));
        break;
    case StoreStatus::State::Unreachable:
        m_store->setText(tr("Store %1 unreachable: %n record(s) waiting (%2). The line goes on; "
                            "they follow when it is back.",
                            nullptr, store.waiting)
                             .arg(store.shown, store.why));
        break;
    }
}

void RunView::refreshBlocked()
{
    const bool blocked = m_board->isBlocked();
    m_problem->setText(m_board->problem());
    m_remedy->setText(m_board->remedy());
    m_content->setEnabled(!blocked);
    m_blocked->setGeometry(rect());
    m_blocked->setVisible(blocked);
    if (blocked) {
        m_blocked->raise();
        m_blocked->setFocus();
    }
}

void RunView::retranslate()
{
    m_recentTitle->setText(tr("&Latest results"));
    m_noSlots->setText(tr("No unit yet: each unit that comes gets its tile."));
    m_blockedTitle->setText(tr("Stopped: no unit is configured"));
    m_blocked->setAccessibleName(m_blockedTitle->text());
    refreshTally();
    refreshReport();
    refreshStore();
    refreshRecent();
}

void RunView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    if (event->type() == QEvent::FontChange)
        refreshFonts();
    QWidget::changeEvent(event);
}

void RunView::refreshFonts()
{
    for (QLabel *label : {m_passed, m_failed, m_yield, m_lotLabel})
        enlarge(label, font());
    enlarge(m_blockedTitle, font(), 2.0);
    enlarge(m_problem, font(), 1.3, false);
    enlarge(m_remedy, font(), 1.3, false);
    m_columns = 0;
    arrangeTiles();
}

void RunView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_blocked->setGeometry(rect());
    arrangeTiles();
}
