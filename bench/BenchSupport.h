#pragma once

// Pieces the benchmarks share: the flood of numbered text lines, pseudo-
// terminals and a writer thread to feed them, the stall meter, and readings
// of memory and CPU time. Header only; needs Qt Core and nothing else.

#include "serial/PortCatalog.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace bench {

// The window benches run on Qt's offscreen platform unless told otherwise,
// so they need no display. Call before the application object is made.
inline void offscreenUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline constexpr qsizetype kLineLength = 80;

// Line i: an 8-digit number, a blank, 69 printable characters, CR LF.
inline void fillLine(qint64 i, char *out)
{
    static const auto printable = [] {
        std::array<char, 2 * 94> chars{};
        for (std::size_t k = 0; k < chars.size(); ++k)
            chars[k] = char('!' + k % 94);
        return chars;
    }();
    qint64 number = i;
    for (int digit = 7; digit >= 0; --digit, number /= 10)
        out[digit] = char('0' + number % 10);
    out[8] = ' ';
    std::memcpy(out + 9, printable.data() + (i * 7) % 94, kLineLength - 11);
    out[kLineLength - 2] = '\r';
    out[kLineLength - 1] = '\n';
}

// The flood as a stream of bytes, produced or checked piece by piece. Its
// lines already end in CR LF, so the receive log keeps it unchanged.
class Stream
{
public:
    explicit Stream(qint64 size) : m_size(size) {}

    // Next up to n bytes of the stream.
    qsizetype next(char *out, qsizetype n)
    {
        qsizetype done = 0;
        while (done < n && m_position < m_size) {
            if (m_offset == 0 || m_offset == kLineLength) {
                fillLine(m_position / kLineLength, m_line);
                m_offset = m_position % kLineLength;
            }
            const qsizetype take =
                std::min({n - done, kLineLength - m_offset, qsizetype(m_size - m_position)});
            std::memcpy(out + done, m_line + m_offset, size_t(take));
            done += take;
            m_offset += take;
            m_position += take;
        }
        return done;
    }

    // Compares received bytes with what should come next; counts mismatches.
    qint64 check(const char *data, qsizetype n)
    {
        qint64 wrong = 0;
        char expected[4096];
        while (n > 0) {
            const qsizetype got = next(expected, std::min<qsizetype>(n, sizeof expected));
            if (got == 0)
                return wrong + n; // more than was sent
            if (std::memcmp(data, expected, size_t(got)) != 0) {
                for (qsizetype i = 0; i < got; ++i)
                    wrong += data[i] != expected[i];
            }
            data += got;
            n -= got;
        }
        return wrong;
    }

    [[nodiscard]] qint64 position() const { return m_position; }

private:
    qint64 m_size;
    qint64 m_position = 0;
    qsizetype m_offset = 0;
    char m_line[kLineLength] = {};
};

// The last `length` bytes of a stream of `size` bytes.
inline QByteArray streamTail(qint64 size, qint64 length)
{
    Stream stream(size);
    QByteArray skip(64 * 1024, Qt::Uninitialized);
    qint64 toSkip = size - length;
    while (toSkip > 0)
        toSkip -= stream.next(skip.data(), qsizetype(std::min<qint64>(toSkip, skip.size())));
    QByteArray tail(qsizetype(length), Qt::Uninitialized);
    stream.next(tail.data(), tail.size());
    return tail;
}

// A raw pseudo-terminal; the program side opens `path`, the bench plays the
// far end on `master`.
struct Pty
{
    int master = -1;
    int slave = -1;
    QString path;

    Pty()
    {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            std::exit(1);
        }
        termios tio{};
        ::tcgetattr(slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
        path = QString::fromLocal8Bit(name);
    }
    ~Pty()
    {
        ::close(master);
        ::close(slave);
    }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;
};

// Writes the first `size` bytes of the stream to fd, blocking while the line
// is full.
inline std::thread startWriter(int fd, qint64 size)
{
    return std::thread([fd, size] {
        Stream stream(size);
        char buffer[64 * 1024];
        for (;;) {
            const qsizetype n = stream.next(buffer, sizeof buffer);
            if (n == 0)
                return;
            qsizetype done = 0;
            while (done < n) {
                const ssize_t w = ::write(fd, buffer + done, size_t(n - done));
                if (w <= 0)
                    return;
                done += w;
            }
        }
    });
}

struct Memory
{
    double rssMb = -1;  // VmRSS
    double peakMb = -1; // VmHWM
};

inline Memory memory()
{
    Memory result;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray &line : status.readAll().split('\n')) {
        const auto mb = [&line] {
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        };
        if (line.startsWith("VmRSS:"))
            result.rssMb = mb();
        else if (line.startsWith("VmHWM:"))
            result.peakMb = mb();
    }
    return result;
}

inline double residentMb()
{
    return memory().rssMb;
}

// User plus system CPU time of the process so far.
inline double cpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1000 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// "0.52 0.61 0.70": the machine's load, which shows in every figure.
inline QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

// CPU time of the calling thread so far.
inline double threadCpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1000 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

inline double mbPerSecond(qint64 bytes, qint64 nanoseconds)
{
    return double(bytes) / (1024.0 * 1024.0) / (double(nanoseconds) / 1e9);
}

// How long the event loop went without running a 5 ms timer: whatever kept
// it busy longer than that is a stall the operator would feel.
class StallMeter
{
public:
    static constexpr int kTickMs = 5;

    explicit StallMeter(QObject *context)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, context, [this] {
            m_longestNs = std::max(m_longestNs, m_sinceTick.nsecsElapsed());
            m_sinceTick.start();
        });
    }
    void start()
    {
        m_longestNs = 0;
        m_sinceTick.start();
        m_timer.start(kTickMs);
    }
    void stop() { m_timer.stop(); }
    [[nodiscard]] double longestGapMs() const { return double(m_longestNs) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longestNs = 0;
};

// Ends a flood's event loop when the bytes received have not moved for a
// period: a stuck path reports itself instead of hanging the bench.
class FloodWatchdog
{
public:
    FloodWatchdog(QEventLoop &loop, const qint64 &received, int periodMs = 10000)
    {
        QObject::connect(&m_timer, &QTimer::timeout, &loop, [this, &loop, &received] {
            if (received == m_last) {
                std::printf("  stalled at %lld bytes\n", static_cast<long long>(received));
                loop.quit();
            }
            m_last = received;
        });
        m_timer.start(periodMs);
    }
    void stop() { m_timer.stop(); }

private:
    QTimer m_timer;
    qint64 m_last = -1;
};

// The reference: a plain blocking read() loop on the same kind of line.
// Prints its throughput and returns it in MB/s.
inline double plainReader(qint64 size)
{
    Pty pty;
    Stream check(size);
    qint64 wrong = 0;
    static char buffer[64 * 1024];
    QElapsedTimer clock;
    clock.start();
    std::thread writer = startWriter(pty.master, size);
    qint64 total = 0;
    while (total < size) {
        const ssize_t n = ::read(pty.slave, buffer, sizeof buffer);
        if (n <= 0)
            break;
        wrong += check.check(buffer, n);
        total += n;
    }
    const qint64 elapsed = clock.nsecsElapsed();
    writer.join();
    const double rate = mbPerSecond(total, elapsed);
    std::printf("  plain read() loop:   %7.1f MB/s, %lld bytes wrong or missing\n", rate,
                static_cast<long long>(wrong + size - total));
    return rate;
}

} // namespace bench
