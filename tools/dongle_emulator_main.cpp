// vantrel-dongle: stands in for the radio dongle on a pseudo-terminal or a
// serial device, so the tool can be tried and tested without the hardware.

#include "protocol/ByteText.h"
#include "serial/PortCatalog.h"
#include "tools/DongleEmulator.h"
#include "tools/SignalPipe.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

void say(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

[[noreturn]] void fail(const QString &line)
{
    std::fprintf(stderr, "vantrel-dongle: %s\n", line.toLocal8Bit().constData());
    std::exit(2);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray parseHex(const QString &text)
{
    QString digits = text;
    digits.remove(QRegularExpression(QStringLiteral("[\\s:,]")));
    static const QRegularExpression hex(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
    if (!hex.match(digits).hasMatch())
        fail(QStringLiteral("not a list of hex bytes: \"%1\"").arg(text));
    return QByteArray::fromHex(digits.toLatin1());
}

int parseMs(const QCommandLineParser &parser, const QString &name)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < 0)
        fail(QStringLiteral("--%1 needs a number of milliseconds").arg(name));
    return value;
}

void makeRaw(int fd, bool setSpeed)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        fail(QStringLiteral("cannot read the line settings: %1").arg(systemError()));
    ::cfmakeraw(&tio);
    if (setSpeed) {
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        tio.c_cflag &= ~tcflag_t(CSTOPB | PARENB | CRTSCTS | CSIZE);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
    }
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        fail(QStringLiteral("cannot set the line settings: %1").arg(systemError()));
}

// Returns the master; the slave stays open for the whole run so the line is
// never hung up when the tool closes its side.
int openPseudoTerminal(QString *slavePath, int *slaveKeeper)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        fail(QStringLiteral("cannot create a pseudo-terminal: %1").arg(systemError()));
    char name[256] = {};
    if (::ptsname_r(master, name, sizeof name) != 0)
        fail(QStringLiteral("cannot name the pseudo-terminal: %1").arg(systemError()));
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0)
        fail(QStringLiteral("cannot open %1: %2").arg(QString::fromLocal8Bit(name), systemError()));
    makeRaw(slave, false);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    *slavePath = QString::fromLocal8Bit(name);
    *slaveKeeper = slave;
    return master;
}

// Puts the pseudo-terminal in the tool's port list, where the system's own
// list never shows pseudo-terminals. Returns the link, or empty.
QString advertise(const QString &path, const QString &label, const QString &prefix)
{
    QString error;
    const QString link = AdvertisedPorts::advertise(path, label, &error);
    if (link.isEmpty()) {
        say(prefix +
            QStringLiteral("Not in the tool's port list (%1): open the path above by hand.")
                .arg(error));
        return {};
    }
    say(prefix + QStringLiteral("In the tool's port list as \"Dongle emulator\" (%1): press Auto "
                                "Scan.")
                     .arg(link));
    return link;
}

// "2", "2,5", "3-7" or "all" -> unit numbers (from 1).
QList<int> parseUnits(const QString &text, int count)
{
    QList<int> units;
    if (text == QLatin1String("all")) {
        for (int i = 1; i <= count; ++i)
            units << i;
        return units;
    }
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QStringList ends = part.split(QLatin1Char('-'));
        bool okFirst = false;
        bool okLast = true;
        const int first = ends.constFirst().toInt(&okFirst);
        const int last = ends.size() == 2 ? ends.constLast().toInt(&okLast) : first;
        if (!okFirst || !okLast || ends.size() > 2 || first < 1 || last < first || last > count)
            fail(QStringLiteral("--fault: \"%1\" is not a unit number from 1 to %2")
                     .arg(part)
                     .arg(count));
        for (int i = first; i <= last; ++i)
            units << i;
    }
    return units;
}

// One played dongle: its pseudo-terminal (or device) and its advertisement.
struct Unit
{
    int number = 0;
    DongleOptions options;
    bool hangUp = false; // goes away on the first frame, as if unplugged
    int fd = -1;
    int slaveKeeper = -1;
    QString link;
    DongleEmulator *dongle = nullptr;
};

