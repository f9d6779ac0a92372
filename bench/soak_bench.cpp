// A bounded soak run of the real window (shown offscreen) on a pseudo-
// terminal. A dongle thread floods random bytes in bursts, some starting with
// the acknowledgement 55 AA, and answers every frame the window sends now at
// once, now split in two, now not at all; meanwhile the three "Setting"
// buttons are pressed in turn on a schedule and the log is saved and checked
// on every tick. Boxes are dismissed by the bench after a short while, with
// the event loop running underneath as under a real modal box.
//
// What is checked:
// - the wire: every byte handed to the window, in order, against every byte
//   the dongle thread wrote;
// - the kept log: against a ReceiveLog the bench feeds itself from the same
//   chunks, after applying the acknowledgement rule on its own (55 AA at the
//   start of a chunk is blanked; while a Setting is awaited a lone 55 waits
//   for the next chunk, and is blanked with a leading AA or logged as it was;
//   at a time-out or when the next frame is sent it is logged) and emptied
//   whenever a Setting is sent. The window's "Setting OK !!" boxes are
//   counted against the same rule.
// - memory: RSS after a warm-up against RSS at the end, and the peak.

#include "bench/BenchSupport.h"
#include "bench/BenchWindow.h"
#include "log/ReceiveLog.h"
#include "tools/DongleEmulator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <mutex>

namespace {

using namespace bench;

const QByteArray kAck("\x55\xAA", 2);
const QString kOk = QStringLiteral("Setting OK !!");
const QString kFail = QStringLiteral("Setting Fail !!");

// Every byte written to the line, kept only until the window has been handed
// the same byte.
class Wire
{
public:
    void sent(const QByteArray &bytes)
    {
        const std::lock_guard lock(m_mutex);
        m_sent += bytes;
        m_sentTotal += bytes.size();
    }
    void received(const QByteArray &chunk)
    {
        m_received += chunk;
        m_receivedTotal += chunk.size();
        const std::lock_guard lock(m_mutex);
        const qsizetype n = std::min(m_sent.size(), m_received.size());
        for (qsizetype i = 0; i < n; ++i) {
            if (m_sent.at(i) != m_received.at(i)) {
                if (m_wrong == 0)
                    m_firstWrong = m_matched + i;
                ++m_wrong;
            }
        }
        m_matched += n;
        m_sent.remove(0, n);
        m_received.remove(0, n);
    }
    [[nodiscard]] qint64 sentTotal() const
    {
        const std::lock_guard lock(m_mutex);
        return m_sentTotal;
    }
    [[nodiscard]] qint64 receivedTotal() const { return m_receivedTotal; }
    [[nodiscard]] qint64 wrong() const { return m_wrong; }
    [[nodiscard]] qint64 firstWrong() const { return m_firstWrong; }
    // Bytes handed to the window that were never written.
    [[nodiscard]] qint64 unexplained() const { return m_received.size(); }

private:
    mutable std::mutex m_mutex;
    QByteArray m_sent;
    qint64 m_sentTotal = 0;
    QByteArray m_received; // only touched by the window's thread
    qint64 m_receivedTotal = 0;
    qint64 m_matched = 0;
    qint64 m_wrong = 0;
    qint64 m_firstWrong = -1;
};

struct FloodOptions
{
    int burstMs = 10;
    int maxBurst = 4096;
    int ackOneIn = 256; // bursts starting with 55 AA
    quint32 seed = 1;
};

// The dongle's side, on its own thread so that it may block on a full line
// without holding up the window.
class DongleSide final : public QThread
{
public:
    DongleSide(int fd, Wire &wire, FloodOptions options)
        : m_fd(fd), m_wire(wire), m_options(options)
    {
    }

