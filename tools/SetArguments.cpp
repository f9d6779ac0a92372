#include "tools/SetArguments.h"

#include "station/ReportName.h"
#include "station/SettingResolver.h"
#include "store/PgConnection.h"
#include "store/RecordStore.h"
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

bool isStoreAction(Action action)
{
    return action == Action::Forward || action == Action::Find || action == Action::LotSummary ||
           action == Action::StoreSetup;
}

// --find's first condition and the arguments after it.
QString readConditions(const QStringList &given, Plan &plan)
{
    for (const QString &condition : given) {
        const qsizetype equals = condition.indexOf(QLatin1Char('='));
        const QString key = condition.left(equals);
        const QString value = equals < 0 ? QString() : condition.mid(equals + 1);
        if (equals < 0) {
            return QStringLiteral("--find takes KEY=VALUE conditions (lot=WO-1187), not \"%1\".")
                .arg(condition);
        }
        if (const QString why = RecordStore::conditionProblem(key, value); !why.isEmpty())
            return why;
        plan.find.append({key, value});
    }
    return {};
}

// The store's own commands, and --store beside a run.
QString readStoreOptions(const QCommandLineParser &parser, Plan &plan)
{
    plan.store = parser.value(QStringLiteral("store"));
    plan.forwardPath = parser.value(QStringLiteral("forward"));
    plan.summaryLot = parser.value(QStringLiteral("lot-summary"));
    const QString format = parser.value(QStringLiteral("format"));
    plan.findJson = format == QLatin1String("jsonl");
    const QList<std::pair<const char *, Action>> actions{{"forward", Action::Forward},
                                                         {"find", Action::Find},
                                                         {"lot-summary", Action::LotSummary},
                                                         {"store-setup", Action::StoreSetup}};
    for (const auto &[name, action] : actions) {
        if (parser.isSet(QLatin1String(name)))
            plan.action = action;
    }
    if (!format.isEmpty() &&
        (plan.action != Action::Find || (format != QLatin1String("csv") && !plan.findJson)))
        return QStringLiteral("--format is csv or jsonl, for --find.");
    if (isStoreAction(plan.action) && plan.store.isEmpty())
        return QStringLiteral("Name the store with --store CONNINFO.");
    if (!plan.store.isEmpty()) {
        if (const QString why = PgConnection::settingsProblem(plan.store); !why.isEmpty())
            return why;
    }
    if (plan.action == Action::Find) {
        return readConditions(
            QStringList{parser.value(QStringLiteral("find"))} + parser.positionalArguments(), plan);
    }
    if (isStoreAction(plan.action) && !parser.positionalArguments().isEmpty()) {
        return QStringLiteral("\"%1\" does not belong to a store command.")
            .arg(parser.positionalArguments().constFirst());
    }
    if (!plan.store.isEmpty() &&
        (plan.action == Action::DryRun || plan.action == Action::SaveProfile))
        return QStringLiteral("--store sends records of units configured; this run sends none.");
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

    // The store's own commands send no setting.
    for (const char *command : {"forward", "find", "lot-summary", "store-setup"}) {
        if (parser.isSet(QLatin1String(command))) {
            const QString why = readStoreOptions(parser, plan);
            return why.isEmpty() ? Parsed{plan, {}} : refuse(why);
        }
    }
    // The profile first; an option on the command line overrides its line.
    plan.profilePath = parser.value(QStringLiteral("profile"));
    const Resolution settings = resolveSettings(plan.profilePath, settingOptions(parser));
    if (!settings.resolved)
        return refuse(settings.error);
    plan.frames = settings.resolved->frames;
    plan.settingsText = settings.resolved->settingsText;

    if (const QString why = readRunOptions(parser, plan); !why.isEmpty())
        return refuse(why);
    if (const QString why = readStoreOptions(parser, plan); !why.isEmpty())
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