void withdraw(Unit &unit)
{
    delete unit.dongle;
    unit.dongle = nullptr;
    if (!unit.link.isEmpty())
        ::unlink(QFile::encodeName(unit.link).constData());
    unit.link.clear();
    for (int *fd : {&unit.fd, &unit.slaveKeeper}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

int openDevice(const QString &path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        fail(QStringLiteral("cannot open %1: %2").arg(path, systemError()));
    makeRaw(fd, true);
    return fd;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantrel-dongle"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays the radio dongle: prints every setting frame it receives in words and answers "
        "55 AA.\nWithout --device it creates a pseudo-terminal, prints its path and lists it in "
        "the tool's port list as \"Dongle emulator\" while it runs."));
    parser.addHelpOption();
    const QCommandLineOption device(QStringLiteral("device"),
                                    QStringLiteral("Use this serial device (9600 8N1, raw)."),
                                    QStringLiteral("path"));
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Never answer."));
    const QCommandLineOption delay(QStringLiteral("delay"),
                                   QStringLiteral("Answer this many milliseconds late."),
                                   QStringLiteral("ms"));
    const QCommandLineOption split(
        QStringLiteral("split"),
        QStringLiteral("Send the answer's first byte, the rest this many milliseconds later."),
        QStringLiteral("ms"));
    const QCommandLineOption send(
        QStringLiteral("send"),
        QStringLiteral("Send these bytes once at start, e.g. \"31 32 0D 0A\"."),
        QStringLiteral("hex"));
    const QCommandLineOption reply(
        QStringLiteral("reply"), QStringLiteral("Answer frames with these bytes instead of 55 AA."),
        QStringLiteral("hex"));
    const QCommandLineOption count(
        QStringLiteral("count"),
        QStringLiteral("Play this many dongles, each on its own pseudo-terminal (default 1)."),
        QStringLiteral("n"));
    const QCommandLineOption every(
        QStringLiteral("every"),
        QStringLiteral("Let the dongles appear one after another, this many milliseconds apart "
                       "(default: all at once)."),
        QStringLiteral("ms"));
    const QCommandLineOption fault(
        QStringLiteral("fault"),
        QStringLiteral("A fault for some of the dongles, numbered from 1: UNITS:silent, "
                       "UNITS:delay=MS, UNITS:split=MS or UNITS:hangup (the line goes away on "
                       "the first frame). UNITS is a number, a list (2,5), a range (3-7) or "
                       "\"all\". May be given several times."),
        QStringLiteral("units:fault"));
    parser.addOptions({device, silent, delay, split, send, reply, count, every, fault});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        fail(QStringLiteral("unexpected argument \"%1\" (see --help)")
                 .arg(parser.positionalArguments().constFirst()));

    DongleOptions options;
    options.silent = parser.isSet(silent);
    if (parser.isSet(delay))
        options.delayMs = parseMs(parser, delay.names().constFirst());
    if (parser.isSet(split))
        options.splitMs = parseMs(parser, split.names().constFirst());
    if (parser.isSet(reply))
        options.reply = parseHex(parser.value(reply));
    const QByteArray greeting = parser.isSet(send) ? parseHex(parser.value(send)) : QByteArray();

    int units = 1;
    if (parser.isSet(count)) {
        bool ok = false;
        units = parser.value(count).toInt(&ok);
        if (!ok || units < 1 || units > 1000)
            fail(QStringLiteral("--count needs a number from 1 to 1000"));
    }
    const int everyMs = parser.isSet(every) ? parseMs(parser, every.names().constFirst()) : 0;
    const bool onDevice = parser.isSet(device);
    if (onDevice && units > 1)
        fail(QStringLiteral("--device plays one dongle; leave --count out"));

    std::vector<Unit> played(static_cast<std::size_t>(units));
    for (int i = 0; i < units; ++i) {
        played[std::size_t(i)].number = i + 1;
        played[std::size_t(i)].options = options;
    }
    for (const QString &spec : parser.values(fault)) {
        static const QRegularExpression form(
            QStringLiteral("^([0-9,\\-]+|all):(silent|hangup|delay=([0-9]+)|split=([0-9]+))$"));
        const QRegularExpressionMatch m = form.match(spec);
        if (!m.hasMatch())
            fail(QStringLiteral("--fault \"%1\" is not UNITS:silent, UNITS:delay=MS, "
                                "UNITS:split=MS or UNITS:hangup")
                     .arg(spec));
        for (const int n : parseUnits(m.captured(1), units)) {
            Unit &unit = played[std::size_t(n - 1)];
            const QString kind = m.captured(2);
            if (kind == QLatin1String("silent"))
                unit.options.silent = true;
            else if (kind == QLatin1String("hangup"))
                unit.hangUp = unit.options.silent = true;
            else if (kind.startsWith(QLatin1String("delay")))
                unit.options.delayMs = m.captured(3).toInt();
            else
                unit.options.splitMs = m.captured(4).toInt();
        }
    }

    // Ended by a signal, the advertisements are withdrawn through the event
    // loop and the signal then ends the program as it would have.
    int endingSignal = 0;
    SignalPipe signalPipe({SIGINT, SIGTERM, SIGHUP});
    QObject::connect(&signalPipe, &SignalPipe::received, &app, [&endingSignal](int number) {
        endingSignal = number;
        QCoreApplication::exit(128 + number);
    });

    const auto bringUp = [&](Unit &unit) {
        const QString prefix = units > 1 ? QStringLiteral("[%1] ").arg(unit.number) : QString();
        QString path = parser.value(device);
        unit.fd = onDevice ? openDevice(path) : openPseudoTerminal(&path, &unit.slaveKeeper);
        say(prefix + QStringLiteral("Device: %1").arg(path));
        if (!onDevice) {
            const QString label = units > 1 ? QStringLiteral("dongle-emulator-%1").arg(unit.number)
                                            : QStringLiteral("dongle-emulator");
            unit.link = advertise(path, label, prefix);
        }
        unit.dongle = new DongleEmulator(unit.fd, unit.options);
        DongleEmulator *dongle = unit.dongle;
        QObject::connect(dongle, &DongleEmulator::frameDecoded, &app,
                         [&unit, prefix](const QString &words) {
                             say(prefix + QStringLiteral("<- ") + words);
                             if (unit.hangUp) {
                                 // From the event loop: the emulator is inside its own signal.
                                 QMetaObject::invokeMethod(
                                     qApp,
                                     [&unit, prefix] {
                                         if (!unit.dongle)
                                             return;
                                         withdraw(unit);
                                         say(prefix + QStringLiteral("Hung up."));
                                     },
                                     Qt::QueuedConnection);
                             }
                         });
        QObject::connect(dongle, &DongleEmulator::bytesSkipped, &app,
                         [prefix](const QByteArray &bytes) {
                             say(prefix + QStringLiteral("<- skipped %1").arg(spacedHex(bytes)));
                         });
        QObject::connect(dongle, &DongleEmulator::replied, &app, [prefix](const QByteArray &bytes) {
            say(prefix + QStringLiteral("-> ") + spacedHex(bytes));
        });
        QObject::connect(dongle, &DongleEmulator::lineClosed, &app, [prefix, units] {
            say(prefix + QStringLiteral("Line closed."));
            if (units == 1)
                QCoreApplication::exit(1);
        });
        if (!greeting.isEmpty()) {
            dongle->send(greeting);
            say(prefix + QStringLiteral("-> ") + spacedHex(greeting));
        }
    };
    for (Unit &unit : played) {
        const int dueMs = (unit.number - 1) * everyMs;
        if (dueMs == 0)
            bringUp(unit);
        else
            QTimer::singleShot(dueMs, &app, [&bringUp, &unit] { bringUp(unit); });
    }

    const int status = QCoreApplication::exec();
    for (Unit &unit : played)
        withdraw(unit);
    if (endingSignal != 0) {
        ::signal(endingSignal, SIG_DFL);
        ::raise(endingSignal);
    }
    return status;
}
