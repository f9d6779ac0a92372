#pragma once

#include "protocol/FrameLink.h"
#include "protocol/SettingCodec.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QTimer;

// One Setting exchange: write a frame, then wait up to 2500 ms (Timer3) for
// the dongle's 0x55 0xAA.
class SettingTransaction final : public QObject
{
    Q_OBJECT

public:
    enum class SendResult
    {
        Sent,
        PortClosed,
        OverRange,
        WriteFailed
    };
    struct SendOutcome
    {
        SendResult result;
        QString error; // the write failure's reason
        // A lone 0x55 held back for the previous frame: it belongs to the log
        // before the new exchange, never to the new frame's answer.
        QByteArray released = {};
    };
    using FrameBuilder = std::function<std::optional<SettingCodec::ConfigFrame>()>;

    explicit SettingTransaction(FrameLink &link, QObject *parent = nullptr);

    // Port closed: nothing is built or sent and Timer3 is left as it was.
    // Sent: Timer3 (re)started.
    [[nodiscard]] SendOutcome send(const FrameBuilder &build);

    // Checks a received chunk for the acknowledgement and returns the bytes
    // to log now, with an acknowledgement's two bytes set to 0. While a
    // Setting is awaited a lone 0x55 is held back, since the 0xAA may follow
    // in the next read; it is returned with that next chunk.
    [[nodiscard]] QByteArray takeChunk(QByteArray chunk, bool *acknowledged);
    // The held-back byte, if any, for logging (on time-out or port loss).
    [[nodiscard]] QByteArray releaseHeld();

    [[nodiscard]] bool isWaiting() const;
    void setTimeoutInterval(int milliseconds);

signals:
    // Timer3 ticked and nothing the line had received by then acknowledged
    // the frame. Timer3 is stopped.
    void timedOut();

private:
    void onTimer3();

    FrameLink &m_link;
    QTimer *Timer3;
    bool m_holding = false;
};
