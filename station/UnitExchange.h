#pragma once

#include "station/Console.h"
#include "station/RunPlan.h"
#include "station/UnansweredFrame.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class SerialLink;
class SettingTransaction;

// One unit's exchange: opens its device and sends the run's frames one
// after another through the window's serial link and Setting transaction,
// each waiting for its acknowledgement.
//
// The dongle's answer carries no sequence number, so an answer counts for a
// frame only when it cannot be an earlier frame's: each frame goes out once
// the line has been quiet for plan.quietMs, and after a frame of an earlier
// exchange that went unanswered, only once plan.lateMs have passed since
// that frame. Only bytes that came after a frame was sent answer it.
class UnitExchange final : public QObject
{
    Q_OBJECT

public:
    // What came of one device, for the result line and the report.
    struct Outcome
    {
        enum class Result
        {
            Ok,
            NoAnswer,    // nothing at all came back in the wait
            WrongAnswer, // bytes came back, but no acknowledgement
            NoisyLine,   // the line never went quiet: the frame was not sent
            PortError,
            Busy, // another program holds the device: nothing was sent
        };
        Result result = Result::Ok;
        QString reason; // empty when acknowledged
        QList<QByteArray> sent;
        QByteArray received; // every byte, also those that came before a frame
        qint64 elapsedMs = 0;
    };

    // frameLines: "Setting OK !!" or "Setting Fail !!" on the console for
    // each frame, as for a single device.
    UnitExchange(const RunPlan &plan, const QString &device, Console console, bool frameLines,
                 QObject *parent = nullptr);
    ~UnitExchange() override;

    // Opens the device and sends the first frame; the outcome comes as
    // finished(), never from inside this call.
    void start();

    // Complete once finished() came.
    [[nodiscard]] const Outcome &outcome() const { return m_outcome; }

signals:
    void finished(int exitCode);

private:
    enum class Phase
    {
        Idle,
        LateWait, // for an earlier frame's answer that may still come
        Quiet,    // for the line to be quiet before a frame
        Awaiting, // the frame's answer
    };

    void begin();
    [[nodiscard]] bool openDevice();
    void settle();
    void startQuietWindow();
    void onPhaseTimer();
    void onQuietWindowOver();
    void onNoisyLine();
    void sendFrame();
    void onChunk(const QByteArray &chunk);
    void onAcknowledged();
    void onTimedOut();
    void onPortLost(const QString &reason);
    void finish(int exitCode);
    void fail(Outcome::Result result, const QString &reason, int exitCode);
    void trace(const QString &line);
    [[nodiscard]] QString openFailure(const QString &linkError) const;
    [[nodiscard]] QString frameName() const;

    RunPlan m_plan;
    QString m_device;
    Console m_console;
    bool m_frameLines;
    Outcome m_outcome;
    QElapsedTimer m_clock;
    UnansweredFrame m_unanswered;
    Phase m_phase = Phase::Idle;
    QTimer m_phaseTimer;      // the late wait, then the quiet window
    QTimer m_quietLimitTimer; // how long the line may take to go quiet
    bool m_answeredThisFrame = false;
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<SettingTransaction> m_transaction;
    qsizetype m_next = 0;
    bool m_finished = false;
};
