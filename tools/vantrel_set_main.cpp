// vantrel-set: sets the radio dongle from the command line, for scripts and
// production lines. Same frames and the same wait for 55 AA as the window.

#include "protocol/ByteText.h"
#include "station/ExitStatus.h"
#include "station/ProductionRun.h"
#include "station/SettingProfile.h"
#include "station/Station.h"
#include "station/StopSource.h"
#include "station/UnitExchange.h"
#include "tools/SetArguments.h"
#include "tools/StoreCommands.h"

#include <Version.h>

#include <QCoreApplication>

namespace {

const Console kConsole;

// Said once; the units go on all the same.
void warnIfDeaf(const StopSource &stopSource)
{
    if (!stopSource.errorString().isEmpty())
        kConsole.complain(stopSource.errorString() +
                          QStringLiteral(": a stop request ends the program at once, without the "
                                         "results of the units under way."));
}

int sendToOne(const SetArguments::Plan &plan)
{
    UnitExchange exchange(plan, plan.devices.constFirst(), kConsole, true);
    QObject::connect(&exchange, &UnitExchange::finished, qApp,
                     [](int exitCode) { QCoreApplication::exit(exitCode); });
    exchange.start();
    return QCoreApplication::exec();
}

// Every device at once; ends with the worst status when the last one ended.
// A stop request lets the units under way end, so each still gets its record.
int sendToMany(const SetArguments::Plan &plan, StoreSession &store)
{
    ProductionRun run(plan, ProductionRun::Kind::Batch, kConsole);
    if (!run.begin())
        return run.exitCode();
    StopSource stopSource;
    warnIfDeaf(stopSource);
    QObject::connect(&stopSource, &StopSource::received, qApp, [&run] {
        kConsole.complain(
            QStringLiteral("stopping once the %1 unit(s) under way ended.").arg(run.running()));
    });
    bool allStarted = false;
    QObject::connect(&run, &ProductionRun::unitEnded, qApp,
                     [&run, &stopSource, &allStarted, &store] {
                         if (!allStarted || run.running() > 0)
                             return;
                         stopSource.release();
                         store.end(run.exitCode());
                     });
    for (const PortEntry &device : describedDevices(plan.devices, !plan.reportPath.isEmpty()))
        run.configure(device);
    allStarted = true;
    // Every unit may have ended already: none could be recorded.
    if (run.running() == 0)
        store.end(run.exitCode());
    return QCoreApplication::exec();
}

int watch(const SetArguments::Plan &plan, StoreSession &store)
{
    DeviceSources sources = systemDeviceSources();
    if (sources.empty()) {
        kConsole.complain(QStringLiteral("--watch is not available on this system; name the "
                                         "devices to configure instead."));
        return ExitStatus::kUsageError;
    }
    Station station(plan, std::move(sources), kConsole);
    StopSource stopSource;
    warnIfDeaf(stopSource);
    QObject::connect(&stopSource, &StopSource::received, &station, &Station::stop);
    QObject::connect(&station, &Station::finished, qApp, [&stopSource, &store](int exitCode) {
        stopSource.release();
        store.end(exitCode);
    });
    station.start();
    return QCoreApplication::exec();
}

int saveProfile(const SetArguments::Plan &plan)
{
    QString error;
    if (!SettingProfile::write(plan.saveProfilePath, plan.settingsText, &error)) {
        kConsole.complain(error);
        return ExitStatus::kProfileError;
    }
    return ExitStatus::kAcknowledged;
}

} // namespace

int main(int argc, char *argv[])
{
    Console::ignoreWriteSignals();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantrel-set"));
    QCoreApplication::setApplicationVersion(QLatin1String(kVantrelVersion));

    const SetArguments::Parsed parsed = SetArguments::parse(QCoreApplication::arguments());
    if (!parsed.plan) {
        kConsole.complain(QStringLiteral("%1\nTry 'vantrel-set --help'.").arg(parsed.error));
        return ExitStatus::kUsageError;
    }
    SetArguments::Plan plan = *parsed.plan;
    using Action = SetArguments::Plan::Action;
    switch (plan.action) {
    case Action::Help:
        std::fputs(SetArguments::helpText().toLocal8Bit().constData(), stdout);
        return ExitStatus::kAcknowledged;
    case Action::Version:
        kConsole.say(QStringLiteral("vantrel-set %1").arg(QCoreApplication::applicationVersion()));
        return ExitStatus::kAcknowledged;
    case Action::DryRun:
        for (const PageFrame &frame : plan.frames)
            kConsole.say(spacedHex(frame.frame));
        return ExitStatus::kAcknowledged;
    case Action::SaveProfile:
        return saveProfile(plan);
    case Action::Forward:
    case Action::Find:
    case Action::LotSummary:
    case Action::StoreSetup:
        return StoreCommands::run(plan, kConsole);
    case Action::Watch:
    case Action::Send:
        break;
    }
    StoreSession store(kConsole);
    if (const std::optional<int> refused = store.begin(plan))
        return *refused;
    if (plan.action == Action::Watch)
        return watch(plan, store);
    // One device without a report: a line per frame, as always.
    if (plan.devices.size() == 1 && plan.reportPath.isEmpty())
        return sendToOne(plan);
    return sendToMany(plan, store);
}
