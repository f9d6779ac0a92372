// Floods a pseudo-terminal with 80-byte text lines and measures the whole
// receive path of the real window: port -> acknowledgement check -> receive
// log -> log view, the window shown on its "Read Setting" page and the port
// opened through its own buttons. A plain read() loop on the same kind of
// line runs in the same process for comparison. Prints throughput, the
// longest event-loop stall, memory before and after, whether the kept log is
// intact, and the CPU time used while idle with the port open.

#include "bench/BenchSupport.h"
#include "bench/BenchWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace bench;

struct Targets
{
    static constexpr double kMinMbPerSecond = 30;
    static constexpr double kMaxStallMs = 50;
    static constexpr double kMaxRssGrowthMb = 10;
};

const char *verdict(bool met)
{
    return met ? "ok" : "MISSED";
}

bool floodWindow(qint64 size, const QString &saveFolder, qint64 readBuffer)
{
    Pty pty;
    CountingBoxes boxes;
    FixedSaveDialog save(QDir(saveFolder).filePath(QStringLiteral("window-bench-log.txt")));
    Form1 window(benchPlatform(boxes, save, pty.path));
    showOnLogPage(window);
    const QString openError = openThroughButtons(window, boxes);
    if (!openError.isEmpty()) {
        std::printf("  window: %s\n", qPrintable(openError));
        return false;
    }
    if (readBuffer > 0)
        child<QSerialPort>(window, "MSComm1")->setReadBufferSize(readBuffer);

    // Watches the chunks the window is handed, after it has handled each.
    Stream check(size);
    qint64 wrong = 0;
    qint64 received = 0;
    qint64 chunks = 0;
    QEventLoop loop;
    QObject::connect(linkOf(window), &SerialLink::chunkReceived, &loop,
                     [&](const QByteArray &chunk) {
                         wrong += check.check(chunk.constData(), chunk.size());
                         received += chunk.size();
                         ++chunks;
                         if (received >= size)
                             loop.quit();
                     });
    FloodWatchdog watchdog(loop, received);
    StallMeter meter(&loop);

    const int boxesBefore = boxes.total();
    const Memory before = memory();
    const double cpuBefore = threadCpuMs();
    QElapsedTimer clock;
    clock.start();
    meter.start();
    std::thread writer = startWriter(pty.master, size);
    loop.exec();
    const qint64 elapsed = clock.nsecsElapsed();
    const double cpuSpent = threadCpuMs() - cpuBefore;
    watchdog.stop();
    writer.join();
    // The view catches up within its repaint interval; keep metering that.
    spin(4 * LogView::kSyncIntervalMs);
    meter.stop();
    const Memory after = memory();
    const int boxesDuring = boxes.total() - boxesBefore;

    bool saved = false;
    const QByteArray kept = savedLog(window, save, &saved);
    const bool tailIntact = saved && kept == streamTail(size, kept.size());
    const bool viewIntact = viewShows(window, kept);
    const qint64 lost = wrong + size - received;

    const double rate = mbPerSecond(received, elapsed);
    const double stall = meter.longestGapMs();
    const double growth = after.rssMb - before.rssMb;
    std::printf("  window receive path: %7.1f MB/s, %lld chunks of %.0f bytes on average  [%s]\n",
                rate, static_cast<long long>(chunks),
                chunks ? double(received) / double(chunks) : 0.0,
                verdict(rate >= Targets::kMinMbPerSecond));
    std::printf("  window thread busy %.0f%% of the flood (%.0f ms CPU in %.0f ms)\n",
                100.0 * cpuSpent / (double(elapsed) / 1e6), cpuSpent, double(elapsed) / 1e6);
    std::printf("  longest event-loop stall: %.1f ms, %.1f ms beyond the %d ms tick  [%s]\n", stall,
                stall - StallMeter::kTickMs, StallMeter::kTickMs,
                verdict(stall < Targets::kMaxStallMs));
    std::printf("  resident memory: %.1f MB before, %.1f MB after (%+.1f MB); peak %.1f MB before, "
                "%.1f MB after  [%s]\n",
                before.rssMb, after.rssMb, growth, before.peakMb, after.peakMb,
                verdict(growth <= Targets::kMaxRssGrowthMb));
    std::printf("  bytes lost or out of order on the way in: %lld; kept log %lld bytes, "
                "%s the stream's tail; view %s  [%s]\n",
                static_cast<long long>(lost), static_cast<long long>(kept.size()),
                tailIntact ? "equals" : "DIFFERS FROM", viewIntact ? "matches" : "DIFFERS",
                verdict(lost == 0 && tailIntact && viewIntact));
    std::printf("  count caption \"%s\", boxes during the flood: %d\n",
                qPrintable(child<QPushButton>(window, "Command6")->text()), boxesDuring);
    return rate >= Targets::kMinMbPerSecond && stall < Targets::kMaxStallMs &&
           growth <= Targets::kMaxRssGrowthMb && lost == 0 && tailIntact && viewIntact;
}

