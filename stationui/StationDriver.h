#pragma once

#include "station/Console.h"
#include "station/DeviceSource.h"
#include "station/Station.h"
#include "stationui/RunBoard.h"
#include "stationui/RunSetup.h"
#include "store/PgConnection.h"

#include <QObject>

#include <functional>
#include <memory>

class QThread;
class ReportForwarder;
class StationWindow;
struct LotSummary;

// Runs the line for the station window: what the operator asks for (the
// window's signals) goes to a Station, the same as vantrel-set --watch's,
// with a ReportForwarder beside it when a record store is set up; what they
// tell goes to the window's board. All the run's rules are the station
// library's: this only translates.
class StationDriver final : public QObject
{
    Q_OBJECT

public:
    struct Platform
    {
        // Where the station hears of devices (systemDeviceSources()).
        std::function<DeviceSources()> deviceSources;
        // Where the station's lines go.
        Console console;
        // The store's last go at what waits when the window closes.
        int storeGraceMs = 10000;
    };

    StationDriver(StationWindow *window, Platform platform, QObject *parent = nullptr);
    ~StationDriver() override;

    // The window closed: the records waiting get their last go at the
    // store, then done (at once without a store).
    void shutdown(std::function<void()> done);

    // The run under way or last run; nullptr before the first.
    [[nodiscard]] const Station *station() const { return m_station.get(); }

private:
    void start(const ReadySetup &ready);
    void checkStore(const QString &conninfo);
    void onStoreChecked(int generation, const PgConnection::Outcome &outcome);
    void begin();
    void connectStation();
    void stop();
    void retry(const QList<RetryUnit> &units);
    void endLot(const LotSummary &summary);
    void onHalted(Station::Halt why, const QString &text);
    void onReportChanged();
    void forwardTo(const QString &report, const QString &conninfo);
    void setStore(StoreStatus::State state, int waiting, const QString &why = {});
    void ended();

    StationWindow *m_window;
    RunBoard *m_board;
    Platform m_platform;
    RunPlan m_plan;
    QString m_conninfo;
    std::unique_ptr<Station> m_station;
    std::unique_ptr<ReportForwarder> m_forwarder;
    QString m_forwarding;           // the report and store m_forwarder serves
    QList<QThread *> m_storeChecks; // under way
    int m_generation = 0;           // of the Start a store check answers
    bool m_checking = false;
};
