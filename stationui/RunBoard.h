#pragma once

#include "serial/PortCatalog.h"
#include "station/Fixture.h"
#include "station/ProductionRun.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// What the run view shows, apart from how: one slot per fixture socket (or,
// without a fixture, one per socket or device as units come), the tally and
// the latest results. The station feeds it through the calls under "From the
// run"; the view only reads it and redraws what a signal names.
enum class SlotState
{
    Empty,         // no unit
    Settling,      // a unit came; the station waits before it sends
    Configuring,   // frames sent, answer awaited
    Passed,        // acknowledged and recorded
    Failed,        // no answer, a wrong answer or a port error
    Busy,          // another program holds the unit: nothing was sent
    NotConfigured, // the run stopped while it settled: nothing was sent
    NotRecorded    // configured, but the report failed: it has no result record
};

struct SlotStatus
{
    int number = 0; // from 1, as the fixture numbers it (or in the order units came)
    QString key;    // the socket, or the device where the system names no socket
    SlotState state = SlotState::Empty;
    PortEntry unit = {};     // the unit in the slot, or the last one while Empty
    bool present = false;    // the unit is plugged in
    QString result = {};     // the report's word: ok, no-answer, ...
    QString reason = {};     // why it failed or was not recorded
    int attempt = 0;         // of the unit now in the slot: 1, then 2 after a retry...
    qint64 startedAtMs = -1; // on the board's clock, while Settling or Configuring
    QDateTime lastResultTime = {};
};

struct ResultLine
{
    QDateTime time;
    int slot = 0;
    PortEntry unit;
    SlotState state = SlotState::Empty;
    QString reason;
    int attempt = 1;
};

struct Tally
{
    int passed = 0;
    int failed = 0;
    int busy = 0;
    int notRecorded = 0;
    QDateTime first; // the first and last result
    QDateTime last;

    // Passed among the results that were tried (passed and failed), or
    // nothing before the first.
    [[nodiscard]] std::optional<double> yield() const;
};

struct ReportStatus
{
    QString path;    // empty: the run keeps no report
    int records = 0; // written in this run
    QString error;   // why it cannot be written; empty while it can
};

// The record store the report's records go on to, as its forwarder tells.
struct StoreStatus
{
    enum class State
    {
        Off,         // no store set up
        Checking,    // asked whether it takes records, before the run
        Reachable,   // records go on as they are written
        Unreachable, // records wait in the report; the line goes on
    };
    State state = State::Off;
    QString shown;      // the store's connection string, without a password
    int waiting = 0;    // records in the report the store does not have yet
    QString why;        // why it is unreachable
    bool again = false; // reachable after an outage
};

// A unit to configure again: a failed slot whose unit is still plugged in.
struct RetryUnit
{
    int slot = 0;
    PortEntry unit;
    int attempt = 2;
};

class RunBoard final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRecentResults = 200;

    // Milliseconds on a monotonic clock.
    using Clock = std::function<qint64()>;

    explicit RunBoard(QObject *parent = nullptr);
    // Where elapsed times are read; the pictures of the guide set theirs.
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // One slot per socket of the fixture, all Empty; units in other sockets
    // are not this station's.
    void useFixture(const Fixture &fixture);
    // No fixture: a slot is made for each socket (or device) a unit comes in.
    void useUnits();
    void setLotQuantity(int quantity);
    // Clears the tally and the latest results (a supervisor's action).
    void resetCounters();

    // From the run. A unit the board has no slot for is ignored (false).
    bool unitAppeared(const PortEntry &unit);
    bool unitStarted(const PortEntry &unit, int attempt);
    bool unitEnded(const PortEntry &unit, const UnitEnd &end);
    void unitVanished(const QString &location);
    void setRunId(const QString &runId);
    void setReport(const ReportStatus &report);
    // What stops every unit until it is mended (a report that cannot be
    // written, a station refused): shown over the whole view.
    void setBlocked(const QString &problem, const QString &remedy);
    void clearBlocked();
    void setStore(const StoreStatus &store);

    [[nodiscard]] bool hasFixture() const { return m_fixture.has_value(); }
    [[nodiscard]] const QList<SlotStatus> &slotList() const { return m_slots; }
    [[nodiscard]] const Tally &tally() const { return m_tally; }
    [[nodiscard]] int lotQuantity() const { return m_lotQuantity; }
    // Newest last, at most kRecentResults.
    [[nodiscard]] const QList<ResultLine> &recent() const { return m_recent; }
    [[nodiscard]] const ReportStatus &report() const { return m_report; }
    [[nodiscard]] const StoreStatus &store() const { return m_store; }
    [[nodiscard]] QString runId() const { return m_runId; }
    [[nodiscard]] bool isBlocked() const { return !m_problem.isEmpty(); }
    [[nodiscard]] QString problem() const { return m_problem; }
    [[nodiscard]] QString remedy() const { return m_remedy; }
    [[nodiscard]] QList<RetryUnit> retryable() const;
    // How long the slot has been settling or configuring, or -1.
    [[nodiscard]] qint64 elapsedMs(int index) const;
    [[nodiscard]] bool anyUnderWay() const;

signals:
    void slotsReset();
    void slotChanged(int index);
    void tallyChanged();
    void resultAdded(const ResultLine &line);
    void reportChanged();
    void storeChanged();
    void blockedChanged();

private:
    // The slot of unit, made when the board has no fixture; -1 when none.
    [[nodiscard]] int slotFor(const PortEntry &unit, bool make);
    void count(const SlotStatus &slot, const UnitEnd &end);

    std::optional<Fixture> m_fixture;
    QList<SlotStatus> m_slots;
    Tally m_tally;
    int m_lotQuantity = 0;
    QList<ResultLine> m_recent;
    ReportStatus m_report;
    StoreStatus m_store;
    QString m_runId;
    QString m_problem;
    QString m_remedy;
    QElapsedTimer m_started;
    Clock m_clock;
};

// The state a unit's end puts its slot in.
[[nodiscard]] SlotState stateAfter(const UnitEnd &end);
