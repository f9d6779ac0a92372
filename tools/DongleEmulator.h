#pragma once

#include "protocol/SettingCodec.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

struct DongleOptions
{
    bool silent = false;             // take frames, never answer
    int delayMs = 0;                 // answer this late
    int splitMs = -1;                // >= 0: first byte, then the rest this much later
    QByteArray reply{"\x55\xAA", 2}; // what a frame is answered with
    int repeatMs = -1;               // >= 0: each answer sent again this much later
    int onlyFrame = 0;               // > 0: only this frame is answered (numbered from 1)
    int noiseMs = 0;                 // > 0: a byte this often, whatever comes
};

// The dongle's side of a serial line: decodes every frame that arrives
// (resynchronising on the 0x98 0x95 header) and answers it. Works on any
// non-blocking file descriptor: a pseudo-terminal's master or a serial device.
class DongleEmulator final : public QObject
{
    Q_OBJECT

public:
    // fd stays owned by the caller and must outlive the emulator.
    explicit DongleEmulator(int fd, DongleOptions options = {}, QObject *parent = nullptr);

    void setOptions(const DongleOptions &options);
    [[nodiscard]] const DongleOptions &options() const { return m_options; }

    // Sends raw bytes to the program at once.
    bool send(const QByteArray &bytes);

    [[nodiscard]] QByteArray received() const { return m_received; }
    [[nodiscard]] const QList<SettingCodec::ConfigFrame> &frames() const { return m_frames; }

signals:
    void frameDecoded(const QString &words);
    void bytesSkipped(const QByteArray &bytes);
    void replied(const QByteArray &bytes);
    void lineClosed();

private:
    void onReadable();
    void takeFrames();
    void answer();
    [[nodiscard]] bool answersFrame(qsizetype number) const;
    void answerAgainLater();
    void applyNoise();
    void sendNoise();

    int m_fd;
    DongleOptions m_options;
    QSocketNotifier *m_notifier;
    QTimer *m_noise = nullptr;
    QByteArray m_received;
    QByteArray m_unparsed;
    QList<SettingCodec::ConfigFrame> m_frames;
};

// The settings a frame carries, in words.
[[nodiscard]] QString describeFrame(const SettingCodec::ConfigFrame &frame);
