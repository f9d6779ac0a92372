// The production line at scale, with the real programs: vantrel-set on 32
// emulated dongles that answer late, against one; and a station that sees
// 100 units appear 50 ms apart, also when it is killed outright in the
// middle. Prints figures and the targets they are held to.

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <linux/magic.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

const QString kSet = QStringLiteral(VANTREL_SET_PROGRAM);
const QString kDongle = QStringLiteral(VANTREL_DONGLE_PROGRAM);

// A child process with its stdout and stderr in files.
struct Child
{
    pid_t pid = -1;
    QString out;
    QString err;
    rusage usage{};
    int status = 0;

    Child(const QString &program, const QStringList &arguments, const QString &folder,
          const QString &name)
        : out(folder + QLatin1Char('/') + name + QStringLiteral(".out")),
          err(folder + QLatin1Char('/') + name + QStringLiteral(".err"))
    {
        std::vector<QByteArray> storage{QFile::encodeName(program)};
        for (const QString &argument : arguments)
            storage.push_back(argument.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &a : storage)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const QByteArray outName = QFile::encodeName(out);
        const QByteArray errName = QFile::encodeName(err);
        posix_spawn_file_actions_addopen(&actions, 1, outName.constData(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errName.constData(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }

    [[nodiscard]] QByteArray read(const QString &path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    [[nodiscard]] QByteArray output() const { return read(out); }
    [[nodiscard]] QByteArray errors() const { return read(err); }

    // Waits for the end; false after timeoutMs.
    bool wait(int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            if (::wait4(pid, &status, WNOHANG, &usage) == pid) {
                pid = -1;
                return true;
            }
            ::usleep(2000);
        }
        return false;
    }
    void signal(int number) const { ::kill(pid, number); }
    ~Child()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    [[nodiscard]] double maxRssMb() const { return double(usage.ru_maxrss) / 1024.0; }
    [[nodiscard]] int exitCode() const { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
};

// Waits until the file holds at least `lines` lines containing `text`.
bool waitForLines(const Child &child, const QByteArray &text, int lines, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (child.output().count(text) >= lines)
            return true;
        ::usleep(5000);
    }
    return false;
}

QStringList devicesOf(const QByteArray &emulatorOutput)
{
    QStringList devices;
    for (const QByteArray &line : emulatorOutput.split('\n')) {
        const qsizetype at = line.indexOf("Device: ");
        if (at >= 0)
            devices << QString::fromLocal8Bit(line.mid(at + 8));
    }
    return devices;
}

// CPU time of a running process, all its threads, from the scheduler's
// account in nanoseconds: /proc/PID/stat counts in 10 ms ticks, too coarse
// for an idle target of a few milliseconds.
double cpuMsOf(pid_t pid)
{
    double ns = 0;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks + QLatin1Char('/') + task + QStringLiteral("/schedstat"));
        if (stat.open(QIODevice::ReadOnly))
            ns += stat.readAll().split(' ').value(0).toDouble();
    }
    return ns / 1e6;
}

struct BatchFigures
{
    double wallMs = 0;
    double rssMb = 0;
    int acknowledged = 0;
};

// One vantrel-set call on `count` emulated dongles answering after delayMs.
BatchFigures batch(const QString &folder, int count, int delayMs, bool report)
{
    Child line(
        kDongle,
        {"--count", QString::number(count), "--fault", QStringLiteral("all:delay=%1").arg(delayMs)},
        folder, QStringLiteral("line"));
    waitForLines(line, "Device: ", count, 10000);
    const QStringList devices = devicesOf(line.output());
    QElapsedTimer clock;
    clock.start();
    QStringList arguments = devices + QStringList{"--channel", "15"};
    if (report)
        arguments << "--report" << folder + "/batch.csv";
    Child set(kSet, arguments, folder, QStringLiteral("set"));
    set.wait(30000);
    BatchFigures figures{double(clock.nsecsElapsed()) / 1e6, set.maxRssMb(),
                         int(set.output().count("Setting OK !!"))};
    return figures;
}

// QSerialPort takes a lock file per port and syncs it to disk; on a disk
// rather than the usual tmpfs that costs milliseconds per port, one after
// another, and shows in the figures below.
void describeLockFolder()
{
    struct statfs fs = {};
    if (::statfs("/run/lock", &fs) == 0 && fs.f_type != TMPFS_MAGIC) {
        std::printf("note: /run/lock is not a tmpfs here; each port's lock file is synced to "
                    "disk when it is opened\n");
    }
}

void concurrency(const QString &folder, int runs, bool report)
{
    std::printf("32 dongles in one call, each answering after 100 ms, %s (%d runs, median)\n",
                report ? "with --report" : "no report", runs);
    std::vector<double> one;
    std::vector<double> many;
    double rss = 0;
    int acknowledged = 0;
    for (int i = 0; i < runs; ++i) {
        one.push_back(batch(folder, 1, 100, report).wallMs);
        const BatchFigures f = batch(folder, 32, 100, report);
        many.push_back(f.wallMs);
        rss = std::max(rss, f.rssMb);
        acknowledged = f.acknowledged;
    }
    std::sort(one.begin(), one.end());
    std::sort(many.begin(), many.end());
    const double ratio = many[many.size() / 2] / one[one.size() / 2];
    std::printf("  1 dongle:   %.0f ms wall\n", one[one.size() / 2]);
    std::printf("  32 dongles: %.0f ms wall, %d of 32 acknowledged, peak RSS %.1f MB\n",
                many[many.size() / 2], acknowledged, rss);
    std::printf("  ratio %.2f (target <= 1.30): %s; RSS target < 30 MB: %s\n", ratio,
                ratio <= 1.3 ? "met" : "MISSED", rss < 30 ? "met" : "MISSED");
}

struct ReportCheck
{
    int records = 0;          // started and result records
    int whole = 0;            // with every field and a known kind
    QSet<QByteArray> started; // devices with a started record
    int results = 0;
    QSet<QByteArray> resulted; // devices with a result record
    bool endsWithNewline = true;
};

// The report's records by the header's names.
ReportCheck checkReport(const QString &path)
{
    QFile file(path);
    ReportCheck check;
    if (!file.open(QIODevice::ReadOnly))
        return check;
    const QByteArray text = file.readAll();
    check.endsWithNewline = text.isEmpty() || text.endsWith('\n');
    QList<QByteArray> lines = text.split('\n');
    const QList<QByteArray> header = lines.takeFirst().split(',');
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    const qsizetype kind = header.indexOf("kind");
    const qsizetype device = header.indexOf("device");
    for (const QByteArray &line : lines) {
        // A reason may hold a quoted comma; these runs have none.
        const QList<QByteArray> fields = line.split(',');
        if (fields.value(kind) == "station")
            continue;
        ++check.records;
        const bool known = fields.value(kind) == "started" || fields.value(kind) == "result";
        if (fields.size() == header.size() && known)
            ++check.whole;
        if (fields.value(kind) == "started") {
            check.started.insert(fields.value(device));
        } else {
            ++check.results;
            check.resulted.insert(fields.value(device));
        }
    }
    return check;
}

// The links of the emulated units that received a frame, from the emulator's
// output ("[n] <- General: ..."), as the report names their devices.
QSet<QByteArray> framedUnits(const QByteArray &emulatorOutput)
{
    QSet<QByteArray> units;
    for (const QByteArray &line : emulatorOutput.split('\n')) {
        if (!line.startsWith('[') || !line.contains("] <- "))
            continue;
        const QByteArray number = line.mid(1, line.indexOf(']') - 1);
        units.insert(number);
    }
    QSet<QByteArray> devices;
    for (const QByteArray &line : emulatorOutput.split('\n')) {
        const qsizetype at = line.indexOf("port list as \"Dongle emulator\" (");
        if (!line.startsWith('[') || at < 0)
            continue;
        const QByteArray number = line.mid(1, line.indexOf(']') - 1);
        const qsizetype open = line.indexOf('(', at);
        const QByteArray link = line.mid(open + 1, line.indexOf(')', open) - open - 1);
        if (units.contains(number))
            devices.insert(link);
    }
    return devices;
}

void station(const QString &folder, int units, int everyMs, bool killMidway, int idleSeconds)
{
    const QString report = folder + (killMidway ? "/killed.csv" : "/station.csv");
    Child watch(kSet,
                {"--watch", "--match", "Dongle emulator *", "--channel", "15", "--report", report},
                folder, QStringLiteral("station"));
    QElapsedTimer settle;
    settle.start();
    while (!watch.errors().contains("waiting for devices") && settle.elapsed() < 5000)
        ::usleep(5000);
    if (!killMidway && idleSeconds > 0) {
        const double before = cpuMsOf(watch.pid);
        ::sleep(unsigned(idleSeconds));
        const double used = cpuMsOf(watch.pid) - before;
        std::printf("  idle station: %.2f ms CPU in %d s (target < 5 ms per 10 s): %s\n", used,
                    idleSeconds, used * 10.0 / idleSeconds < 5 ? "met" : "MISSED");
    }
    QElapsedTimer clock;
    clock.start();
    Child line(kDongle, {"--count", QString::number(units), "--every", QString::number(everyMs)},
               folder, killMidway ? QStringLiteral("line-killed") : QStringLiteral("line"));
    if (killMidway) {
        waitForLines(watch, "Setting OK !!", units / 2, 60000);
        watch.signal(SIGKILL);
        watch.wait(5000);
    } else {
        waitForLines(watch, ": ", units, 120000);
        const double ms = double(clock.elapsed());
        watch.signal(SIGTERM);
        watch.wait(10000);
        std::printf("  %d units %d ms apart: all %s after %.0f ms (the last appeared after "
                    "%d ms), station exit %d, peak RSS %.1f MB, CPU %.0f ms\n",
                    units, everyMs, "ended", ms, (units - 1) * everyMs, watch.exitCode(),
                    watch.maxRssMb(),
                    (double(watch.usage.ru_utime.tv_sec + watch.usage.ru_stime.tv_sec) * 1000 +
                     double(watch.usage.ru_utime.tv_usec + watch.usage.ru_stime.tv_usec) / 1000));
    }
    const int printed =
        int(watch.output().count("Setting OK !!") + watch.output().count("Setting Fail !!") +
            watch.output().count("Port error !!"));
    const ReportCheck check = checkReport(report);
    const QSet<QByteArray> framed = framedUnits(line.output());
    const bool everyFramedStarted = check.started.contains(framed);
    std::printf("  %s: %d result lines printed, %lld units sent a frame, %d records (%lld "
                "started, %d results), %d whole, %lld distinct results, every unit sent a frame "
                "has its started record: %s, file ends with a newline: %s\n",
                killMidway ? "killed (-9) midway" : "report", printed, framed.size(), check.records,
                check.started.size(), check.results, check.whole, check.resulted.size(),
                everyFramedStarted ? "yes" : "NO", check.endsWithNewline ? "yes" : "NO");
    const bool ok = killMidway ? check.whole == check.records && check.endsWithNewline &&
                                     everyFramedStarted && check.resulted.size() == check.results &&
                                     (check.results == printed || check.results == printed + 1)
                               : check.results == units && check.whole == 2 * units &&
                                     check.resulted.size() == units && everyFramedStarted;
    std::printf("  target (%s): %s\n",
                killMidway ? "every unit sent a frame has its record, only whole records"
                           : "every unit once, whole, none lost",
                ok ? "met" : "MISSED");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("Rounds of the 32 [5]."),
                                  QStringLiteral("n"), QStringLiteral("5"));
    const QCommandLineOption units(QStringLiteral("units"),
                                   QStringLiteral("Units of the station run [100]."),
                                   QStringLiteral("n"), QStringLiteral("100"));
    const QCommandLineOption idle(QStringLiteral("idle"),
                                  QStringLiteral("Seconds the idle station is measured [10]."),
                                  QStringLiteral("s"), QStringLiteral("10"));
    parser.addOptions({runs, units, idle});
    parser.process(app);

    // The emulated dongles advertise themselves in a folder of this run.
    QTemporaryDir folder;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.path()));
    std::printf("load average %s\n",
                [] {
                    QFile f(QStringLiteral("/proc/loadavg"));
                    return f.open(QIODevice::ReadOnly) ? f.readAll().left(14).trimmed()
                                                       : QByteArray("unknown");
                }()
                    .constData());
    describeLockFolder();
    concurrency(folder.path(), parser.value(runs).toInt(), false);
    concurrency(folder.path(), parser.value(runs).toInt(), true);
    const int n = parser.value(units).toInt();
    std::printf("Station, %d units appearing 50 ms apart (settling 500 ms each)\n", n);
    station(folder.path(), n, 50, false, parser.value(idle).toInt());
    station(folder.path(), n, 50, true, 0);
    return 0;
}
