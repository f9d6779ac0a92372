// The station window under a line's pace: 32 fixture slots and 100 units
// appearing 50 ms apart, each settling 500 ms and answered 100 ms later, fed
// into the window's board as the station will feed it. Measures, for every
// event, the time until its tile has been drawn (median and worst), the
// longest the event loop stalled, and the CPU the window takes while nothing
// is under way.
//   station_window_bench [--units 100] [--every 50] [--idle 5]

#include "BenchSupport.h"

#include "stationui/RunView.h"
#include "stationui/SlotTile.h"
#include "stationui/StationWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSlots = 32;
constexpr int kSettleMs = 500;
constexpr int kAnswerMs = 100;
constexpr double kStallTargetMs = 16;
constexpr int kWarmUpMs = 1000;

// The time from an event of a slot to the end of its tile's next painting.
class PaintClock final : public QObject
{
public:
    explicit PaintClock(const QList<SlotTile *> &tiles)
        : m_tiles(tiles), m_pending(std::size_t(tiles.size()), -1)
    {
        m_clock.start();
        for (SlotTile *tile : tiles)
            tile->installEventFilter(this);
    }
    void fed(int slot)
    {
        if (m_pending[slot] < 0)
            m_pending[slot] = m_clock.nsecsElapsed();
    }
    [[nodiscard]] std::vector<double> latenciesMs() const { return m_latencies; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        const qsizetype slot = m_tiles.indexOf(static_cast<SlotTile *>(watched));
        // Painted here, so that the time taken includes the painting.
        const bool handled = watched->event(event);
        if (slot >= 0 && m_pending[slot] >= 0) {
            m_latencies.push_back(double(m_clock.nsecsElapsed() - m_pending[slot]) / 1e6);
            m_pending[slot] = -1;
        }
        return handled;
    }

private:
    QList<SlotTile *> m_tiles;
    std::vector<qint64> m_pending;
    std::vector<double> m_latencies;
    QElapsedTimer m_clock;
};

// The most CPU time the event thread spent between two ticks: the stall the
// window's own work causes, apart from the time the machine's load takes
// the thread off the processor (which the wall-clock meter counts too).
class CpuStallMeter
{
public:
    explicit CpuStallMeter(QObject *context)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, context, [this] {
            const double now = bench::threadCpuMs();
            m_longestMs = std::max(m_longestMs, now - m_lastMs);
            m_lastMs = now;
        });
    }
    void start()
    {
        m_lastMs = bench::threadCpuMs();
        m_timer.start(bench::StallMeter::kTickMs);
    }
    void stop() { m_timer.stop(); }
    [[nodiscard]] double longestMs() const { return m_longestMs; }

private:
    QTimer m_timer;
    double m_lastMs = 0;
    double m_longestMs = 0;
};

PortEntry unitOf(int i)
{
    return PortEntry{QStringLiteral("/dev/ttyUSB%1").arg(i),
                     QStringLiteral("Bench dongle"),
                     {},
                     QStringLiteral("socket-%1").arg(i % kSlots),
                     QStringLiteral("VT2026%1").arg(i, 8, 10, QLatin1Char('0'))};
}

