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

    // From the event loop; warnings go to the console.
    void start();
    // No new unit is taken; the end comes once the running ones ended.
    void stop();

signals:
    void finished(int exitCode);

private:
    struct Settling
    {
        PortEntry device;
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
