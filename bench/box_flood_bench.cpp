// Floods the real window while one of its message boxes stays open, as an
// operator who leaves "Over Range!!" on screen while the dongle keeps
// talking. Prints how long the sender was ever blocked, how resident memory
// grew, and whether the count and the kept log after the box equal those of
// the same chunks handed to a window that shows no box.

#include "bench/BenchSupport.h"
#include "bench/BenchWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <atomic>
#include <cstdio>
#include <vector>

namespace {

using namespace bench;

struct Targets
{
    static constexpr double kMaxBlockedMs = 50;
    static constexpr double kMaxRssGrowthMb = 5;
};

const char *verdict(bool met)
{
    return met ? "ok" : "MISSED";
}

// Writes the stream in small blocking writes and keeps the longest time one
// write() waited for room on the line.
class TimedWriter
{
public:
    TimedWriter(int fd, qint64 size)
    {
        m_thread = std::thread([this, fd, size] {
            Stream stream(size);
            char buffer[4096];
            QElapsedTimer clock;
            for (qsizetype n; (n = stream.next(buffer, sizeof buffer)) > 0;) {
                for (qsizetype done = 0; done < n;) {
                    clock.start();
                    const ssize_t w = ::write(fd, buffer + done, size_t(n - done));
                    m_longestNs = std::max<qint64>(m_longestNs, clock.nsecsElapsed());
                    if (w <= 0)
                        return;
                    done += w;
                }
            }
            m_done = true;
        });
    }
    ~TimedWriter() { m_thread.join(); }
    [[nodiscard]] bool done() const { return m_done; }
    [[nodiscard]] double longestBlockMs() const { return double(m_longestNs) / 1e6; }

private:
    std::atomic<qint64> m_longestNs = 0;
    std::atomic<bool> m_done = false;
    std::thread m_thread;
};

// A box that stays open, running its event loop, until `until` says so.
class HeldBox final : public MessageBoxes
{
public:
    void show(const QString &text, const QString &, MessageIcon) override
    {
        shown << text;
        if (!until)
            return;
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (whileOpen)
                whileOpen();
            if (until())
                loop.quit();
        });
        poll.start(20);
        loop.exec();
    }
    QStringList shown;
    std::function<bool()> until;
    std::function<void()> whileOpen;
};

struct Outcome
{
    QString count;
    QByteArray kept;
};

Outcome readBack(Form1 &window, FixedSaveDialog &save)
{
    spin(4 * LogView::kSyncIntervalMs);
    bool saved = false;
    QByteArray kept = savedLog(window, save, &saved);
    return {child<QPushButton>(window, "Command6")->text(), saved ? kept : "<not saved>"};
}

bool floodUnderBox(qint64 size, const QString &folder)
{
    Pty pty;
    HeldBox box;
    CountingBoxes unused;
    FixedSaveDialog save(QDir(folder).filePath(QStringLiteral("box-flood.txt")));
    Form1Platform platform = benchPlatform(unused, save, pty.path);
    platform.boxes = &box;
    Form1 window(std::move(platform));
    box.shown.clear(); // the start-up notice
    showOnLogPage(window);
    const QString openError = openThroughButtons(window, unused);
    if (!openError.isEmpty() || !box.shown.isEmpty()) {
        std::printf("  window: %s\n", qPrintable(openError));
        return false;
    }
    // Only the sizes of the chunks: the stream itself can be made again.
    std::vector<int> chunkSizes;
    QObject::connect(linkOf(window), &SerialLink::chunkReceived, &window,
                     [&](const QByteArray &chunk) { chunkSizes.push_back(int(chunk.size())); });

    const double rssBefore = residentMb();
    double rssMost = rssBefore;
    std::optional<TimedWriter> writer;
    QElapsedTimer clock;
    box.whileOpen = [&] { rssMost = std::max(rssMost, residentMb()); };
    box.until = [&] {
        if (!writer) {
            clock.start();
            writer.emplace(pty.master, size);
        }
        return (writer->done() && linkOf(window)->bytesRead() == size) || clock.elapsed() > 60000;
    };
    child<QLineEdit>(window, "SlaveID1")->setText(QStringLiteral("999"));
    click(window, "Command4"); // "Over Range!!", held open for the whole flood
    const double seconds = double(clock.elapsed()) / 1000;
    const bool allRead = linkOf(window)->bytesRead() == size;
    const double rssAfterBox = residentMb();
    box.until = nullptr;
    const Outcome underBox = readBack(window, save);
    const double blocked = writer->longestBlockMs();
    writer.reset();

    // The same chunks, handed one by one to a window that shows no box.
    Form1 plain(benchPlatform(unused, save, QString()));
    Stream stream(size);
    QByteArray chunk;
    for (const int n : chunkSizes) {
        chunk.resize(n);
        stream.next(chunk.data(), n);
        plain.OnComm(chunk);
    }
    const Outcome noBox = readBack(plain, save);

    const bool same = underBox.count == noBox.count && underBox.kept == noBox.kept;
    const bool tail = underBox.kept == streamTail(size, underBox.kept.size());
    const double growth = rssMost - rssBefore;
    std::printf("  written and read under the box in %.1f s, %zu chunks  [%s]\n", seconds,
                chunkSizes.size(), verdict(allRead));
    std::printf("  longest the sender was blocked in one write(): %.1f ms  [%s]\n", blocked,
                verdict(blocked <= Targets::kMaxBlockedMs));
    std::printf("  resident memory: %.1f MB before, at most %.1f MB under the box (%+.1f MB), "
                "%.1f MB as it closed  [%s]\n",
                rssBefore, rssMost, growth, rssAfterBox,
                verdict(growth < Targets::kMaxRssGrowthMb));
    std::printf("  after the box: count \"%s\", kept %lld bytes; no box: count \"%s\", kept %lld "
                "bytes; %s, kept log %s the stream's tail  [%s]\n",
                qPrintable(underBox.count), static_cast<long long>(underBox.kept.size()),
                qPrintable(noBox.count), static_cast<long long>(noBox.kept.size()),
                same ? "equal" : "DIFFERENT", tail ? "is" : "is NOT", verdict(same && tail));
    return allRead && blocked <= Targets::kMaxBlockedMs && growth < Targets::kMaxRssGrowthMb &&
           same && tail;
}

} // namespace

int main(int argc, char *argv[])
{
    bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Floods the window while a message box stays open."));
    parser.addHelpOption();
    const QCommandLineOption sizes(QStringLiteral("sizes"),
                                   QStringLiteral("Flood sizes in MB, comma separated."),
                                   QStringLiteral("list"), QStringLiteral("10"));
    parser.addOption(sizes);
    parser.process(app);

    QTemporaryDir folder;
    if (!folder.isValid())
        return 2;
    std::printf("load average %s; targets: sender blocked <= %.0f ms, RSS growth < %.0f MB, "
                "count and kept log as without the box\n",
                qPrintable(loadAverage()), Targets::kMaxBlockedMs, Targets::kMaxRssGrowthMb);
    bool allMet = true;
    for (const QString &mb : parser.value(sizes).split(QLatin1Char(','))) {
        const qint64 size = mb.toLongLong() * 1024 * 1024;
        if (size <= 0)
            continue;
        std::printf("flood of %lld MB while \"Over Range!!\" stays open:\n", mb.toLongLong());
        allMet = floodUnderBox(size, folder.path()) && allMet;
    }
    std::printf("load average %s\n", qPrintable(loadAverage()));
    return allMet ? 0 : 1;
}
