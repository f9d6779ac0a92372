#pragma once

#include <QString>

// This program's hold on one serial device, however a path names it. A
// program that names the device by a link, or another path to it, must find
// it busy: the serial port's own lock file is named after the path it was
// given, and its exclusive mode does not stop root.
//
// On Linux the claim is a descriptor of the device node itself, locked with
// flock(); a device that another program holds locked or exclusive is busy.
// The port then opened makes the line exclusive itself (TIOCEXCL), which
// is why the claim asks before. On Windows a COM port opened by one program
// is refused to others; the claim is a named mutex for the port as well,
// which our programs see where the system shares a port (Wine does).
class DeviceClaim
{
public:
    enum class Status
    {
        Unclaimed, // nothing held: opening the port decides
        Claimed,
        Busy, // another program holds the device: it was not touched
    };

    DeviceClaim() = default;
    ~DeviceClaim();
    DeviceClaim(DeviceClaim &&other) noexcept;
    DeviceClaim &operator=(DeviceClaim &&other) noexcept;
    DeviceClaim(const DeviceClaim &) = delete;
    DeviceClaim &operator=(const DeviceClaim &) = delete;

    // Takes the device location names, without blocking, and without
    // changing its line settings or modem lines. Take it before the port is
    // opened, so that the port's own exclusive mode is not taken for
    // another program's; keep it until the port is closed.
    [[nodiscard]] static DeviceClaim take(const QString &location);

    [[nodiscard]] Status status() const { return m_status; }
    // The path to open the port by: the device node location leads to.
    [[nodiscard]] QString node() const { return m_node; }
    // Why the device is busy, in the system's terms; empty otherwise.
    [[nodiscard]] QString busyReason() const { return m_busyReason; }

    void release();

private:
    Status m_status = Status::Unclaimed;
    QString m_node;
    QString m_busyReason;
    qintptr m_held = -1; // the locked descriptor, or the port's mutex
};
