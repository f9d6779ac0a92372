#include "stationui/RunBoard.h"

namespace {

// A unit's place where the system names no socket for it.
QString keyOf(const PortEntry &unit)
{
    return unit.byPath.isEmpty() ? unit.location : unit.byPath;
}

bool isUnderWay(SlotState state)
{
    return state == SlotState::Settling || state == SlotState::Configuring;
}

} // namespace

std::optional<double> Tally::yield() const
{
    const int tried = passed + failed;
    if (tried == 0)
        return std::nullopt;
    return double(passed) / tried;
}

SlotState stateAfter(const UnitEnd &end)
{
    // Sent nothing: there is no configured unit to lack its record.
    if (end.result == QLatin1String("not-configured"))
        return SlotState::NotConfigured;
    if (!end.recorded)
        return SlotState::NotRecorded;
    if (end.result == QLatin1String("ok"))
        return SlotState::Passed;
    if (end.result == QLatin1String("busy"))
        return SlotState::Busy;
    return SlotState::Failed;
}

RunBoard::RunBoard(QObject *parent)
    : QObject(parent), m_clock([this] { return m_started.elapsed(); })
{
    m_started.start();
}

void RunBoard::useFixture(const Fixture &fixture)
{
    m_fixture = fixture;
    m_slots.clear();
    for (int i = 0; i < fixture.slotCount(); ++i)
        m_slots.append(SlotStatus{.number = i + 1, .key = fixture.sockets().at(i)});
    emit slotsReset();
}

void RunBoard::useUnits()
{
    m_fixture.reset();
    m_slots.clear();
    emit slotsReset();
}

void RunBoard::setLotQuantity(int quantity)
{
    m_lotQuantity = std::max(0, quantity);
    emit tallyChanged();
}

void RunBoard::resetCounters()
{
    m_tally = {};
    m_recent.clear();
    emit tallyChanged();
}

int RunBoard::slotFor(const PortEntry &unit, bool make)
{
    if (m_fixture)
        return m_fixture->slotOf(unit.byPath) - 1;
    const QString key = keyOf(unit);
    for (qsizetype i = 0; i < m_slots.size(); ++i) {
        if (m_slots.at(i).key == key)
            return int(i);
    }
    if (!make || key.isEmpty())
        return -1;
    m_slots.append(SlotStatus{.number = int(m_slots.size()) + 1, .key = key});
    emit slotsReset();
    return int(m_slots.size()) - 1;
}

bool RunBoard::unitAppeared(const PortEntry &unit)
{
    const int index = slotFor(unit, true);
    if (index < 0)
        return false;
    SlotStatus &slot = m_slots[index];
    slot.state = SlotState::Settling;
    slot.unit = unit;
    slot.present = true;
    slot.result.clear();
    slot.reason.clear();
    slot.attempt = 0;
    slot.startedAtMs = m_clock();
    emit slotChanged(index);
    return true;
}

bool RunBoard::unitStarted(const PortEntry &unit, int attempt)
{
    const int index = slotFor(unit, true);
    if (index < 0)
        return false;
    SlotStatus &slot = m_slots[index];
    slot.state = SlotState::Configuring;
    slot.unit = unit;
    slot.present = true;
    slot.reason.clear();
    slot.attempt = attempt;
    slot.startedAtMs = m_clock();
    emit slotChanged(index);
    return true;
}

bool RunBoard::unitEnded(const PortEntry &unit, const UnitEnd &end)
{
    const int index = slotFor(unit, true);
    if (index < 0)
        return false;
    SlotStatus &slot = m_slots[index];
    slot.state = stateAfter(end);
    slot.unit = unit;
    slot.result = end.result;
    slot.reason = end.reason;
    slot.attempt = std::max(slot.attempt, 1);
    slot.startedAtMs = -1;
    slot.lastResultTime = end.time.isValid() ? end.time : QDateTime::currentDateTime();
    count(slot, end);
    emit slotChanged(index);
    return true;
}

void RunBoard::count(const SlotStatus &slot, const UnitEnd &end)
{
    switch (slot.state) {
    case SlotState::Passed:
        ++m_tally.passed;
        break;
    case SlotState::Failed:
        ++m_tally.failed;
        break;
    case SlotState::Busy:
        ++m_tally.busy;
        break;
    case SlotState::NotRecorded:
        ++m_tally.notRecorded;
        break;
    default:
        // Nothing was sent: no result to count.
        return;
    }
    if (!m_tally.first.isValid())
        m_tally.first = slot.lastResultTime;
    m_tally.last = slot.lastResultTime;
    const ResultLine line{slot.lastResultTime, slot.number, slot.unit,
                          slot.state,          end.reason,  slot.attempt};
    m_recent.append(line);
    if (m_recent.size() > kRecentResults)
        m_recent.removeFirst();
    emit tallyChanged();
    emit resultAdded(line);
}

void RunBoard::unitVanished(const QString &location)
{
    for (qsizetype i = 0; i < m_slots.size(); ++i) {
        SlotStatus &slot = m_slots[i];
        if (slot.state == SlotState::Empty || slot.unit.location != location)
            continue;
        slot.present = false;
        // A unit under way still gets its end from the run (a port error).
        // One that failed that way keeps its FAIL: its hang-up often reaches
        // the port before the system tells of its removal, and the operator
        // must see it failed, not a free slot.
        const bool lostInItsWait =
            slot.state == SlotState::Failed && slot.result == QLatin1String("port-error");
        if (slot.state != SlotState::Configuring && !lostInItsWait) {
            slot.state = SlotState::Empty;
            slot.startedAtMs = -1;
        }
        emit slotChanged(int(i));
    }
}

void RunBoard::setRunId(const QString &runId)
{
    m_runId = runId;
}

void RunBoard::setReport(const ReportStatus &report)
{
    m_report = report;
    emit reportChanged();
}

void RunBoard::setBlocked(const QString &problem, const QString &remedy)
{
    m_problem = problem;
    m_remedy = remedy;
    emit blockedChanged();
}

void RunBoard::clearBlocked()
{
    setBlocked({}, {});
}

void RunBoard::setStore(const StoreStatus &store)
{
    m_store = store;
    emit storeChanged();
}

QList<RetryUnit> RunBoard::retryable() const
{
    QList<RetryUnit> units;
    for (const SlotStatus &slot : m_slots) {
        if (slot.state == SlotState::Failed && slot.present)
            units.append({slot.number, slot.unit, slot.attempt + 1});
    }
    return units;
}

qint64 RunBoard::elapsedMs(int index) const
{
    const SlotStatus &slot = m_slots.at(index);
    if (!isUnderWay(slot.state) || slot.startedAtMs < 0)
        return -1;
    return m_clock() - slot.startedAtMs;
}

bool RunBoard::anyUnderWay() const
{
    return std::any_of(m_slots.cbegin(), m_slots.cend(),
                       [](const SlotStatus &slot) { return isUnderWay(slot.state); });
}
