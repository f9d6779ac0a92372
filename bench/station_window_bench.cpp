// The station window on the line's real path: 32 fixture slots and 100
// units plugged 50 ms apart (each pulling the unit before it in its socket)
// into the station the window drives (StationDriver, Station,
// ProductionRun, the report written ahead), each unit a dongle on a
// pseudo-terminal answering 100 ms after its frame, one in ten wrongly.
// Measures, for each unit, the time from its plug-in to its tile drawn
// settling and from its dongle's answer to its tile drawn with the result
// (which includes the station's quiet window after an answer), the longest
// the event loop stalled, and the CPU the window takes while the run waits
// with nothing under way.
//   station_window_bench [--units 100] [--every 50] [--idle 5]

#include "BenchSupport.h"

#include "stationui/RunView.h"
#include "stationui/SetupPage.h"
#include "stationui/SlotTile.h"
#include "stationui/StationDriver.h"
#include "stationui/StationWindow.h"

#include "support/ReportRecords.h"
#include "support/StationRig.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSlots = 32;
constexpr int kAnswerMs = 100;
constexpr double kStallTargetMs = 16;
constexpr int kWarmUpMs = 1000;

// For each unit, the time from an event to the end of the first painting
// of its tile that shows it: its plug-in (the tile settling), its dongle's
// right answer and the station's verdict (the tile with the result).
class PaintClock final : public QObject
{
public:
    enum Event
    {
        Plugged,
        Answered,
        Judged,
        kEvents
    };

    PaintClock(const QList<SlotTile *> &tiles, const RunBoard *board)
        : m_tiles(tiles), m_board(board)
    {
        for (auto &since : m_since)
            since.assign(std::size_t(tiles.size()), -1);
        m_clock.start();
        for (SlotTile *tile : tiles)
            tile->installEventFilter(this);
    }
    void happened(Event event, int slot) { m_since[event][slot] = m_clock.nsecsElapsed(); }
    [[nodiscard]] const std::vector<double> &latencies(Event event) const { return m_ms[event]; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        const qsizetype slot = m_tiles.indexOf(static_cast<SlotTile *>(watched));
        // Painted here, so that the time taken includes the painting.
        const bool handled = watched->event(event);
        if (slot < 0)
            return handled;
        const SlotState state = m_board->slotList().at(slot).state;
        const bool result = state == SlotState::Passed || state == SlotState::Failed;
        for (int e = 0; e < kEvents; ++e) {
            qint64 &since = m_since[e][slot];
            if (since >= 0 && (e == Plugged ? state != SlotState::Empty : result)) {
                m_ms[e].push_back(double(m_clock.nsecsElapsed() - since) / 1e6);
                since = -1;
            }
        }
        return handled;
    }

private:
    QList<SlotTile *> m_tiles;
    const RunBoard *m_board;
    std::array<std::vector<qint64>, kEvents> m_since;
    std::array<std::vector<double>, kEvents> m_ms;
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

QString socketOf(int slot)
{
    return QStringLiteral("/dev/serial/by-path/pci-0000:00:14.0-usb-0:%1:1.0-port0").arg(slot + 1);
}

int socketSlot(const QString &socket)
{
    for (int i = 0; i < kSlots; ++i) {
        if (socketOf(i) == socket)
            return i;
    }
    return 0;
}

// The line: a dongle for each unit, and the device source the station
// hears of them from.
struct Line
{
    QTemporaryDir dir;
    CapturedConsole console;
    QPointer<ScriptedDeviceSource> source;
    std::vector<std::unique_ptr<PlayedDongle>> dongles;

