#include "tools/SetArguments.h"

#include "station/ReportName.h"
#include "station/SettingResolver.h"
#include "tools/DeviceArguments.h"

#include <QCommandLineParser>

#include <tuple>

namespace SetArguments {
namespace {

using Action = Plan::Action;
using ProfileSettings::Given;
using ProfileSettings::Resolution;
using ProfileSettings::resolveSettings;

QString optionNamedTwice(const QCommandLineParser &parser)
{
    const QStringList given = parser.optionNames();
    for (const QString &name : given) {
        // One pattern for each socket of a fixture.
        if (given.count(name) > 1 && name != QLatin1String("match"))
            return QStringLiteral("--%1 is given more than once.").arg(name);
    }
    return {};
}

QHash<QString, Given> settingOptions(const QCommandLineParser &parser)
{
    QHash<QString, Given> given;
    for (const QString &name : settingNames()) {
        if (parser.isSet(name))
            given.insert(name, {parser.value(name), QStringLiteral("--") + name});
    }
    return given;
}

// A number of milliseconds of at least least, into *out when given.
bool milliseconds(const QCommandLineParser &parser, const QString &name, int least, int *out)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    *out = parser.value(name).toInt(&ok);
    return ok && *out >= least;
}

QString readRunOptions(const QCommandLineParser &parser, Plan &plan)
{
    for (const auto &[name, least, out] :
         {std::tuple{"wait-ms", 1, &plan.waitMs}, std::tuple{"settle-ms", 0, &plan.settleMs},
          std::tuple{"quiet-ms", 0, &plan.quietMs},
          std::tuple{"quiet-limit-ms", 1, &plan.quietLimitMs},
          std::tuple{"late-ms", 0, &plan.lateMs}}) {
        if (!milliseconds(parser, QLatin1String(name), least, out)) {
            return QStringLiteral("--%1 \"%2\" is not a number of milliseconds.")
                .arg(QLatin1String(name), parser.value(QLatin1String(name)));
        }
    }
    // A limit no longer than the window could never see the line quiet.
    if (plan.quietLimitMs <= plan.quietMs) {
        return QStringLiteral("--quiet-limit-ms (%1) must be longer than --quiet-ms (%2).")
            .arg(plan.quietLimitMs)
            .arg(plan.quietMs);
    }
    plan.verbose = parser.isSet(QStringLiteral("verbose"));
    plan.reportPath = parser.value(QStringLiteral("report"));
    plan.stationName = parser.value(QStringLiteral("station"));
    plan.operatorName = parser.value(QStringLiteral("operator"));
    plan.lot = parser.value(QStringLiteral("lot"));
    plan.includePresent = parser.isSet(QStringLiteral("include-present"));
    plan.matches = parser.values(QStringLiteral("match"));
    plan.matchAny = parser.isSet(QStringLiteral("match-any"));
    plan.saveProfilePath = parser.value(QStringLiteral("save-profile"));
    plan.action = parser.isSet(QStringLiteral("dry-run"))        ? Action::DryRun
                  : parser.isSet(QStringLiteral("save-profile")) ? Action::SaveProfile
                  : parser.isSet(QStringLiteral("watch"))        ? Action::Watch
                                                                 : Action::Send;
    return {};
}

// What the action allows: the station's options with --watch only, devices
// named for sending only, and nothing that would read as sent when nothing
// is.
QString modeMismatch(const QCommandLineParser &parser, const Plan &plan)
{
    const QStringList positional = parser.positionalArguments();
    if (plan.action == Action::SaveProfile &&
        (!positional.isEmpty() || parser.isSet(QStringLiteral("watch")))) {
        return QStringLiteral("--save-profile writes the settings and sends nothing; save the "
                              "profile first, then send it with --profile.");
    }
    if (plan.action != Action::Watch) {
        for (const char *option : {"include-present", "match", "match-any", "settle-ms"}) {
            if (parser.isSet(QLatin1String(option)))
                return QStringLiteral("--%1 belongs to --watch.").arg(QLatin1String(option));
        }
    }
    if (plan.action == Action::Watch) {
        if (!positional.isEmpty()) {
            return QStringLiteral("--watch configures the devices that appear; leave \"%1\" "
                                  "out, or use --include-present for those already there.")
                .arg(positional.constFirst());
        }
        if (plan.matchAny == !plan.matches.isEmpty()) {
            return QStringLiteral("--watch needs to know its units: --match PATTERN (a whole "
                                  "by-id or by-path name, serial number, USB product or VID:PID; "
                                  "* and ? as wildcards), or --match-any for every serial device "
                                  "that appears; not both.");
        }
        // It matches no name: the station would wait for ever.
        if (plan.matches.contains(QString()))
            return QStringLiteral("--match \"\" names no device.");
    }
    if (positional.isEmpty() && plan.action == Action::Send)
        return QStringLiteral("No device given, e.g. %1.").arg(deviceExample());
    return {};
}

// A report that would not be read as the user expects, or would overwrite
// what the run reads.
QString reportMismatch(const Plan &plan)
{
    if (plan.reportPath.isEmpty())
        return {};
    switch (reportNameProblem(plan.reportPath, plan.profilePath)) {
    case ReportNameProblem::None:
        return {};
    case ReportNameProblem::Json:
        return QStringLiteral("--report %1: a report is CSV, or JSON Lines (one record a line) "
                              "named .jsonl; rename it to .jsonl or .csv.")
            .arg(plan.reportPath);
    case ReportNameProblem::IsProfile:
        return QStringLiteral("--report %1 is the profile; name another file.")
            .arg(plan.reportPath);
    }
    return {};
}

} // namespace

Parsed parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    const auto refuse = [](const QString &why) { return Parsed{std::nullopt, why}; };
    if (!parser.parse(arguments))
        return refuse(parser.errorText());

    Plan plan;
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
        plan.action = parser.isSet(QStringLiteral("help")) ? Action::Help : Action::Version;
        return {plan, {}};
    }
    if (const QString twice = optionNamedTwice(parser); !twice.isEmpty())
        return refuse(twice);

    // The profile first; an option on the command line overrides its line.
    plan.profilePath = parser.value(QStringLiteral("profile"));
    const Resolution settings = resolveSettings(plan.profilePath, settingOptions(parser));
    if (!settings.resolved)
        return refuse(settings.error);
    plan.frames = settings.resolved->frames;
    plan.settingsText = settings.resolved->settingsText;

    if (const QString why = readRunOptions(parser, plan); !why.isEmpty())
        return refuse(why);
    if (const QString why = modeMismatch(parser, plan); !why.isEmpty())
        return refuse(why);
    if (const QString why = reportMismatch(plan); !why.isEmpty())
        return refuse(why);
    const Devices devices = devicesOf(parser.positionalArguments());
    if (!devices.devices)
        return refuse(devices.error);
    plan.devices = *devices.devices;
    return {plan, {}};
}

} // namespace SetArguments
