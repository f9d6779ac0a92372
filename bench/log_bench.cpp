// Append throughput of the receive log and of its view for a 10 MB stream in
// 1024-byte chunks, with the process's memory before and after each run.
// The view runs shown, on the offscreen platform unless another is chosen.

#include "app/LogView.h"
#include "bench/BenchSupport.h"
#include "log/ReceiveLog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

constexpr qsizetype kStreamBytes = 10 * 1024 * 1024;
constexpr qsizetype kChunkBytes = 1024;
constexpr int kModelRuns = 5;

struct Memory
{
    qint64 rssKb = -1;
    qint64 peakKb = -1;
};

Memory memory()
{
    Memory result;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray &line : status.readAll().split('\n')) {
        const auto value = [&line] {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        };
        if (line.startsWith("VmRSS:"))
            result.rssKb = value();
        else if (line.startsWith("VmHWM:"))
            result.peakKb = value();
    }
    return result;
}

void printMemory(const char *when)
{
    const Memory m = memory();
    std::printf("  memory %-7s RSS %6lld kB, peak RSS %6lld kB\n", when, m.rssKb, m.peakKb);
}

double mbPerSecond(qint64 nanoseconds)
{
    return double(kStreamBytes) / (1024.0 * 1024.0) / (double(nanoseconds) / 1e9);
}

// Every byte value, CR and LF included, in random order.
QByteArray binaryStream()
{
    QByteArray stream(kStreamBytes, Qt::Uninitialized);
    QRandomGenerator random(1);
    for (char &c : stream)
        c = char(random.bounded(256));
    return stream;
}

// Lines of printable text ending in CR LF, as a dongle's replies would be.
QByteArray textStream()
{
    QByteArray stream;
    stream.reserve(kStreamBytes + 100);
    for (int line = 0; stream.size() < kStreamBytes; ++line)
        stream += "RX " + QByteArray::number(line) + " 0123456789 abcdefghijklmnopqrstuvwxyz\r\n";
    stream.truncate(kStreamBytes);
    return stream;
}

void benchModel(const char *name, const QByteArray &stream)
{
    std::printf("model, %s stream\n", name);
    printMemory("before");
    qint64 best = std::numeric_limits<qint64>::max();
    qint32 lastCount = 0;
    for (int run = 0; run < kModelRuns; ++run) {
        ReceiveLog log;
        QElapsedTimer timer;
        timer.start();
        for (qsizetype at = 0; at < stream.size(); at += kChunkBytes)
            log.AppendLog(
                QByteArrayView(stream).sliced(at, std::min(kChunkBytes, stream.size() - at)));
        best = std::min(best, timer.nsecsElapsed());
        lastCount = log.dataCount();
    }
    std::printf("  %.0f MB/s (best of %d runs; last count %d)\n", mbPerSecond(best), kModelRuns,
                lastCount);
    printMemory("after");
}

class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

enum class Follow
{
    Scheduled,
    EveryChunk
};
enum class Caption
{
    OutOfSight,
    PerChunk,
    PerSync
};

// One chunk per turn of the event loop, as the serial port delivers them;
// each chunk is counted and trimmed in the model. The window is laid out at
// its designed size (417 x 487), where the count button lies below the
// client area; "in sight" moves the button up into view.
void benchView(const char *name, const QByteArray &stream, Follow follow, Caption captionMode)
{
    std::printf("view shown, %s stream, %s, caption %s\n", name,
                follow == Follow::Scheduled ? "coalesced repaints" : "synced after every chunk",
                captionMode == Caption::OutOfSight ? "out of sight, set per chunk"
                : captionMode == Caption::PerChunk ? "in sight, set per chunk"
                                                   : "in sight, set per repaint");
    printMemory("before");

    ReceiveLog log;
    QWidget window;
    auto *view = new LogView(log, &window);
    view->setGeometry(16, 80, 385, 340);
    auto *caption = new QPushButton(log.countCaption(), &window);
    caption->setObjectName(QStringLiteral("Command6"));
    caption->setGeometry(24, captionMode == Caption::OutOfSight ? 512 : 440, 89, 33);
    window.resize(417, 487);
    window.show();

    PaintCounter counter;
    view->viewport()->installEventFilter(&counter);
    if (captionMode == Caption::PerSync)
        QObject::connect(view, &LogView::synced, caption,
                         [&] { caption->setText(log.countCaption()); });

    QEventLoop loop;
    QTimer feed;
    qsizetype at = 0;
    QObject::connect(&feed, &QTimer::timeout, &window, [&] {
        const qsizetype size = std::min(kChunkBytes, stream.size() - at);
        log.AppendLog(QByteArrayView(stream).sliced(at, size));
        if (follow == Follow::Scheduled)
            view->scheduleSync();
        else
            view->syncNow();
        if (captionMode != Caption::PerSync)
            caption->setText(log.countCaption());
        at += size;
        if (at >= stream.size()) {
            feed.stop();
            view->syncNow();
            loop.quit();
        }
    });

    QElapsedTimer timer;
    timer.start();
    feed.start(0);
    loop.exec();
    const qint64 elapsed = timer.nsecsElapsed();

    const bool inStep =
        view->toPlainText().size() == log.text().size() && caption->text() == log.countCaption();
    std::printf("  %.1f MB/s, %d repaints of the log, view %s the log (%lld chars)\n",
                mbPerSecond(elapsed), counter.paints, inStep ? "matches" : "DIFFERS FROM",
                qlonglong(log.text().size()));
    printMemory("after");
}

} // namespace

int main(int argc, char *argv[])
{
    bench::offscreenUnlessSet();
    QApplication app(argc, argv);

    const QByteArray binary = binaryStream();
    const QByteArray text = textStream();
    std::printf("%lld bytes per stream in %lld-byte chunks\n", qlonglong(kStreamBytes),
                qlonglong(kChunkBytes));

    benchModel("binary", binary);
    benchModel("text", text);
    benchView("binary", binary, Follow::Scheduled, Caption::OutOfSight);
    benchView("text", text, Follow::Scheduled, Caption::OutOfSight);
    // Again: a bounded log leaves the peak where the first runs put it.
    benchView("text", text, Follow::Scheduled, Caption::OutOfSight);
    benchView("text", text, Follow::Scheduled, Caption::PerChunk);
    benchView("text", text, Follow::Scheduled, Caption::PerSync);
    benchView("text", text, Follow::EveryChunk, Caption::OutOfSight);
    return 0;
}