// Every event of every unit, at its time, on precise timers.
void schedule(RunBoard *board, PaintClock *clock, int units, int everyMs)
{
    const auto at = [](int ms, auto what) { QTimer::singleShot(ms, Qt::PreciseTimer, qApp, what); };
    for (int i = 0; i < units; ++i) {
        const int slot = i % kSlots;
        const int t0 = i * everyMs;
        at(t0, [=] {
            if (i >= kSlots)
                board->unitVanished(unitOf(i - kSlots).location);
            board->unitAppeared(unitOf(i));
            clock->fed(slot);
        });
        at(t0 + kSettleMs, [=] {
            board->unitStarted(unitOf(i), 1);
            clock->fed(slot);
        });
        at(t0 + kSettleMs + kAnswerMs, [=] {
            const bool fails = i % 10 == 9;
            board->unitEnded(unitOf(i),
                             {fails ? QStringLiteral("no-answer") : QStringLiteral("ok"),
                              fails ? QStringLiteral("No answer within 2500 ms.") : QString(), true,
                              QDateTime::currentDateTime()});
            clock->fed(slot);
        });
    }
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

struct Options
{
    int units = 100;
    int every = 50;
    int idleSeconds = 5;
};

Options readOptions(const QApplication &app)
{
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption units(QStringLiteral("units"), QStringLiteral("Units [100]."),
                                   QStringLiteral("N"), QStringLiteral("100"));
    const QCommandLineOption every(QStringLiteral("every"), QStringLiteral("ms apart [50]."),
                                   QStringLiteral("MS"), QStringLiteral("50"));
    const QCommandLineOption idle(QStringLiteral("idle"), QStringLiteral("Idle seconds [5]."),
                                  QStringLiteral("S"), QStringLiteral("5"));
    parser.addOptions({units, every, idle});
    parser.process(app);
    return {parser.value(units).toInt(), parser.value(every).toInt(), parser.value(idle).toInt()};
}

// A window on the line's fixture, shown on the run view.
void setUp(StationWindow &window, int units)
{
    QStringList sockets;
    for (int i = 0; i < kSlots; ++i)
        sockets << QStringLiteral("socket-%1").arg(i);
    window.board()->useFixture(Fixture(sockets));
    window.board()->setLotQuantity(units);
    window.findChild<QAction *>(QStringLiteral("showRun"))->trigger();
    window.resize(1600, 1000);
    window.show();
}

struct Figures
{
    std::vector<double> latencies;
    double stallMs = 0;
    double cpuStallMs = 0;
    double feedCpuMs = 0;
    double idleCpuMs = 0;
};

void print(const Options &options, const Figures &f, int runMs)
{
    std::printf("station window: %d slots, %d units %d ms apart (load %s)\n", kSlots, options.units,
                options.every, qPrintable(bench::loadAverage()));
    std::printf("  event to tile drawn: %zu events, median %.2f ms, 99th %.2f ms, worst %.2f ms\n",
                f.latencies.size(), percentile(f.latencies, 0.5), percentile(f.latencies, 0.99),
                percentile(f.latencies, 1.0));
    std::printf("  longest event-loop stall: %.1f ms (target: at most %.0f ms) %s\n", f.stallMs,
                kStallTargetMs, f.stallMs <= kStallTargetMs ? "ok" : "OVER");
    std::printf("  most CPU between two %d ms ticks: %.1f ms (the window's own share of a "
                "stall)\n",
                bench::StallMeter::kTickMs, f.cpuStallMs);
    std::printf("  CPU while fed: %.0f ms over %.1f s\n", f.feedCpuMs, runMs / 1000.0);
    std::printf("  CPU while idle: %.1f ms over %d s (target: none)\n", f.idleCpuMs,
                options.idleSeconds);
}

} // namespace

int main(int argc, char *argv[])
{
    bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    const Options options = readOptions(app);
    QTemporaryDir dir;
    StationWindow::Platform platform;
    platform.settings =
        std::make_unique<StationSettings>(dir.filePath(QStringLiteral("bench.ini")));
    // The tiles are measured, not the sound device.
    RunSetup quiet;
    quiet.sound = false;
    platform.settings->setSetup(quiet);
    StationWindow window(std::move(platform));
    setUp(window, options.units);

    PaintClock clock(window.findChild<RunView *>()->tiles());
    bench::StallMeter stalls(&app);
    CpuStallMeter cpuStalls(&app);
    const int runMs = (options.units - 1) * options.every + kSettleMs + kAnswerMs + 500;
    Figures figures;
    // The window's first showing (fonts, the whole window drawn once) is
    // not the line's pace: the feed starts once it is over.
    QTimer::singleShot(kWarmUpMs, [&] {
        stalls.start();
        cpuStalls.start();
        figures.feedCpuMs = bench::cpuMs();
        schedule(window.board(), &clock, options.units, options.every);
    });
    QTimer::singleShot(kWarmUpMs + runMs, [&] {
        stalls.stop();
        cpuStalls.stop();
        figures.idleCpuMs = bench::cpuMs();
        figures.feedCpuMs = figures.idleCpuMs - figures.feedCpuMs;
        QTimer::singleShot(options.idleSeconds * 1000, [&] {
            figures.idleCpuMs = bench::cpuMs() - figures.idleCpuMs;
            QCoreApplication::quit();
        });
    });
    QApplication::exec();
    figures.latencies = clock.latenciesMs();
    figures.stallMs = stalls.longestGapMs() - bench::StallMeter::kTickMs;
    figures.cpuStallMs = cpuStalls.longestMs();
    print(options, figures, runMs);
    return 0;
}
