// vantrel-dongle: stands in for the radio dongle on a pseudo-terminal or a
// serial device, so the tool can be tried and tested without the hardware.

#include "serial/PortCatalog.h"
#include "tools/DongleEmulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

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
int openPseudoTerminal(QString *slavePath)
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
    return master;
}

// The advertisement link, removed however the program ends short of a kill.
char g_link[4096] = {};

void withdrawAndEnd(int signalNumber)
{
    if (g_link[0] != '\0')
        ::unlink(g_link);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

// Puts the pseudo-terminal in the tool's port list, where the system's own
// list never shows pseudo-terminals.
void advertise(const QString &path)
{
    QString error;
    const QString link =
        AdvertisedPorts::advertise(path, QStringLiteral("dongle-emulator"), &error);
    if (link.isEmpty()) {
        say(QStringLiteral("Not in the tool's port list (%1): open the path above by hand.")
                .arg(error));
        return;
    }
    const QByteArray encoded = QFile::encodeName(link);
    if (std::size_t(encoded.size()) >= sizeof g_link) {
        ::unlink(encoded.constData());
        say(QStringLiteral("Not in the tool's port list: the path is too long."));
        return;
    }
    std::memcpy(g_link, encoded.constData(), std::size_t(encoded.size()));
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action = {};
        action.sa_handler = withdrawAndEnd;
        ::sigaction(signalNumber, &action, nullptr);
    }
    say(QStringLiteral("In the tool's port list as \"Dongle emulator\" (%1): press Auto Scan.")
            .arg(link));
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
    parser.addOptions({device, silent, delay, split, send, reply});
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

    const bool onDevice = parser.isSet(device);
    QString path = parser.value(device);
    const int fd = onDevice ? openDevice(path) : openPseudoTerminal(&path);
    say(QStringLiteral("Device: %1").arg(path));
    if (!onDevice)
        advertise(path);

    DongleEmulator dongle(fd, options);
    QObject::connect(&dongle, &DongleEmulator::frameDecoded, &app,
                     [](const QString &words) { say(QStringLiteral("<- ") + words); });
    QObject::connect(&dongle, &DongleEmulator::bytesSkipped, &app, [](const QByteArray &bytes) {
        say(QStringLiteral("<- skipped %1").arg(hexBytes(bytes)));
    });
    QObject::connect(&dongle, &DongleEmulator::replied, &app,
                     [](const QByteArray &bytes) { say(QStringLiteral("-> ") + hexBytes(bytes)); });
    QObject::connect(&dongle, &DongleEmulator::lineClosed, &app, [&app] {
        say(QStringLiteral("Line closed."));
        app.exit(1);
    });
    if (!greeting.isEmpty()) {
        dongle.send(greeting);
        say(QStringLiteral("-> ") + hexBytes(greeting));
    }
    const int status = QCoreApplication::exec();
    if (g_link[0] != '\0')
        ::unlink(g_link);
    ::close(fd);
    return status;
}
