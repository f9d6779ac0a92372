#include "usb/UsbGuest.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cerrno>
#include <climits>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace UsbGuest {

namespace {

// The virtio-serial port run.sh gives QEMU, as udev links it by its name.
constexpr char kHostPort[] = "/dev/virtio-ports/vantrel.host";
constexpr int kRequestTimeoutMs = 30000;

} // namespace

QString runFolder()
{
    return qEnvironmentVariable("VANTREL_USB_RUN");
}

const FrameCase &generalCase()
{
    static const FrameCase general = [] {
        for (const FrameCase &c : frameCases()) {
            if (QByteArray(c.name) == "general, every list")
                return c;
        }
        qFatal("no frame case \"general, every list\"");
    }();
    return general;
}

QString hexOf(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

QString byIdLink(const QString &serial)
{
    return QStringLiteral("/dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_%1-if00-port0").arg(serial);
}

QByteArray dongleBytes(const QString &dongle)
{
    QFile file(runFolder() + QStringLiteral("/dongle-%1.bytes").arg(dongle));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString dongleLog(const QString &dongle)
{
    QFile file(runFolder() + QStringLiteral("/dongle-%1.log").arg(dongle));
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

std::chrono::milliseconds processCpu()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return std::chrono::milliseconds(qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000);
}

bool waitForLink(const QString &serial, bool present, int timeoutMs)
{
    const QString link = byIdLink(serial);
    return QTest::qWaitFor([&] { return QFileInfo::exists(link) == present; }, timeoutMs);
}

HostChannel::HostChannel()
{
    m_fd = ::open(kHostPort, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        m_openError =
            QStringLiteral("cannot open %1 (%2): run the program through tests/usb/run.sh")
                .arg(QLatin1String(kHostPort), qt_error_string(errno));
    }
}

HostChannel::~HostChannel()
{
    pullAll();
    if (m_fd >= 0)
        ::close(m_fd);
}

QString HostChannel::plug(const QString &serial, const QString &dongle)
{
    return plugTogether({{serial, dongle}});
}

QString HostChannel::plugTogether(const QList<Plug> &units)
{
    for (const Plug &unit : units) {
        const QString reply =
            request(QStringLiteral("plug %1 %2 %3").arg(unit.serial, unit.dongle, unit.port));
        if (!reply.isEmpty())
            return reply;
        m_plugged.append(unit.serial);
    }
    for (const Plug &unit : units) {
        if (!waitForLink(unit.serial, true))
            return QStringLiteral("no link %1 within 20 s of the plug").arg(byIdLink(unit.serial));
    }
    return {};
}

QString HostChannel::pull(const QString &serial)
{
    m_plugged.removeAll(serial);
    return request(QStringLiteral("pull %1").arg(serial));
}

void HostChannel::pullAll()
{
    const QStringList plugged = m_plugged;
    for (const QString &serial : plugged) {
        (void)pull(serial);
        (void)waitForLink(serial, false);
    }
}

QString HostChannel::request(const QString &line)
{
    if (m_fd < 0)
        return m_openError;
    const QByteArray out = line.toUtf8() + '\n';
    if (::write(m_fd, out.constData(), size_t(out.size())) != out.size())
        return QStringLiteral("cannot send \"%1\" to the host: %2")
            .arg(line, qt_error_string(errno));
    qsizetype end = -1;
    const bool answered = QTest::qWaitFor(
        [&] {
            char chunk[256];
            ssize_t n = 0;
            while ((n = ::read(m_fd, chunk, sizeof chunk)) > 0)
                m_buffer.append(chunk, n);
            end = m_buffer.indexOf('\n');
            return end >= 0;
        },
        kRequestTimeoutMs);
    if (!answered)
        return QStringLiteral("no answer from the host to \"%1\"").arg(line);
    const QString reply = QString::fromUtf8(m_buffer.left(end));
    m_buffer.remove(0, end + 1);
    return reply == QLatin1String("ok") ? QString()
                                        : QStringLiteral("host, to \"%1\": %2").arg(line, reply);
}

NodeRemoval::NodeRemoval(const QString &node)
{
    const QFileInfo info(node);
    const int inotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (inotify < 0 || ::pipe2(m_stop, O_CLOEXEC) != 0 ||
        ::inotify_add_watch(inotify, QFile::encodeName(info.absolutePath()).constData(),
                            IN_DELETE) < 0) {
        qFatal("cannot watch %s: %s", qPrintable(info.absolutePath()),
               qPrintable(qt_error_string()));
    }
    m_thread = std::thread([this, inotify, name = QFile::encodeName(info.fileName())] {
        watch(inotify, name);
        ::close(inotify);
    });
}

NodeRemoval::~NodeRemoval()
{
    // A write to a fresh pipe's end does not fail; the watcher wakes.
    [[maybe_unused]] const ssize_t woken = ::write(m_stop[1], "x", 1);
    m_thread.join();
    ::close(m_stop[0]);
    ::close(m_stop[1]);
}

std::optional<Clock::time_point> NodeRemoval::when() const
{
    const Clock::rep removed = m_removed.load();
    if (removed == 0)
        return std::nullopt;
    return Clock::time_point(Clock::duration(removed));
}

void NodeRemoval::watch(int inotify, const QByteArray &name)
{
    alignas(inotify_event) char buffer[sizeof(inotify_event) + NAME_MAX + 1];
    for (;;) {
        pollfd fds[2] = {{inotify, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents != 0)
            return;
        const ssize_t n = ::read(inotify, buffer, sizeof buffer);
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            if (event->len > 0 && name == event->name) {
                m_removed.store(Clock::now().time_since_epoch().count());
                return;
            }
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

} // namespace UsbGuest
