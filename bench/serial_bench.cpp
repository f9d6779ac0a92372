// Floods a pseudo-terminal with text and measures the whole receive path
// (port -> acknowledgement check -> receive log) against a plain read() loop
// on the same kind of line. Prints throughput, the longest event-loop stall,
// memory before and after, whether the kept log is intact, and the CPU time
// used while idle with a port open.

#include "bench/BenchSupport.h"
#include "log/ReceiveLog.h"
#include "protocol/SettingTransaction.h"
#include "serial/SerialLink.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace {

using namespace bench;

void receivePath(qint64 size)
{
    Pty pty;
    SerialLink link(std::make_unique<FixedPortCatalog>(QList<PortEntry>{{pty.path, QString()}}));
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

    StallMeter meter(&loop);
    FloodWatchdog watchdog(loop, received);

    const double rssBefore = residentMb();
    QElapsedTimer clock;
    clock.start();
    meter.start();
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
    std::printf("  longest event-loop stall: %.1f ms (5 ms meter)\n", meter.longestGapMs());
    std::printf("  resident memory: %.1f MB before, %.1f MB after (%+.1f MB)\n", rssBefore,
                rssAfter, rssAfter - rssBefore);
    std::printf("  bytes lost or out of order: %lld; kept log (%lld chars) matches the tail: %s\n",
                static_cast<long long>(wrong + size - received),
                static_cast<long long>(log.text().size()), tailIntact ? "yes" : "NO");
}

void idleCpu(int seconds)
{
    Pty pty;
    SerialLink link(std::make_unique<FixedPortCatalog>(QList<PortEntry>{{pty.path, QString()}}));
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
