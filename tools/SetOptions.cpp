#include "tools/SetOptions.h"

#include "tools/DeviceArguments.h"

#include <QCommandLineParser>

namespace SetArguments {
namespace {

// Not constexpr: what --watch and --match say depends on the system.
const RunOption kRunOptions[] = {
    {"dry-run", nullptr, nullptr,
     "Print each frame in hex, one line per frame, and send nothing; no DEVICE is needed."},
    {"wait-ms", nullptr, "N", "Wait N ms for each acknowledgement", kDefaultWaitMs},
    {"quiet-ms", nullptr, "N",
     "Send each frame once the line has been quiet for N ms; bytes that come meanwhile are kept "
     "for the report and start the wait again",
     kDefaultQuietMs},
    {"quiet-limit-ms", nullptr, "N",
     "Send no frame to a line that is not quiet within N ms (result noisy-line)",
     kDefaultQuietLimitMs},
    {"late-ms", nullptr, "N",
     "An answer may come up to N ms after its frame: a device whose last frame went unanswered "
     "is sent its next one, by any program, only once that time has passed",
     kDefaultLateMs},
    {"verbose", nullptr, nullptr,
     "Print each frame sent and every byte received, in hex, on stderr."},
    {"profile", nullptr, "FILE",
     "Take the settings from a profile (\"vantrel-set profile 1\" on its first line, then one "
     "\"name = value\" a line with the option names above, '#' for comments); an option given "
     "as well overrides its line."},
    {"save-profile", nullptr, "FILE",
     "Write the settings given (profile and options) as a profile, and send nothing."},
    {"report", nullptr, "FILE",
     "Append records to FILE, each flushed to disk before the program goes on: one for the run "
     "at start (a report that cannot be written stops it before any device), and for each "
     "device one before it is sent anything and one with its result, before its result line. "
     "CSV with a header, or JSON Lines when FILE ends in .jsonl."},
    {"station", nullptr, "NAME", "The station's name in the records [the host name]."},
    {"operator", nullptr, "NAME", "Who runs the station, for the records."},
    {"lot", nullptr, "TEXT", "The work order or lot, for the records."},
    {"watch", nullptr, nullptr, watchAbout()},
    {"include-present", nullptr, nullptr, "With --watch: the devices already there at start too."},
    {"match", nullptr, "PATTERN", matchAbout()},
    {"match-any", nullptr, nullptr,
     "With --watch: every serial device that appears, whatever it is."},
    {"settle-ms", nullptr, "N", "With --watch: wait N ms after a device appears before sending",
     kDefaultSettleMs},
    {"store", nullptr, "CONNINFO",
     "Send every record on to a PostgreSQL database too: a libpq connection string "
     "(\"host=db.line dbname=line user=station\") or a postgresql:// URI, without a password "
     "(it comes from ~/.pgpass, PGPASSFILE, a service file or PGPASSWORD). The report stays the "
     "truth: records are written to it first and sent on from it, in order; a database that is "
     "away never stops the line, and what waits follows later. Without --report they go to a "
     "report in the user's data folder, named at start."},
    {"forward", nullptr, "REPORT",
     "With --store: send the records of REPORT that the store lacks, and end (exit status 0 "
     "when all are there, 5 when some wait)."},
    {"find", nullptr, "KEY=VALUE",
     "With --store: print the store's records where lot=, serial=, run=, station= or since= "
     "holds; more KEY=VALUE arguments may follow, all must hold."},
    {"format", nullptr, "FORMAT", "With --find: csv (the report's CSV) or jsonl [csv]."},
    {"lot-summary", nullptr, "LOT",
     "With --store: the lot's units, yield, units whose latest result is not ok, and its "
     "stations."},
    {"store-setup", nullptr, nullptr,
     "With --store: make the store's tables, or bring them to this version, and end (for the "
     "database's owner; the stations' user then needs INSERT and SELECT only)."},
    {"help", "h", nullptr, "Print this help."},
    {"version", nullptr, nullptr, "Print the version."},
};

} // namespace

std::span<const RunOption> runOptions()
{
    return kRunOptions;
}

void addOptions(QCommandLineParser &parser)
{
    for (const QString &name : settingNames())
        parser.addOption({name, QString(), QStringLiteral("value")});
    for (const RunOption &option : kRunOptions) {
        QStringList names{QLatin1String(option.name)};
        if (option.shortName)
            names.prepend(QLatin1String(option.shortName));
        parser.addOption(option.valueName
                             ? QCommandLineOption(names, QString(), QLatin1String(option.valueName))
                             : QCommandLineOption(names));
    }
}

} // namespace SetArguments
