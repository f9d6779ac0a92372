#include "tools/SetOptions.h"

#include "protocol/ByteText.h"

#include "tools/DeviceArguments.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace SetArguments {
namespace {

constexpr ListOption kListOptions[] = {
    {"baud", &SettingCodec::baudrate, Page::General, &Choices::baudrate,
     "Serial speed of the dongle:"},
    {"data-bit", &SettingCodec::DataBit, Page::General, &Choices::dataBit, "Data bits:"},
    {"parity", &SettingCodec::ParityBit, Page::General, &Choices::parityBit, "Parity:"},
    {"stop-bit", &SettingCodec::StopBit, Page::General, &Choices::stopBit, "Stop bits:"},
    {"timeout", &SettingCodec::TimeOut, Page::General, &Choices::timeOut,
     "Idle time that ends a serial packet:"},
    {"data-rate", &SettingCodec::DataRate, Page::General, &Choices::dataRate, "Radio data rate:"},
    {"channel", &SettingCodec::RF_Channel, Page::General, &Choices::rfChannel, "Radio channel:"},
    {"power", &SettingCodec::RF_Power, Page::General, &Choices::rfPower, "Radio power:"},
    {"data-length", &SettingCodec::DataLength, Page::General, &Choices::dataLength,
     "Radio packet length:"},
    {"pair", &SettingCodec::PairMode, Page::Advanced, &Choices::pairMode, "Pairing:"},
    {"receive-timeout", &SettingCodec::ReceiveTimeout, Page::Advanced2, &Choices::receiveTimeout,
     "Radio receive delay:"},
};

constexpr const char *kIdOptions[] = {"master", "slave"};

// Not constexpr: what --watch and --match say depends on the system.
const RunOption kRunOptions[] = {
    {"dry-run", nullptr, nullptr,
     "Print each frame in hex, one line per frame, and send nothing; no DEVICE is needed."},
    {"wait-ms", nullptr, "N", "Wait N ms for each acknowledgement", kDefaultWaitMs},
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
    {"match", nullptr, "TEXT", matchAbout()},
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

// One spelling for comparing: trimmed, lower case, blanks as '-'.
QString spelled(const QString &value)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return value.trimmed().toLower().replace(blanks, QStringLiteral("-"));
}

// Every spelling that names an item. A unit is only optional after a number
// ("17 dBm"): "1 To Multi" must be written out.
QStringList spellings(std::string_view itemText)
{
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+$"));
    static const QRegularExpression unit(QStringLiteral("^[A-Za-z]+$"));
    const QString shown = toQString(itemText).trimmed();
    QStringList out{spelled(shown)};
    const QStringList words = shown.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() == 2 && number.match(words[0]).hasMatch() && unit.match(words[1]).hasMatch()) {
        out << words[0] << words[0] + words[1].toLower();
    }
    return out;
}

} // namespace

std::span<const ListOption> listOptions()
{
    return kListOptions;
}

std::span<const char *const> idOptions()
{
    return kIdOptions;
}

QStringList settingNames()
{
    QStringList names;
    for (const ListOption &option : kListOptions)
        names << QLatin1String(option.name);
    for (const char *name : kIdOptions)
        names << QLatin1String(name);
    return names;
}

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

std::optional<int> matchItem(const SettingCodec::ListTable &table, const QString &value)
{
    const QString typed = spelled(value);
    if (typed.isEmpty())
        return std::nullopt;
    for (std::size_t i = 0; i < table.items.size(); ++i) {
        if (spellings(table.items[i].text).contains(typed))
            return int(i);
    }
    return std::nullopt;
}

QStringList itemTexts(const SettingCodec::ListTable &table)
{
    QStringList texts;
    for (const SettingCodec::ListItem &item : table.items)
        texts << toQString(item.text).trimmed();
    return texts;
}

} // namespace SetArguments
