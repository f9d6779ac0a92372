// Floods a pseudo-terminal with text and measures the whole receive path
// (port -> acknowledgement check -> receive log) against a plain read() loop
// on the same kind of line. Prints throughput, the longest event-loop stall,
// memory before and after, whether the kept log is intact, and the CPU time
// used while idle with a port open.

#include "log/ReceiveLog.h"
#include "protocol/SettingTransaction.h"
#include "serial/SerialLink.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr qsizetype kLineLength = 80;

// Line i: an 8-digit number, a blank, 69 printable characters, CR LF.
void fillLine(qint64 i, char *out)
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

// The flood as a stream of bytes, produced or checked piece by piece.
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

QByteArray streamTail(qint64 size, qint64 length)
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

std::thread startWriter(int fd, qint64 size)
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

double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

double cpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1000 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double mbPerSecond(qint64 bytes, qint64 nanoseconds)
{
    return double(bytes) / (1024.0 * 1024.0) / (double(nanoseconds) / 1e9);
}

class OneCatalog final : public PortCatalog
{
public:
    explicit OneCatalog(QString path) : m_path(std::move(path)) {}
    [[nodiscard]] QList<PortEntry> devices() const override { return {{m_path, QString()}}; }

private:
    QString m_path;
};

void plainReader(qint64 size)
{
    Pty pty;
    Stream check(size);
    qint64 wrong = 0;
    char buffer[64 * 1024];
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
    std::printf("  plain read() loop:   %7.1f MB/s, %lld bytes wrong or missing\n",
                mbPerSecond(total, elapsed), static_cast<long long>(wrong + size - total));
}

void receivePath(qint64 size)
{
    Pty pty;
    SerialLink link(std::make_unique<OneCatalog>(pty.path));
    SettingTransaction transaction(link);
    ReceiveLog log;
    QString error;
    if (!link.open(1, &error)) {
        std::printf("  cannot open %s: %s\n", qPrintable(pty.path), qPrintable(error));
        return;
    }

    Stream check(size);
    qint64 wrong = 0;
    qint64 received = 0;
    qint64 chunks = 0;
    QEventLoop loop;
    QObject::connect(&link, &SerialLink::chunkReceived, &loop, [&](const QByteArray &chunk) {
        bool acknowledged = false;
        const QByteArray bytes = transaction.takeChunk(chunk, &acknowledged);
        wrong += check.check(bytes.constData(), bytes.size());
        log.AppendLog(bytes);
        received += bytes.size();
        ++chunks;
        if (received >= size)
            loop.quit();
    });

    // The stall meter: a 5 ms timer notes the longest gap between its ticks.
    QElapsedTimer sinceTick;
    qint64 longestGapNs = 0;
    QTimer meter;
    meter.setTimerType(Qt::PreciseTimer);
    QObject::connect(&meter, &QTimer::timeout, &loop, [&] {
        longestGapNs = std::max(longestGapNs, sinceTick.nsecsElapsed());
        sinceTick.start();
    });
    // Gives up if the flood stops moving.
    qint64 lastReceived = -1;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, &loop, [&] {
        if (received == lastReceived) {
            std::printf("  stalled at %lld bytes\n", static_cast<long long>(received));
            loop.quit();
        }
        lastReceived = received;
    });
    watchdog.start(10000);

    const double rssBefore = residentMb();
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    meter.start(5);
    std::thread writer = startWriter(pty.master, size);
    loop.exec();
    const qint64 elapsed = clock.nsecsElapsed();
    meter.stop();
    watchdog.stop();
    writer.join();
    const double rssAfter = residentMb();

    const bool tailIntact = log.text() == streamTail(size, log.text().size());
    std::printf("  port -> check -> log: %7.1f MB/s, %lld chunks of %.0f bytes on average\n",
                mbPerSecond(received, elapsed), static_cast<long long>(chunks),
                chunks ? double(received) / double(chunks) : 0.0);
    std::printf("  longest event-loop stall: %.1f ms (5 ms meter)\n", double(longestGapNs) / 1e6);
    std::printf("  resident memory: %.1f MB before, %.1f MB after (%+.1f MB)\n", rssBefore,
                rssAfter, rssAfter - rssBefore);
    std::printf("  bytes lost or out of order: %lld; kept log (%lld chars) matches the tail: %s\n",
                static_cast<long long>(wrong + size - received),
                static_cast<long long>(log.text().size()), tailIntact ? "yes" : "NO");
}

void idleCpu(int seconds)
{
    Pty pty;
    SerialLink link(std::make_unique<OneCatalog>(pty.path));
    SettingTransaction transaction(link);
    if (!link.open(1))
        return;
    // Measured from inside the loop, so that entering and leaving it is not counted.
    QEventLoop loop;
    double before = 0;
    double after = 0;
    QTimer::singleShot(0, &loop, [&] {
        before = cpuMs();
        QTimer::singleShot(seconds * 1000, &loop, [&] {
            after = cpuMs();
            loop.quit();
        });
    });
    loop.exec();
    std::printf("idle %d s with a port open: %.1f ms CPU\n", seconds, after - before);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption sizes(QStringLiteral("sizes"),
                                   QStringLiteral("Flood sizes in MB, comma separated."),
                                   QStringLiteral("list"), QStringLiteral("10,100"));
    const QCommandLineOption idle(QStringLiteral("idle"),
                                  QStringLiteral("Seconds of idle CPU measurement."),
                                  QStringLiteral("s"), QStringLiteral("10"));
    parser.addOptions({sizes, idle});
    parser.process(app);

    for (const QString &mb : parser.value(sizes).split(QLatin1Char(','))) {
        const qint64 size = mb.toLongLong() * 1024 * 1024;
        if (size <= 0)
            continue;
        std::printf("flood of %lld MB (%lld-byte lines):\n", mb.toLongLong(),
                    static_cast<long long>(kLineLength));
        plainReader(size);
        receivePath(size);
        std::fflush(stdout);
    }
    idleCpu(parser.value(idle).toInt());
    return 0;
}