// Counts timer events by receiver, to show what wakes an idle window.
class TimerEventCounter final : public QObject
{
public:
    [[nodiscard]] int total() const
    {
        int sum = 0;
        for (const int n : m_counts)
            sum += n;
        return sum;
    }
    [[nodiscard]] QString summary() const
    {
        QString text;
        for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it)
            text += QStringLiteral(" %1 x%2;").arg(it.key()).arg(it.value());
        return text.isEmpty() ? QStringLiteral(" none") : text;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Timer) {
            const QString name = watched->objectName();
            ++m_counts[QString::fromLatin1(watched->metaObject()->className()) +
                       (name.isEmpty() ? QString() : QLatin1Char(' ') + name)];
        }
        return false;
    }

private:
    QMap<QString, int> m_counts;
};

bool idleWindow(int seconds)
{
    Pty pty;
    CountingBoxes boxes;
    FixedSaveDialog save(QString{});
    Form1 window(benchPlatform(boxes, save, pty.path));
    showOnLogPage(window);
    const QString openError = openThroughButtons(window, boxes);
    if (!openError.isEmpty()) {
        std::printf("idle: %s\n", qPrintable(openError));
        return false;
    }
    // Something on screen, so the view has had work to do before going quiet.
    if (::write(pty.master, "ready\r\n", 7) != 7)
        return false;
    spin(200);
    // Measured from inside the loop, so that entering and leaving it is not
    // counted.
    TimerEventCounter wakeUps;
    QEventLoop loop;
    double before = 0;
    double after = 0;
    QTimer::singleShot(0, &loop, [&] {
        before = cpuMs();
        qApp->installEventFilter(&wakeUps);
        QTimer::singleShot(seconds * 1000, &loop, [&] {
            after = cpuMs();
            qApp->removeEventFilter(&wakeUps);
            loop.quit();
        });
    });
    loop.exec();
    const double spent = after - before;
    // Nothing but the end-of-measurement timer may wake the loop; that one
    // wake-up and reading the clock cost about a millisecond.
    const bool met = wakeUps.total() <= 1 && spent < 5.0;
    std::printf("idle %d s, window shown, port open: %.1f ms CPU  [%s]\n", seconds, spent,
                verdict(met));
    std::printf("  timer events meanwhile:%s\n", qPrintable(wakeUps.summary()));
    return met;
}

} // namespace

int main(int argc, char *argv[])
{
    bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Floods the window's receive path through a pseudo-terminal and prints its figures."));
    parser.addHelpOption();
    const QCommandLineOption sizes(QStringLiteral("sizes"),
                                   QStringLiteral("Flood sizes in MB, comma separated."),
                                   QStringLiteral("list"), QStringLiteral("10,100"));
    const QCommandLineOption idle(QStringLiteral("idle"),
                                  QStringLiteral("Seconds of idle CPU measurement (0: skip)."),
                                  QStringLiteral("s"), QStringLiteral("10"));
    const QCommandLineOption readBuffer(
        QStringLiteral("read-buffer"),
        QStringLiteral("For comparison only: the port's read buffer in bytes instead of the "
                       "program's own."),
        QStringLiteral("bytes"), QStringLiteral("0"));
    parser.addOptions({sizes, idle, readBuffer});
    parser.process(app);

    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "window_bench: no temporary folder\n");
        return 2;
    }
    std::printf("load average %s; platform %s, Qt %s; targets: >= %.0f MB/s, stall < %.0f ms, RSS "
                "growth <= %.0f "
                "MB, nothing lost, idle CPU ~0\n",
                qPrintable(loadAverage()), qPrintable(QGuiApplication::platformName()), qVersion(),
                Targets::kMinMbPerSecond, Targets::kMaxStallMs, Targets::kMaxRssGrowthMb);
    bool allMet = true;
    for (const QString &mb : parser.value(sizes).split(QLatin1Char(','))) {
        const qint64 size = mb.toLongLong() * 1024 * 1024;
        if (size <= 0)
            continue;
        std::printf("flood of %lld MB (%lld-byte lines):\n", mb.toLongLong(),
                    static_cast<long long>(kLineLength));
        plainReader(size);
        allMet = floodWindow(size, folder.path(), parser.value(readBuffer).toLongLong()) && allMet;
        std::fflush(stdout);
    }
    const int idleSeconds = parser.value(idle).toInt();
    if (idleSeconds > 0)
        allMet = idleWindow(idleSeconds) && allMet;
    std::printf("%s (load average %s)\n", allMet ? "all targets met" : "some targets MISSED",
                qPrintable(loadAverage()));
    return allMet ? 0 : 1;
}
