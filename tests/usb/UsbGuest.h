#pragma once

#include "support/FrameCases.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <utility>

// What the test programs of this folder share inside the real-driver guest
// (see run.sh): the line to the runner on the host, which plugs and pulls
// units, and what the host's dongles saw.
namespace UsbGuest {

using Clock = std::chrono::steady_clock;

// The run folder the host shares with the guest; empty outside the guest.
[[nodiscard]] QString runFolder();

// What both programs send: every General list picked, so that every byte of
// the frame is one the operator chose.
[[nodiscard]] const FrameCase &generalCase();

// "98 95 93" for messages.
[[nodiscard]] QString hexOf(const QByteArray &bytes);

// The link udev makes for the emulated chip with this USB serial number.
[[nodiscard]] QString byIdLink(const QString &serial);

// Every byte that reached the dongle's line since the run began (QEMU's log
// of the line), and the dongle's own account of what it decoded and sent.
[[nodiscard]] QByteArray dongleBytes(const QString &dongle);
[[nodiscard]] QString dongleLog(const QString &dongle);

// CPU time of this process, all threads.
[[nodiscard]] std::chrono::milliseconds processCpu();

// Waits, with the event loop running, until the link is there (or gone).
[[nodiscard]] bool waitForLink(const QString &serial, bool present, int timeoutMs = 20000);

// The line to the runner. Each request waits for the host's word with the
// event loop running, so that the program under test goes on meanwhile.
class HostChannel
{
public:
    HostChannel();
    ~HostChannel();
    HostChannel(const HostChannel &) = delete;
    HostChannel &operator=(const HostChannel &) = delete;

    // Empty when the channel is open, else why not.
    [[nodiscard]] QString openError() const { return m_openError; }

    // A unit with this serial number on the given dongle's line; returns
    // empty once its by-id link is there, else what went wrong.
    [[nodiscard]] QString plug(const QString &serial, const QString &dongle);
    struct Plug
    {
        QString serial;
        QString dongle;
        QString port = {}; // the root port ("10"), or empty for the first free one
    };
    // Several units at once: all are on the bus before the guest's kernel
    // has found the first.
    [[nodiscard]] QString plugTogether(const QList<Plug> &units);
    // The unit taken off the bus; returns once QEMU has let it go (the guest's
    // kernel notices on its own time), empty or what went wrong.
    [[nodiscard]] QString pull(const QString &serial);
    // For a clean end: every unit this program plugged and did not pull.
    void pullAll();

private:
    [[nodiscard]] QString request(const QString &line);

    int m_fd = -1;
    QString m_openError;
    QByteArray m_buffer;
    QStringList m_plugged;
};

// When the kernel removed a device node, seen by a thread of its own, so
// that a busy or blocked event loop cannot delay the observation.
class NodeRemoval
{
public:
    explicit NodeRemoval(const QString &node);
    ~NodeRemoval();
    NodeRemoval(const NodeRemoval &) = delete;
    NodeRemoval &operator=(const NodeRemoval &) = delete;

    [[nodiscard]] std::optional<Clock::time_point> when() const;

private:
    void watch(int inotify, const QByteArray &name);

    int m_stop[2] = {-1, -1};
    std::atomic<Clock::rep> m_removed{0}; // 0: not yet
    std::thread m_thread;
};

} // namespace UsbGuest
