#pragma once

#include "tools/ProductionRun.h"
#include "tools/SetArguments.h"

#include <QHash>
#include <QObject>

class DeviceWatcher;
class QTimer;

// vantrel-set --watch: configures each serial device that appears, once,
// a settling time after it appeared, until stop(); then it lets the units
// under way end, prints the tally and finishes with the worst exit status.
class Station final : public QObject
{
    Q_OBJECT

public:
    explicit Station(const SetArguments::Plan &plan, QObject *parent = nullptr);
    ~Station() override;

    // From the event loop; warnings go to stderr.
    void start();
    // No new unit is taken; the end comes once the running ones ended.
    void stop();

signals:
    void finished(int exitCode);

private:
    void onAppeared(const PortEntry &device);
    void onVanished(const QString &location);
    void onSettled(const QString &location);
    void stopWatching();
    void endIfIdle();
    void end(int exitCode);

    SetArguments::Plan m_plan;
    ProductionRun m_run;
    DeviceWatcher *m_watcher = nullptr;
    QHash<QString, QTimer *> m_settling;
    bool m_stopping = false;
    bool m_ended = false;
};
