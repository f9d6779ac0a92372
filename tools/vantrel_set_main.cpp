// vantrel-set: sets the radio dongle from the command line, for scripts and
// production lines. Same frames and the same wait for 55 AA as the window.

#include "tools/DeviceWatcher.h"
#include "tools/ProductionRun.h"
#include "tools/SetArguments.h"
#include "tools/SettingProfile.h"
#include "tools/SettingSender.h"
#include "tools/SignalPipe.h"
#include "tools/Station.h"

#include <Version.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>

#include <cstdio>

namespace {

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// The catalog's entries for devices named on the command line, for the
// report's by-id name and serial number; just the path where it has none.
// Reading the catalog walks every tty in sysfs: only for a report.
QList<PortEntry> describedDevices(const QStringList &devices, bool forReport)
{
    QHash<QString, PortEntry> known;
    for (const PortEntry &entry : forReport ? SystemPortCatalog().devices() : QList<PortEntry>())
        known.insert(QFileInfo(entry.location).canonicalFilePath(), entry);
    QList<PortEntry> described;
    for (const QString &device : devices) {
        PortEntry entry = known.value(QFileInfo(device).canonicalFilePath(), {device, QString()});
        entry.location = device;
        described.append(entry);
    }
    return described;
}

int sendToOne(const SetArguments::Plan &plan)
{
    SettingSender sender(plan, plan.devices.constFirst(), {});
    QObject::connect(&sender, &SettingSender::finished, qApp,
                     [](int exitCode) { QCoreApplication::exit(exitCode); });
    sender.start();
    return QCoreApplication::exec();
}

// Every device at once; ends with the worst status when the last one ended.
// A signal lets the units under way end, so each still gets its record.
int sendToMany(const SetArguments::Plan &plan)
{
    ProductionRun run(plan);
    SignalPipe signalPipe;
    QObject::connect(&signalPipe, &SignalPipe::received, qApp, [&run] {
        std::fprintf(stderr, "vantrel-set: stopping once the %d unit(s) under way ended.\n",
                     run.running());
    });
    QObject::connect(&run, &ProductionRun::unitEnded, qApp, [&run] {
        if (run.running() == 0)
            QCoreApplication::exit(run.exitCode());
    });
    QObject::connect(&run, &ProductionRun::reportFailed, qApp,
                     [] { QCoreApplication::exit(SetArguments::kPortError); });
    for (const PortEntry &device : describedDevices(plan.devices, !plan.reportPath.isEmpty()))
        run.configure(device);
    return QCoreApplication::exec();
}

int watch(const SetArguments::Plan &plan)
{
#ifdef Q_OS_WIN
    // Windows tells of new COM ports neither through udev nor through an
    // emulator's folder: the station would wait for nothing.
    Q_UNUSED(plan);
    print(stderr, QStringLiteral("vantrel-set: --watch is not available on Windows; name the "
                                 "COM ports to configure instead.\n"));
    return SetArguments::kUsageError;
#endif
    Station station(plan);
    SignalPipe signalPipe;
    QObject::connect(&signalPipe, &SignalPipe::received, &station, &Station::stop);
    QObject::connect(&station, &Station::finished, qApp,
                     [](int exitCode) { QCoreApplication::exit(exitCode); });
    station.start();
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantrel-set"));
    QCoreApplication::setApplicationVersion(QLatin1String(kVantrelVersion));

    const SetArguments::Parsed parsed = SetArguments::parse(QCoreApplication::arguments());
    if (!parsed.plan) {
        print(stderr,
              QStringLiteral("vantrel-set: %1\nTry 'vantrel-set --help'.\n").arg(parsed.error));
        return SetArguments::kUsageError;
    }
    const SetArguments::Plan &plan = *parsed.plan;
    switch (plan.action) {
    case SetArguments::Plan::Action::Help:
        print(stdout, SetArguments::helpText());
        return 0;
    case SetArguments::Plan::Action::Version:
        print(stdout,
              QStringLiteral("vantrel-set %1\n").arg(QCoreApplication::applicationVersion()));
        return 0;
    case SetArguments::Plan::Action::DryRun:
        for (const SetArguments::PageFrame &frame : plan.frames)
            print(stdout, SetArguments::frameHex(frame.frame) + QLatin1Char('\n'));
        return 0;
    case SetArguments::Plan::Action::SaveProfile: {
        QString error;
        if (!SettingProfile::write(plan.saveProfilePath, plan.settingsText, &error)) {
            print(stderr, QStringLiteral("vantrel-set: %1\n").arg(error));
            return SetArguments::kPortError;
        }
        return 0;
    }
    case SetArguments::Plan::Action::Watch:
        return watch(plan);
    case SetArguments::Plan::Action::Send:
        break;
    }
    // One device without a report: a line per frame, as always.
    if (plan.devices.size() == 1 && plan.reportPath.isEmpty())
        return sendToOne(plan);
    return sendToMany(plan);
}