    std::atomic<bool> flooding{true};
    std::atomic<int> frames{0};
    std::atomic<int> answersAtOnce{0};
    std::atomic<int> answersSplit{0};
    std::atomic<int> silences{0};
    std::atomic<qint64> floodBytes{0};
    std::atomic<qint64> answerBytes{0};

protected:
    void run() override
    {
        QRandomGenerator random(m_options.seed + 1);
        DongleEmulator dongle(m_fd);
        // Chooses how this frame is answered; runs before the answer goes out.
        connect(
            &dongle, &DongleEmulator::frameDecoded, &dongle,
            [&] {
                ++frames;
                DongleOptions answer;
                switch (random.bounded(4)) {
                case 0:
                case 1:
                    ++answersAtOnce;
                    break;
                case 2:
                    answer.splitMs = 3;
                    ++answersSplit;
                    break;
                default:
                    answer.silent = true;
                    ++silences;
                }
                dongle.setOptions(answer);
            },
            Qt::DirectConnection);
        // Recorded after the write; the wire check waits for the record.
        connect(
            &dongle, &DongleEmulator::replied, &dongle,
            [&](const QByteArray &bytes) {
                answerBytes += bytes.size();
                m_wire.sent(bytes);
            },
            Qt::DirectConnection);

        QTimer flood;
        connect(&flood, &QTimer::timeout, &dongle, [&] {
            if (!flooding) {
                flood.stop();
                return;
            }
            QByteArray burst;
            if (random.bounded(m_options.ackOneIn) == 0)
                burst = kAck;
            const int size = int(random.bounded(1, m_options.maxBurst + 1));
            burst.reserve(burst.size() + size);
            for (int i = 0; i < size; ++i)
                burst.append(char(random.bounded(256)));
            // Recorded before the write: only this thread writes to the line.
            m_wire.sent(burst);
            floodBytes += burst.size();
            dongle.send(burst);
        });
        flood.start(m_options.burstMs);
        exec();
    }

private:
    int m_fd;
    Wire &m_wire;
    FloodOptions m_options;
};

// What the window must have logged, worked out by the bench.
class ExpectedLog
{
public:
    // Returns true when the chunk acknowledges a Setting.
    bool take(const QByteArray &chunk, bool settingAwaited)
    {
        if (chunk.isEmpty())
            return false;
        // One append per chunk, as the window does: the count and the trim
        // go by appends.
        QByteArray out;
        if (m_holding) {
            m_holding = false;
            if (chunk.front() == kAck.back()) {
                m_log.AppendLog(QByteArray(2, '\0') + chunk.mid(1));
                ++splitAcks;
                return true;
            }
            out = kAck.left(1);
        }
        bool acknowledges = false;
        if (chunk.startsWith(kAck)) {
            out += QByteArray(2, '\0') + chunk.mid(2);
            acknowledges = true;
            ++wholeAcks;
        } else if (chunk == kAck.left(1) && settingAwaited) {
            m_holding = true;
            ++holds;
        } else {
            out += chunk;
        }
        if (!out.isEmpty())
            m_log.AppendLog(out);
        return acknowledges;
    }
    void timedOut()
    {
        if (m_holding)
            m_log.AppendLog(kAck.left(1));
        m_holding = false;
    }
    // A frame sent gives back a held 55 before the log is emptied.
    void settingSent()
    {
        timedOut();
        m_log.clearText();
    }

    int wholeAcks = 0; // 55 AA at the start of a chunk
    int splitAcks = 0; // a lone 55, then a chunk starting with AA
    int holds = 0;     // lone 55s held back while a Setting was awaited
    [[nodiscard]] const QByteArray &text() const { return m_log.text(); }

private:
    ReceiveLog m_log;
    bool m_holding = false;
};

struct SoakOptions
{
    int seconds = 120;
    int warmupSeconds = 20;
    int pressMs = 300;
    int boxMs = 20;
    FloodOptions flood;
};

class Soak
{
public:
    Soak(const SoakOptions &options, const QString &folder)
        : m_options(options), m_save(QDir(folder).filePath(QStringLiteral("soak-log.txt"))),
          m_random(options.flood.seed)
    {
    }

