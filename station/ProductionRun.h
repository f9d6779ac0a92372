#pragma once

#include "serial/PortCatalog.h"
#include "station/Console.h"
#include "station/RunPlan.h"
#include "station/UnitExchange.h"
#include "station/UnitReport.h"

#include <QMap>
#include <QObject>

#include <memory>
#include <optional>

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
    void configure(const PortEntry &unit);
    // A unit that will not be configured (the station stopped while it
    // settled): a line and a record saying why.
    void notConfigured(const PortEntry &unit, const QString &reason);

    [[nodiscard]] int running() const { return int(m_units.size()); }
    [[nodiscard]] bool isRunning(const QString &location) const;
    [[nodiscard]] bool reportBroken() const { return m_reportBroken; }
    // The worst exit status so far (0 before any unit ended).
    [[nodiscard]] int exitCode() const { return m_exitCode; }
    // "3 units: 2 acknowledged, 1 failed (no-answer 1)."
    [[nodiscard]] QString summary() const;

signals:
    void unitEnded();
    // The report could not be written: no unit more is configured, those
    // under way end without their result records.
    void reportFailed();

private:
    struct Unit
    {
        PortEntry entry;
        int seq = 0;
        std::unique_ptr<UnitExchange> exchange;
    };

    void onFinished(UnitExchange *exchange, int exitCode);
    // False when the report failed (now or before).
    bool record(const UnitRecord &record);
    void tally(const PortEntry &unit, const QString &result, const QString &line, int exitCode,
               bool recorded);
    [[nodiscard]] UnitRecord resultOf(const Unit &unit) const;

    RunPlan m_plan;
    Kind m_kind;
    Console m_console;
    std::optional<UnitReport> m_report;
    bool m_reportBroken = false;
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
