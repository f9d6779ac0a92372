#pragma once

#include "station/Console.h"
#include "station/RunPlan.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class SerialLink;
class SettingTransaction;

// One unit's exchange: opens its device and sends the run's frames one
// after another through the window's serial link and Setting transaction,
// each waiting for its acknowledgement.
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
            PortError,
            Busy, // another program holds the device: nothing was sent
        };
        Result result = Result::Ok;
        QString reason; // empty when acknowledged
        QList<QByteArray> sent;
        QByteArray received;
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

    [[nodiscard]] QString device() const { return m_device; }
    // Complete once finished() came.
    [[nodiscard]] const Outcome &outcome() const { return m_outcome; }

signals:
    void finished(int exitCode);

private:
    void sendNext();
    void onChunk(const QByteArray &chunk);
    void onTimedOut();
    void onPortLost(const QString &reason);
    void finish(int exitCode);
    void fail(Outcome::Result result, const QString &reason, int exitCode);
    void trace(const QString &line);
    [[nodiscard]] QString openFailure(const QString &linkError) const;

    RunPlan m_plan;
    QString m_device;
    Console m_console;
    bool m_frameLines;
    Outcome m_outcome;
    QElapsedTimer m_clock;
    bool m_answeredThisFrame = false;
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<SettingTransaction> m_transaction;
    qsizetype m_next = 0;
    bool m_waiting = false;
    bool m_finished = false;
};