    int run()
    {
        if (::fcntl(m_pty.master, F_SETFL, ::fcntl(m_pty.master, F_GETFL) | O_NONBLOCK) != 0)
            return 2;
        Form1 window(benchPlatform(m_boxes, m_save, m_pty.path));
        m_window = &window;
        m_transaction = window.findChild<SettingTransaction *>();
        showOnLogPage(window);
        const QString openError = openThroughButtons(window, m_boxes);
        if (!openError.isEmpty()) {
            std::printf("soak: %s\n", qPrintable(openError));
            return 2;
        }
        m_boxes.openMs = m_options.boxMs;
        // After the window's own handler: the wait is over, a held 55 logged.
        QObject::connect(m_transaction, &SettingTransaction::timedOut, &window, [this] {
            m_expected.timedOut();
            m_awaited = false;
        });
        QObject::connect(linkOf(window), &SerialLink::chunkReceived, &window,
                         [this](const QByteArray &chunk) { onChunk(chunk); });

        DongleSide dongle(m_pty.master, m_wire, m_options.flood);
        m_dongle = &dongle;
        const Memory start = memory();
        m_clock.start();
        dongle.start();

        QTimer presses;
        QObject::connect(&presses, &QTimer::timeout, &window, [this] { tick(); });
        presses.start(m_options.pressMs);
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, &window, [this] { sample(); });
        sampler.start(1000);
        StallMeter meter(&window);
        meter.start();

        spin(m_options.seconds * 1000);

        presses.stop();
        dongle.flooding = false;
        drain();
        meter.stop();
        sample();
        const Memory end = memory();
        const bool finalOk = checkKeptLog(true);
        spin(4 * LogView::kSyncIntervalMs);
        bool saved = false;
        const QByteArray kept = savedLog(window, m_save, &saved);
        const bool viewOk = viewShows(window, kept);

        dongle.quit();
        dongle.wait();
        return report(start, end, meter.longestGapMs(), finalOk, viewOk);
    }

private:
    void onChunk(const QByteArray &chunk)
    {
        // Runs after the window has judged the chunk; its box, if any, comes
        // in turn later, so the boxes are counted at the end.
        m_wire.received(chunk);
        ++m_chunks;
        m_expected.take(chunk, m_awaited);
        m_awaited = m_transaction->isWaiting();
    }

    void tick()
    {
        if (m_boxes.isOpen())
            return; // an operator cannot press under a modal box
        checkKeptLog(false);
        if (m_boxes.isOpen())
            return;
        // Mostly waits for the outcome; now and then presses again meanwhile.
        if (m_transaction->isWaiting() && m_random.bounded(8) != 0)
            return;
        static const char *const buttons[] = {"Command2", "Command4", "Command7"};
        const char *button = buttons[m_pressed % 3];
        click(*m_window, button);
        ++m_pressed;
        // Sent: waiting now (boxes due before the press may have been shown
        // first). Its answer cannot have been judged yet.
        if (m_transaction->isWaiting()) {
            m_expected.settingSent();
            ++m_settingsSent;
        }
        m_awaited = m_transaction->isWaiting();
    }

    bool checkKeptLog(bool last)
    {
        QByteArray expected;
        m_save.beforeSave = [&] { expected = m_expected.text(); };
        bool saved = false;
        const QByteArray kept = savedLog(*m_window, m_save, &saved);
        m_save.beforeSave = nullptr;
        ++m_checks;
        m_keptBytes = kept.size();
        m_expectedBytes = expected.size();
        m_bytesCompared += kept.size();
        m_largestKept = std::max(m_largestKept, kept.size());
        const bool same = saved && kept == expected;
        if (!same) {
            if (m_checksDiffering == 0) {
                qsizetype at = 0;
                while (at < kept.size() && at < expected.size() && kept[at] == expected[at])
                    ++at;
                std::printf("  %s check at %.1f s: kept %lld bytes, expected %lld, first "
                            "difference at %lld\n",
                            last ? "final" : "a", double(m_clock.elapsed()) / 1000.0,
                            static_cast<long long>(kept.size()),
                            static_cast<long long>(expected.size()), static_cast<long long>(at));
            }
            ++m_checksDiffering;
        }
        return same;
    }

