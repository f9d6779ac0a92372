#pragma once

#include "serial/PortCatalog.h"
#include "station/Console.h"
#include "station/RunPlan.h"
#include "station/UnitExchange.h"
#include "station/UnitReport.h"

#include <QDateTime>
#include <QMap>
#include <QObject>

#include <memory>
#include <optional>

// How a unit ended, as the run tells whoever shows it.
struct UnitEnd
{
    QString result; // ok, no-answer, wrong-answer, noisy-line, port-error, busy, not-configured
    QString reason;
    bool recorded = true; // its result record is in the report (or the run keeps none)
    QDateTime time;
};

// Configures units concurrently, each through its own link and transaction
// on this one thread, and keeps the tally. With a report, no unit is sent a
// byte before its "started" record is on the disk, and its result record
// follows before its result line. Shared by the batch of devices named on
// the command line and by the station.
class ProductionRun final : public QObject
{
    Q_OBJECT

public:
    enum class Kind
    {
        Batch,  // devices named on the command line: one busy is a port error
        Station // units as they come: one busy is another program's unit
    };

    ProductionRun(const RunPlan &plan, Kind kind, Console console, QObject *parent = nullptr);
    ~ProductionRun() override;

    // Proves the report writable with the run's station record. False (and
    // the reason already told) when it is not: nothing may be configured.
    [[nodiscard]] bool begin();

    // Starts one unit; its result comes as unitEnded(). A unit whose started
    // record cannot be written is not touched: reportFailed() comes instead.
    // attempt: which exchange with this unit it is (a retry is 2, 3, ...);
    // each is a unit of its own in the run, with its own seq.
    void configure(const PortEntry &unit, int attempt = 1);
    // A unit that will not be configured (the station stopped while it
    // settled): a line and a record saying why.
    void notConfigured(const PortEntry &unit, const QString &reason);

    // The lot's summary record, after the run's last seq. Its error when it
    // could not be written (also when the report failed before).
    [[nodiscard]] DurableAppend::Result recordSummary(const LotTotals &totals);

    [[nodiscard]] int running() const { return int(m_units.size()); }
    [[nodiscard]] bool isRunning(const QString &location) const;
    [[nodiscard]] bool reportBroken() const { return m_reportBroken; }
    // The worst exit status so far (0 before any unit ended).
    [[nodiscard]] int exitCode() const { return m_exitCode; }
    // "3 units: 2 acknowledged, 1 failed (no-answer 1)."
    [[nodiscard]] QString summary() const;
    [[nodiscard]] QString runId() const { return m_identity.runId; }
    // The report's path (empty without one), the records this run wrote to
    // it, and why it cannot be written (empty while it can).
    [[nodiscard]] QString reportPath() const { return m_plan.reportPath; }
    [[nodiscard]] int reportRecords() const { return m_records; }
    [[nodiscard]] QString reportError() const { return m_reportError; }

signals:
    // A unit's exchange ended, or it was never begun.
    void unitEnded();
    // A unit was sent its first byte (its started record written).
    void unitStarted(const PortEntry &unit, int attempt);
    // Every unit's end, with its result line: also one that was never
    // configured (the run stopped while it settled, or its record failed).
    void unitResult(const PortEntry &unit, const UnitEnd &end);
    // A record was written, or the report failed.
    void reportChanged();
    // The report could not be written: no unit more is configured, those
    // under way end without their result records.
    void reportFailed();

private:
    struct Unit
    {
        PortEntry entry;
        int seq = 0;
        int attempt = 1;
        std::unique_ptr<UnitExchange> exchange;
    };

    void onFinished(UnitExchange *exchange, int exitCode);
    // False when the report failed (now or before).
    bool record(const UnitRecord &record);
    void tally(const PortEntry &unit, const UnitRecord &result, const QString &line, int exitCode,
               bool recorded);
    [[nodiscard]] UnitRecord resultOf(const Unit &unit) const;

    RunPlan m_plan;
    Kind m_kind;
    Console m_console;
    RunIdentity m_identity;
    std::optional<UnitReport> m_report;
    bool m_reportBroken = false;
    int m_records = 0;
    QString m_reportError;
    std::vector<Unit> m_units;
    int m_lastSeq = 0;
    QMap<QString, int> m_tally; // by result
    int m_notRecorded = 0;
    int m_exitCode = 0;
};

// The devices named for a batch as the report names them (see
// describedPorts).
[[nodiscard]] QList<PortEntry> describedDevices(const QStringList &devices, bool withIdentity);

// How lines name a unit: by its serial number when it has one.
[[nodiscard]] QString unitName(const PortEntry &unit);

// "ok", "no-answer", "wrong-answer", "noisy-line", "port-error", "busy"
[[nodiscard]] QString resultName(UnitExchange::Outcome::Result result);
