#pragma once

#include "station/DeviceSource.h"
#include "stationui/RunBoard.h"
#include "stationui/RunSetup.h"
#include "stationui/Sound.h"
#include "stationui/StationSettings.h"
#include "stationui/SupervisorPin.h"
#include "stationui/WindowLanguage.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QStackedWidget;
class RunView;
class SetupPage;

// What End of lot shows and hands on to the report.
struct LotSummary
{
    QString lot;
    int quantity = 0;
    Tally tally;
    QString runId;
    QString reportPath;
};

// The station window: the setup and the run view, and the operator's
// actions. It keeps no station logic of its own: Start, Stop, Retry failed
// and End of lot are handed to the run through the signals below, and the
// run answers through board() and runEnded().
class StationWindow final : public QMainWindow
{
    Q_OBJECT

public:
    struct Platform
    {
        std::unique_ptr<StationSettings> settings;
        // Where "Learn fixture" hears of devices.
        std::function<DeviceSources()> deviceSources;
    };

    explicit StationWindow(Platform platform, QWidget *parent = nullptr);
    ~StationWindow() override;

    [[nodiscard]] RunBoard *board() { return &m_board; }
    [[nodiscard]] bool isRunning() const { return m_state != State::Idle; }
    [[nodiscard]] QString language() const { return m_language.current(); }
    [[nodiscard]] LotSummary lotSummary() const;

public slots:
    // The run ended: every unit under way has its end.
    void runEnded();

signals:
    // Setup checked: the run may begin, feeding board().
    void startRequested(const ReadySetup &ready);
    // No unit more is taken; those under way end, then runEnded().
    void stopRequested();
    // Each unit again, its records with the attempt given.
    void retryRequested(const QList<RetryUnit> &units);
    // The summary as a record of the report.
    void endOfLotRequested(const LotSummary &summary);

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    enum class State
    {
        Idle,
        Running,
        Stopping
    };

    void buildActions();
    void retranslate();
    void refresh();
    void refreshRetry();
    void start();
    void stop();
    void retry();
    void endLot();
    void resetCounters();
    void unlock();
    void setPin();
    void removePin();
    void learnFixture();
    void saveSetup();
    void applyType(int percent);
    void onResult(const ResultLine &line);
    // True when no PIN is set or the supervisor gave it.
    [[nodiscard]] bool authorize(const QString &why);
    [[nodiscard]] bool guardLocked() const;

    Platform m_platform;
    RunBoard m_board;
    Sound m_sound;
    WindowLanguage m_language;
    PinGate m_gate;
    State m_state = State::Idle;
    // The lot the records of the last run name: the setup may change after
    // it stopped, the summary of its lot may not.
    std::optional<QString> m_runLot;
    bool m_unlocked = false;
    bool m_closeAfterStop = false;
    qreal m_baseFontPoints = 0;

    QStackedWidget *m_pages = nullptr;
    SetupPage *m_setup = nullptr;
    RunView *m_run = nullptr;
    QLabel *m_runState = nullptr;
    QAction *m_start = nullptr;
    QAction *m_stop = nullptr;
    QAction *m_retry = nullptr;
    QAction *m_endLot = nullptr;
    QAction *m_showSetup = nullptr;
    QAction *m_showRun = nullptr;
    QAction *m_reset = nullptr;
    QAction *m_bigger = nullptr;
    QAction *m_smaller = nullptr;
};

[[nodiscard]] QString lotSummaryText(const LotSummary &summary);