    void sample()
    {
        const Memory now = memory();
        const double seconds = double(m_clock.elapsed()) / 1000.0;
        if (seconds >= m_options.warmupSeconds) {
            if (m_rssAfterWarmup < 0)
                m_rssAfterWarmup = now.rssMb;
            m_highestAfterWarmup = std::max(m_highestAfterWarmup, now.rssMb);
        }
        const int whole = int(seconds);
        if (whole > 0 && whole % 30 == 0 && whole != m_lastProgress) {
            m_lastProgress = whole;
            std::printf("  %3d s: %lld bytes in, RSS %.1f MB, %d OK / %d Fail\n", whole,
                        static_cast<long long>(m_wire.receivedTotal()), now.rssMb,
                        m_boxes.counts.value(kOk), m_boxes.counts.value(kFail));
            std::fflush(stdout);
        }
    }

    // Lets the line run dry and any awaited Setting come to its end.
    void drain()
    {
        QElapsedTimer quiet;
        quiet.start();
        qint64 lastTotal = -1;
        QElapsedTimer limit;
        limit.start();
        while (limit.elapsed() < 15000) {
            spin(50);
            const qint64 total = m_wire.receivedTotal();
            if (total != lastTotal || total != m_wire.sentTotal()) {
                lastTotal = total;
                quiet.start();
            }
            if (quiet.elapsed() >= 300 && !m_transaction->isWaiting() && !m_boxes.isOpen())
                return;
        }
        std::printf("  the line did not run dry within 15 s\n");
    }

    int report(const Memory &start, const Memory &end, double stallMs, bool finalOk, bool viewOk)
    {
        const DongleSide &d = *m_dongle;
        std::printf("soak of %d s: a Setting press every %d ms (rotating General, Advanced, "
                    "Advanced 2; mostly after the outcome), boxes open %d ms each;\n"
                    "  flood bursts of 1..%d random bytes every %d ms, 1 in %d starting "
                    "with 55 AA\n",
                    m_options.seconds, m_options.pressMs, m_options.boxMs, m_options.flood.maxBurst,
                    m_options.flood.burstMs, m_options.flood.ackOneIn);
        std::printf("bytes sent: %lld (flood %lld, answers %lld)\n",
                    static_cast<long long>(m_wire.sentTotal()),
                    static_cast<long long>(d.floodBytes.load()),
                    static_cast<long long>(d.answerBytes.load()));
        const qint64 missing = m_wire.sentTotal() - m_wire.receivedTotal();
        std::printf("bytes received: %lld in %lld chunks; out of place %lld%s; never arrived "
                    "%lld; never sent %lld\n",
                    static_cast<long long>(m_wire.receivedTotal()),
                    static_cast<long long>(m_chunks), static_cast<long long>(m_wire.wrong()),
                    m_wire.wrong()
                        ? qPrintable(QStringLiteral(" (first at byte %1)").arg(m_wire.firstWrong()))
                        : "",
                    static_cast<long long>(missing), static_cast<long long>(m_wire.unexplained()));
        std::printf("Settings pressed %d, sent %d; frames the dongle decoded %d (answered at once "
                    "%d, split %d, silent %d)\n",
                    m_pressed, m_settingsSent, d.frames.load(), d.answersAtOnce.load(),
                    d.answersSplit.load(), d.silences.load());
        std::printf("boxes:");
        for (auto it = m_boxes.counts.cbegin(); it != m_boxes.counts.cend(); ++it)
            std::printf(" \"%s\" %d;", qPrintable(it.key()), it.value());
        m_decisionsDiffering =
            std::abs(m_boxes.counts.value(kOk) - (m_expected.wholeAcks + m_expected.splitAcks));
        std::printf("\nacknowledgements: %d at a chunk's start, %d split over two chunks (lone "
                    "55 held %d times); \"Setting OK !!\" boxes more or fewer than the bench's "
                    "rule gives: %d\n",
                    m_expected.wholeAcks, m_expected.splitAcks, m_expected.holds,
                    m_decisionsDiffering);
        std::printf("kept log checks: %d (%lld bytes compared, largest log %lld bytes), differing "
                    "%d; at the end kept %lld bytes, expected %lld: %s; view %s\n",
                    m_checks, static_cast<long long>(m_bytesCompared),
                    static_cast<long long>(m_largestKept), m_checksDiffering,
                    static_cast<long long>(m_keptBytes), static_cast<long long>(m_expectedBytes),
                    finalOk ? "equal" : "DIFFERENT", viewOk ? "matches" : "DIFFERS");
        const double growth = end.rssMb - m_rssAfterWarmup;
        std::printf("memory: RSS %.1f MB at start, %.1f MB after the %d s warm-up, %.1f MB at the "
                    "end (%+.2f MB), highest after warm-up %.1f MB; peak (VmHWM) %.1f MB\n",
                    start.rssMb, m_rssAfterWarmup, m_options.warmupSeconds, end.rssMb, growth,
                    m_highestAfterWarmup, end.peakMb);
        std::printf("longest event-loop stall: %.1f ms (saves included); load average %s\n",
                    stallMs, qPrintable(loadAverage()));
        const bool intact = m_wire.wrong() == 0 && missing == 0 && m_wire.unexplained() == 0 &&
                            m_checksDiffering == 0 && m_decisionsDiffering == 0 && viewOk;
        const bool bounded =
            m_rssAfterWarmup >= 0 && growth < 2.0 && m_highestAfterWarmup - m_rssAfterWarmup < 2.0;
        std::printf("nothing lost or reordered: %s; RSS growth after warm-up < 2 MB: %s\n",
                    intact ? "yes" : "NO", bounded ? "yes" : "NO");
        return intact && bounded ? 0 : 1;
    }

