// vantrel-dongle: stands in for the radio dongle on a pseudo-terminal or a
// serial device, so the tool can be tried and tested without the hardware.

#include "protocol/ByteText.h"
#include "serial/PortCatalog.h"
#include "serial/PseudoTerminal.h"
#include "station/StopSource.h"
#include "tools/DongleCommandLine.h"
#include "tools/DongleEmulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
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

// A real serial device, set to what the dongle speaks: 9600 8N1, raw.
int openDevice(const QString &path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        fail(QStringLiteral("cannot open %1: %2").arg(path, systemError()));
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        fail(QStringLiteral("cannot read the line settings: %1").arg(systemError()));
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    tio.c_cflag &= ~tcflag_t(CSTOPB | PARENB | CRTSCTS | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        fail(QStringLiteral("cannot set the line settings: %1").arg(systemError()));
    return fd;
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

// One played dongle: its line (a pseudo-terminal, or the device) and its
// advertisement.
struct Unit
{
    int number = 0;
    PlannedDongle plan;
    bool several = false; // one of several: its lines are numbered
    PseudoTerminal pty;
    int deviceFd = -1;
    QString link;
    DongleEmulator *dongle = nullptr;

    [[nodiscard]] QString prefix() const
    {
        return several ? QStringLiteral("[%1] ").arg(number) : QString();
    }
};

void withdraw(Unit &unit)
{
    delete unit.dongle;
    unit.dongle = nullptr;
    if (!unit.link.isEmpty())
        ::unlink(QFile::encodeName(unit.link).constData());
    unit.link.clear();
    unit.pty.close();
    if (unit.deviceFd >= 0)
        ::close(unit.deviceFd);
    unit.deviceFd = -1;
}

// Prints what the dongle hears and says; a dongle planned to hang up goes
// away after its first frame.
void report(Unit &unit)
{
    const QString prefix = unit.prefix();
    DongleEmulator *dongle = unit.dongle;
    QObject::connect(dongle, &DongleEmulator::frameDecoded, qApp, [&unit](const QString &words) {
        say(unit.prefix() + QStringLiteral("<- ") + words);
        if (!unit.plan.hangUp)
            return;
        // From the event loop: the emulator is inside its own signal.
        QMetaObject::invokeMethod(
            qApp,
            [&unit] {
                if (!unit.dongle)
                    return;
                withdraw(unit);
                say(unit.prefix() + QStringLiteral("Hung up."));
            },
            Qt::QueuedConnection);
    });
    QObject::connect(dongle, &DongleEmulator::bytesSkipped, qApp,
                     [prefix](const QByteArray &bytes) {
                         say(prefix + QStringLiteral("<- skipped %1").arg(spacedHex(bytes)));
                     });
    QObject::connect(dongle, &DongleEmulator::replied, qApp, [prefix](const QByteArray &bytes) {
        say(prefix + QStringLiteral("-> ") + spacedHex(bytes));
    });
    QObject::connect(dongle, &DongleEmulator::lineClosed, qApp, [prefix, several = unit.several] {
        say(prefix + QStringLiteral("Line closed."));
        if (!several)
            QCoreApplication::exit(1);
    });
}

void bringUp(Unit &unit, const DonglePlan &plan)
{
    const QString prefix = unit.prefix();
    QString path;
    int fd = -1;
    if (plan.device) {
        path = *plan.device;
        fd = unit.deviceFd = openDevice(path);
    } else {
        QString error;
        unit.pty = PseudoTerminal::open(&error);
        if (!unit.pty.isOpen())
            fail(error);
        path = unit.pty.slavePath();
        fd = unit.pty.masterFd();
    }
    say(prefix + QStringLiteral("Device: %1").arg(path));
    if (!plan.device) {
        const QString label = unit.several ? QStringLiteral("dongle-emulator-%1").arg(unit.number)
                                           : QStringLiteral("dongle-emulator");
        unit.link = advertise(path, label, prefix);
    }
    unit.dongle = new DongleEmulator(fd, unit.plan.options);
    report(unit);
    if (!plan.greeting.isEmpty()) {
        unit.dongle->send(plan.greeting);
        say(prefix + QStringLiteral("-> ") + spacedHex(plan.greeting));
    }
}

int play(const DonglePlan &plan)
{
    // Ended by a signal, the advertisements are withdrawn through the event
    // loop and the signal then ends the program as it would have.
    int endingSignal = 0;
    StopSource stopSource({SIGINT, SIGTERM, SIGHUP});
    if (!stopSource.errorString().isEmpty()) {
        std::fprintf(stderr, "vantrel-dongle: %s: a stop leaves the emulator's link behind.\n",
                     stopSource.errorString().toLocal8Bit().constData());
    }
    QObject::connect(&stopSource, &StopSource::received, qApp, [&endingSignal](int number) {
        endingSignal = number;
        QCoreApplication::exit(128 + number);
    });

    std::vector<Unit> units(std::size_t(plan.dongles.size()));
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i].number = int(i) + 1;
        units[i].plan = plan.dongles.at(qsizetype(i));
        units[i].several = units.size() > 1;
    }
    for (Unit &unit : units) {
        const int dueMs = (unit.number - 1) * plan.everyMs;
        if (dueMs == 0)
            bringUp(unit, plan);
        else
            QTimer::singleShot(dueMs, qApp, [&unit, &plan] { bringUp(unit, plan); });
    }

    const int status = QCoreApplication::exec();
    for (Unit &unit : units)
        withdraw(unit);
    if (endingSignal != 0) {
        ::signal(endingSignal, SIG_DFL);
        ::raise(endingSignal);
    }
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantrel-dongle"));

    QCommandLineParser parser;
    addDongleOptions(parser);
    parser.process(app);
    QString error;
    const std::optional<DonglePlan> plan = donglePlan(parser, &error);
    if (!plan)
        fail(error);
    return play(*plan);
}
