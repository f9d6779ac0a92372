#pragma once

#include "station/DeviceSource.h"
#include "station/ProductionRun.h"
#include "station/StationRegistry.h"

#include <QHash>
#include <QObject>
#include <QSet>

class DeviceWatcher;
class QTimer;

// vantrel-set --watch: configures each serial device that appears and is
// matched, once, a settling time after it appeared, until stop(); then it
// lets the units under way end, prints the tally and finishes with the worst
// exit status. With a report it first proves the report writable, and stops
// taking units when the report fails. It refuses to start beside another
// station on this computer that would take the same units, and leaves a
// unit that appears later to the station that started first.
class Station final : public QObject
{
    Q_OBJECT

public:
    // sources: where devices come from (systemDeviceSources() on a real
    // station).
    Station(const RunPlan &plan, DeviceSources sources, Console console = {},
            QObject *parent = nullptr);
    ~Station() override;

    // Why a station stops of its own accord, before or during its run.
    enum class Halt
    {
        ReportUnwritable, // no unit is configured without its record
        SharedUnits       // another station here takes the same units
    };
    Q_ENUM(Halt)

    // From the event loop; warnings go to the console.
    void start();
    // No new unit is taken; the end comes once the running ones ended.
    void stop();
    // Configures a unit again that is still plugged in as it was (the same
    // plug-in) and not under way, at once: it has settled before. False
    // when it is not (gone, replaced, under way, or the station stopping).
    bool retry(const PortEntry &unit, int attempt);
    // The lot's summary record in the report, after the run's last unit.
    [[nodiscard]] DurableAppend::Result recordSummary(const LotTotals &totals)
    {
        return m_run.recordSummary(totals);
    }

    // Its units' starts and ends, and the report's state.
    [[nodiscard]] const ProductionRun &run() const { return m_run; }

signals:
    // A unit it takes came, and settles before it is sent anything.
    void unitSettling(const PortEntry &unit);
    // A device went away (any device: whoever shows the units knows theirs).
    void unitGone(const QString &location);
    // It stops, or does not start, for this reason; text says what happened,
    // as its console says it.
    void halted(Station::Halt why, const QString &text);
    void finished(int exitCode);

private:
    struct Settling
    {
        PortEntry device;
        // None while an earlier unit's exchange at its location still runs.
        QTimer *timer = nullptr;
    };

    void begin();
    // Announces this station to the others; false when one of them takes
    // the same units (this one must not start).
    [[nodiscard]] bool joinOthers();
    [[nodiscard]] bool matches(const PortEntry &device);
    // Says once of each pattern that matches no whole name but is part of
    // one (a spelling that once took it).
    void hintPartOfName();
    void onAppeared(const PortEntry &device);
    void settle(const PortEntry &device);
    void onUnitResult(const PortEntry &unit);
    void onVanished(const QString &location);
    void onSettled(const QString &location);
    // Stops watching; units still settling are told as not configured.
    void stopWatching(const QString &why);
    void endIfIdle();
    void end(int exitCode);

    RunPlan m_plan;
    Console m_console;
    DeviceSources m_sources; // until start() hands them to the watcher
    ProductionRun m_run;
    DeviceWatcher *m_watcher = nullptr;
    QHash<QString, Settling> m_settling; // by location
    QSet<QString> m_named;               // devices told as not matched or left to another
    StationRegistry m_registry;
    QSet<QString> m_wholeMatched; // patterns that took a device: no hint for them
    QSet<QString> m_hinted;
    bool m_stopping = false;
    bool m_ended = false;
};