    SoakOptions m_options;
    Pty m_pty;
    CountingBoxes m_boxes;
    FixedSaveDialog m_save;
    QRandomGenerator m_random;
    Wire m_wire;
    ExpectedLog m_expected;
    Form1 *m_window = nullptr;
    SettingTransaction *m_transaction = nullptr;
    DongleSide *m_dongle = nullptr;
    QElapsedTimer m_clock;

    bool m_awaited = false;
    qint64 m_chunks = 0;
    int m_pressed = 0;
    int m_settingsSent = 0;
    int m_decisionsDiffering = 0;
    int m_checks = 0;
    int m_checksDiffering = 0;
    qsizetype m_keptBytes = 0;
    qsizetype m_largestKept = 0;
    qint64 m_bytesCompared = 0;
    qsizetype m_expectedBytes = 0;
    double m_rssAfterWarmup = -1;
    double m_highestAfterWarmup = 0;
    int m_lastProgress = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Soaks the window: a random flood with acknowledgements mixed in while "
                       "the Setting buttons are pressed on a schedule."));
    parser.addHelpOption();
    const auto option = [](const char *name, const char *text, const char *value) {
        return QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(text),
                                  QStringLiteral("n"), QString::fromLatin1(value));
    };
    const QCommandLineOption seconds = option("seconds", "Length of the run.", "120");
    const QCommandLineOption warmup =
        option("warmup",
               "Seconds before memory growth is counted (default: a sixth of the run, "
               "at most 20).",
               "");
    const QCommandLineOption press = option("press-ms", "Milliseconds between presses.", "300");
    const QCommandLineOption box = option("box-ms", "How long each box stays open.", "20");
    const QCommandLineOption burstMs = option("burst-ms", "Milliseconds between bursts.", "10");
    const QCommandLineOption burst = option("burst", "Largest burst in bytes.", "4096");
    const QCommandLineOption ackOneIn =
        option("ack-one-in", "One burst in this many starts with 55 AA.", "256");
    const QCommandLineOption seed = option("seed", "Seed of the random flood.", "1");
    parser.addOptions({seconds, warmup, press, box, burstMs, burst, ackOneIn, seed});
    parser.process(app);

    SoakOptions options;
    options.seconds = std::max(1, parser.value(seconds).toInt());
    options.warmupSeconds = parser.value(warmup).isEmpty() ? std::min(20, options.seconds / 6)
                                                           : parser.value(warmup).toInt();
    options.pressMs = std::max(1, parser.value(press).toInt());
    options.boxMs = std::max(0, parser.value(box).toInt());
    options.flood.burstMs = std::max(1, parser.value(burstMs).toInt());
    options.flood.maxBurst = std::max(1, parser.value(burst).toInt());
    options.flood.ackOneIn = std::max(1, parser.value(ackOneIn).toInt());
    options.flood.seed = parser.value(seed).toUInt();

    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "soak_bench: no temporary folder\n");
        return 2;
    }
    Soak soak(options, folder.path());
    return soak.run();
}