    [[nodiscard]] PortEntry unit(int i) const
    {
        PortEntry entry = dongles[std::size_t(i)]->entry(
            QStringLiteral("VT2026%1").arg(i, 8, 10, QLatin1Char('0')));
        entry.byPath = socketOf(i % kSlots);
        return entry;
    }
};

// Every unit's plug-in at its time, on precise timers; each answer noted as
// its dongle sends it.
void schedule(Line &line, PaintClock *clock, int units, int everyMs)
{
    for (int i = 0; i < units; ++i) {
        const int slot = i % kSlots;
        if (i % 10 != 9) {
            QObject::connect(line.dongles[std::size_t(i)]->dongle.get(), &DongleEmulator::replied,
                             clock, [clock, slot] { clock->happened(PaintClock::Answered, slot); });
        }
        QTimer::singleShot(i * everyMs, Qt::PreciseTimer, qApp, [&line, clock, i, slot] {
            if (!line.source)
                return;
            if (i >= kSlots)
                line.source->pull(line.unit(i - kSlots).location);
            clock->happened(PaintClock::Plugged, slot);
            line.source->plug(line.unit(i));
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

// The run's setup: the fixture's 32 sockets, a profile and a report.
RunSetup lineSetup(const QTemporaryDir &dir, int units)
{
    RunSetup setup;
    setup.operatorName = QStringLiteral("Bench");
    setup.lot = QStringLiteral("BENCH");
    setup.lotQuantity = units;
    setup.profilePath = dir.filePath(QStringLiteral("line.profile"));
    setup.reportPath = dir.filePath(QStringLiteral("units.csv"));
    setup.fixturePath = dir.filePath(QStringLiteral("line.fixture"));
    // The tiles are measured, not the sound device.
    setup.sound = false;
    QFile profile(setup.profilePath);
    QStringList sockets;
    for (int i = 0; i < kSlots; ++i)
        sockets << socketOf(i);
    if (!profile.open(QIODevice::WriteOnly) ||
        profile.write("vantrel-set profile 1\nchannel = 15\n") < 0 ||
        !writeFixture(setup.fixturePath, Fixture(sockets)).ok())
        return {};
    return setup;
}

struct Figures
{
    std::vector<double> toSettling;
    std::vector<double> toAnswer;
    std::vector<double> toVerdict;
    double stallMs = 0;
    double cpuStallMs = 0;
    double feedCpuMs = 0;
    double idleCpuMs = 0;
    Tally tally;
    qsizetype records = 0;
};

void printLatencies(const char *what, const std::vector<double> &ms)
{
    std::printf("  %s: %zu units, median %.2f ms, 99th %.2f ms, worst %.2f ms\n", what, ms.size(),
                percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 1.0));
}

void print(const Options &options, const Figures &f, int runMs)
{
    std::printf("station window on the station: %d slots, %d units %d ms apart (load %s)\n", kSlots,
                options.units, options.every, qPrintable(bench::loadAverage()));
    std::printf("  results: %d passed, %d failed; %lld records in the report\n", f.tally.passed,
                f.tally.failed, qint64(f.records));
    printLatencies("plug-in to tile drawn settling", f.toSettling);
    printLatencies("right answer to tile drawn PASS", f.toAnswer);
    printLatencies("station's verdict to tile drawn PASS or FAIL", f.toVerdict);
    std::printf("  longest event-loop stall: %.1f ms (target: at most %.0f ms) %s\n", f.stallMs,
                kStallTargetMs, f.stallMs <= kStallTargetMs ? "ok" : "OVER");
    std::printf("  most CPU between two %d ms ticks: %.1f ms (the process's own share of a "
                "stall)\n",
                bench::StallMeter::kTickMs, f.cpuStallMs);
    std::printf("  CPU while fed (window, station and the dongles): %.0f ms over %.1f s\n",
                f.feedCpuMs, runMs / 1000.0);
    std::printf("  CPU while the run waits, nothing under way: %.1f ms over %d s (target: none)\n",
                f.idleCpuMs, options.idleSeconds);
}

// Runs the lot: the feed once the station waits, the idle time after, then
// Stop; returns once the run ended, with how long the feed took.
int runLot(StationWindow &window, const ProductionRun &run, Line &line, const Options &options,
           Figures &figures)
{
    PaintClock clock(window.findChild<RunView *>()->tiles(), window.board());
    QObject::connect(&run, &ProductionRun::unitResult, &clock, [&clock](const PortEntry &unit) {
        clock.happened(PaintClock::Judged, socketSlot(unit.byPath));
    });
    bench::StallMeter stalls(qApp);
    CpuStallMeter cpuStalls(qApp);
    // The last unit's verdict: its answer, or a wrong answer judged.
    const int runMs =
        (options.units - 1) * options.every + kDefaultSettleMs + kAnswerMs + kDefaultWaitMs + 500;
    // Polled only once Stop was given: nothing wakes the idle window.
    QTimer ended;
    QTimer waiting;
    QObject::connect(&waiting, &QTimer::timeout, qApp, [&] {
        if (!line.console.err().contains("waiting for devices"))
            return;
        waiting.stop();
        stalls.start();
        cpuStalls.start();
        figures.feedCpuMs = bench::cpuMs();
        schedule(line, &clock, options.units, options.every);
        QTimer::singleShot(runMs, qApp, [&] {
            stalls.stop();
            cpuStalls.stop();
            figures.idleCpuMs = bench::cpuMs();
            figures.feedCpuMs = figures.idleCpuMs - figures.feedCpuMs;
            QTimer::singleShot(options.idleSeconds * 1000, qApp, [&] {
                figures.idleCpuMs = bench::cpuMs() - figures.idleCpuMs;
                window.findChild<QAction *>(QStringLiteral("stopRun"))->trigger();
                ended.start(100);
            });
        });
    });
    // The window's first showing (fonts, the whole window drawn once) is
    // not the line's pace: the feed starts after it.
    QTimer::singleShot(kWarmUpMs, qApp, [&] { waiting.start(20); });
    QObject::connect(window.board(), &RunBoard::tallyChanged, qApp,
                     [&] { figures.tally = window.board()->tally(); });
    QObject::connect(&ended, &QTimer::timeout, qApp, [&] {
        if (!window.isRunning())
            QCoreApplication::quit();
    });
    QApplication::exec();
    figures.toSettling = clock.latencies(PaintClock::Plugged);
    figures.toAnswer = clock.latencies(PaintClock::Answered);
    figures.toVerdict = clock.latencies(PaintClock::Judged);
    figures.stallMs = stalls.longestGapMs() - bench::StallMeter::kTickMs;
    figures.cpuStallMs = cpuStalls.longestMs();
    return runMs;
}

} // namespace

int main(int argc, char *argv[])
{
    bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    const Options options = readOptions(app);
    Line line;
    for (int i = 0; i < options.units; ++i) {
        DongleOptions answer{.delayMs = kAnswerMs};
        if (i % 10 == 9)
            answer.reply = QByteArray("\x12\x34", 2);
        line.dongles.push_back(std::make_unique<PlayedDongle>(answer));
    }
    const RunSetup setup = lineSetup(line.dir, options.units);
    StationWindow::Platform platform;
    platform.settings =
        std::make_unique<StationSettings>(line.dir.filePath(QStringLiteral("bench.ini")));
    platform.settings->setSetup(setup);
    StationWindow window(std::move(platform));
    StationDriver::Platform station;
    station.deviceSources = [&line] {
        auto scripted = std::make_unique<ScriptedDeviceSource>();
        line.source = scripted.get();
        DeviceSources sources;
        sources.push_back(std::move(scripted));
        return sources;
    };
    station.console = line.console.console();
    StationDriver driver(&window, std::move(station));
    // Every tile on the screen: one out of sight is never drawn.
    window.resize(2400, 1600);
    window.show();
    window.findChild<QAction *>(QStringLiteral("startRun"))->trigger();
    if (!window.isRunning()) {
        std::fprintf(stderr, "station_window_bench: the run did not start\n");
        return 1;
    }
    Figures figures;
    const int runMs = runLot(window, driver.station()->run(), line, options, figures);
    figures.records = reportRecords(setup.reportPath).size();
    print(options, figures, runMs);
    return 0;
}
