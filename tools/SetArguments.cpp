#include "tools/SetArguments.h"

#include "tools/SettingProfile.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <array>

namespace SetArguments {
namespace {

using SettingCodec::ListTable;

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
// What an ID box holds until the operator types into it.
constexpr const char *kInitialIdText = "000";

QString textOf(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

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
    const QString shown = textOf(itemText).trimmed();
    QStringList out{spelled(shown)};
    const QStringList words = shown.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() == 2 && number.match(words[0]).hasMatch() && unit.match(words[1]).hasMatch()) {
        out << words[0] << words[0] + words[1].toLower();
    }
    return out;
}

QString shownValue(const ListTable &table, std::uint16_t value)
{
    for (const SettingCodec::ListItem &item : table.items) {
        if (item.value == value)
            return textOf(item.text).trimmed();
    }
    return QString::number(value);
}

QString refusedIdText(const QString &where, const QString &value, const QString &id)
{
    return QStringLiteral("%1 %2: the ID \"%3\" is refused.\n%4")
        .arg(where, value, id, textOf(SettingCodec::kOverRangeText));
}

// Three IDs as the window's boxes would hold them, checked by the window's rule.
bool parseIds(const QString &where, const QString &value, std::array<QByteArray, 3> &ids,
              QString *error)
{
    const QStringList parts = value.split(QLatin1Char(','));
    if (parts.size() != 3) {
        *error = QStringLiteral("%1 takes three IDs separated by commas, e.g. 1,2,3; "
                                "got \"%2\".")
                     .arg(where, value);
        return false;
    }
    for (qsizetype i = 0; i < 3; ++i) {
        const QByteArray text = parts[i].toUtf8();
        if (!SettingCodec::idByte(std::string_view(text.constData(), std::size_t(text.size())))) {
            *error = refusedIdText(where, value, parts[i]);
            return false;
        }
        ids[std::size_t(i)] = text;
    }
    return true;
}

// One setting as given: on the command line or on a line of the profile.
struct Given
{
    QString value;
    QString where; // "--channel" or "FILE:LINE: channel", for messages
};

QStringList settingNames()
{
    QStringList names;
    for (const ListOption &option : kListOptions)
        names << QLatin1String(option.name);
    for (const char *name : kIdOptions)
        names << QLatin1String(name);
    return names;
}

// Canonical path for telling whether two names mean one device; a path that
// does not exist (yet) compares as written.
QString deviceIdentity(const QString &device)
{
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(device).absoluteFilePath()) : canonical;
}

std::string_view viewOf(const QByteArray &bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

// Lays out "  --option ARG" and its description in two columns, wrapping
// between words; a value like "17 dBm" stays on one line.
class HelpWriter
{
public:
    void heading(const QString &line) { m_text += line + QLatin1Char('\n'); }
    void blank() { m_text += QLatin1Char('\n'); }

    void paragraph(const QString &text)
    {
        wrap(QString(), text.split(QLatin1Char(' '), Qt::SkipEmptyParts), 0);
    }

    void entry(const QString &left, const QStringList &tokens, qsizetype column = kColumn)
    {
        QString first = QStringLiteral("  ") + left;
        if (first.size() + 1 > column) {
            m_text += first + QLatin1Char('\n');
            first.clear();
        }
        wrap(first.leftJustified(column), tokens, column);
    }

    [[nodiscard]] QString text() const { return m_text; }

private:
    static constexpr qsizetype kColumn = 26;
    static constexpr qsizetype kWidth = 79;

    void wrap(const QString &start, const QStringList &tokens, qsizetype indent)
    {
        QString line = start;
        bool lineEmpty = true;
        for (const QString &token : tokens) {
            if (!lineEmpty && line.size() + 1 + token.size() > kWidth) {
                m_text += line + QLatin1Char('\n');
                line = QString(indent, QLatin1Char(' '));
                lineEmpty = true;
            }
            if (!lineEmpty)
                line += QLatin1Char(' ');
            line += token;
            lineEmpty = false;
        }
        m_text += line + QLatin1Char('\n');
    }

    QString m_text;
};

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

void describeList(HelpWriter &help, const ListOption &option)
{
    const ListTable &table = *option.table;
    QStringList tokens = words(option.about);
    const QStringList items = itemTexts(table);
    for (qsizetype i = 0; i < items.size(); ++i)
        tokens << items[i] + (i + 1 < items.size() ? QStringLiteral(",") : QString());
    tokens << QStringLiteral("[%1]").arg(shownValue(table, table.unpickedValue));
    help.entry(QStringLiteral("--%1 VALUE").arg(QLatin1String(option.name)), tokens);
}

} // namespace

std::span<const ListOption> listOptions()
{
    return kListOptions;
}

std::optional<int> matchItem(const ListTable &table, const QString &value)
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

QStringList itemTexts(const ListTable &table)
{
    QStringList texts;
    for (const SettingCodec::ListItem &item : table.items)
        texts << textOf(item.text).trimmed();
    return texts;
}

QString pageName(Page page)
{
    switch (page) {
    case Page::General:
        return QStringLiteral("General");
    case Page::Advanced:
        return QStringLiteral("Advanced");
    case Page::Advanced2:
        return QStringLiteral("Advanced 2");
    }
    return {};
}

QString frameHex(const SettingCodec::ConfigFrame &frame)
{
    const QByteArray bytes(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

int worse(int a, int b)
{
    const auto rank = [](int code) {
        return code == kPortError ? 3 : code == kNoAcknowledgement ? 2 : code == 0 ? 0 : 1;
    };
    return rank(a) >= rank(b) ? a : b;
}

Parsed parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    for (const QString &name : settingNames())
        parser.addOption({name, QString(), QStringLiteral("value")});
    const QCommandLineOption dryRun(QStringLiteral("dry-run"));
    const QCommandLineOption waitMs(QStringLiteral("wait-ms"), QString(), QStringLiteral("N"));
    const QCommandLineOption verbose(QStringLiteral("verbose"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption profile(QStringLiteral("profile"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption saveProfile(QStringLiteral("save-profile"), QString(),
                                         QStringLiteral("FILE"));
    const QCommandLineOption report(QStringLiteral("report"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption watch(QStringLiteral("watch"));
    const QCommandLineOption includePresent(QStringLiteral("include-present"));
    const QCommandLineOption match(QStringLiteral("match"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption settleMs(QStringLiteral("settle-ms"), QString(), QStringLiteral("N"));
    parser.addOptions({dryRun, waitMs, verbose, help, version, profile, saveProfile, report, watch,
                       includePresent, match, settleMs});

    const auto refuse = [](const QString &why) { return Parsed{std::nullopt, why}; };
    if (!parser.parse(arguments))
        return refuse(parser.errorText());

    Plan plan;
    if (parser.isSet(help)) {
        plan.action = Plan::Action::Help;
        return {plan, {}};
    }
    if (parser.isSet(version)) {
        plan.action = Plan::Action::Version;
        return {plan, {}};
    }

    const QStringList given = parser.optionNames();
    for (const QString &name : given) {
        if (given.count(name) > 1)
            return refuse(QStringLiteral("--%1 is given more than once.").arg(name));
    }

    // The profile first; an option on the command line overrides its line.
    QHash<QString, Given> settings;
    if (parser.isSet(profile)) {
        plan.profilePath = parser.value(profile);
        const SettingProfile::Read read = SettingProfile::read(plan.profilePath, settingNames());
        if (!read.entries)
            return refuse(read.error);
        for (const SettingProfile::Entry &entry : *read.entries) {
            settings.insert(entry.name, {entry.value, QStringLiteral("%1:%2: %3")
                                                          .arg(plan.profilePath)
                                                          .arg(entry.line)
                                                          .arg(entry.name)});
        }
    }
    for (const QString &name : settingNames()) {
        if (parser.isSet(name))
            settings.insert(name, {parser.value(name), QStringLiteral("--") + name});
    }

    Choices choices;
    bool pages[3] = {};
    QList<std::pair<QString, QString>> resolved;
    for (const ListOption &option : kListOptions) {
        const QString name = QLatin1String(option.name);
        if (!settings.contains(name))
            continue;
        const Given setting = settings.value(name);
        const std::optional<int> item = matchItem(*option.table, setting.value);
        if (!item) {
            return refuse(QStringLiteral("%1 \"%2\" is not one of the allowed values: %3.")
                              .arg(setting.where, setting.value,
                                   itemTexts(*option.table).join(QStringLiteral(", "))));
        }
        choices.*option.choice = *item;
        pages[int(option.page)] = true;
        resolved.append({name, itemTexts(*option.table).at(*item)});
    }

    std::array<std::array<QByteArray, 3>, 2> ids;
    for (std::size_t i = 0; i < 2; ++i) {
        ids[i].fill(kInitialIdText);
        const QString name = QLatin1String(kIdOptions[i]);
        if (!settings.contains(name))
            continue;
        const Given setting = settings.value(name);
        QString error;
        if (!parseIds(setting.where, setting.value, ids[i], &error))
            return refuse(error);
        pages[int(Page::Advanced)] = true;
        // As sent: "001" and "1.2" are both 1.
        QStringList bytes;
        for (const QByteArray &id : ids[i])
            bytes << QString::number(*SettingCodec::idByte(viewOf(id)));
        resolved.append({name, bytes.join(QLatin1Char(','))});
    }

    if (!pages[0] && !pages[1] && !pages[2])
        return refuse(QStringLiteral("No setting given: name at least one, e.g. --channel 15."));
    plan.settingsText = SettingProfile::text(resolved);

    const auto milliseconds = [&parser](const QCommandLineOption &option, int *out, int least) {
        if (!parser.isSet(option))
            return true;
        bool ok = false;
        *out = parser.value(option).toInt(&ok);
        return ok && *out >= least;
    };
    if (!milliseconds(waitMs, &plan.waitMs, 1)) {
        return refuse(QStringLiteral("--wait-ms \"%1\" is not a number of milliseconds.")
                          .arg(parser.value(waitMs)));
    }
    if (!milliseconds(settleMs, &plan.settleMs, 0)) {
        return refuse(QStringLiteral("--settle-ms \"%1\" is not a number of milliseconds.")
                          .arg(parser.value(settleMs)));
    }
    plan.verbose = parser.isSet(verbose);
    plan.reportPath = parser.value(report);
    plan.includePresent = parser.isSet(includePresent);
    plan.match = parser.value(match);

    const QStringList positional = parser.positionalArguments();
    plan.action = parser.isSet(dryRun)        ? Plan::Action::DryRun
                  : parser.isSet(saveProfile) ? Plan::Action::SaveProfile
                  : parser.isSet(watch)       ? Plan::Action::Watch
                                              : Plan::Action::Send;
    plan.saveProfilePath = parser.value(saveProfile);
    if (plan.action != Plan::Action::Watch) {
        for (const QCommandLineOption *option : {&includePresent, &match, &settleMs}) {
            if (parser.isSet(*option)) {
                return refuse(
                    QStringLiteral("--%1 belongs to --watch.").arg(option->names().constFirst()));
            }
        }
    }
    if (plan.action == Plan::Action::Watch && !positional.isEmpty()) {
        return refuse(QStringLiteral("--watch configures the devices that appear; leave \"%1\" "
                                     "out, or use --include-present for those already there.")
                          .arg(positional.constFirst()));
    }
    if (positional.isEmpty() && plan.action == Plan::Action::Send)
#ifdef Q_OS_WIN
        return refuse(QStringLiteral("No device given, e.g. COM3."));
#else
        return refuse(QStringLiteral("No device given, e.g. /dev/ttyUSB0."));
#endif
    QHash<QString, QString> seen;
    for (QString device : positional) {
#ifndef Q_OS_WIN
        // As QSerialPort reads a bare port name. (On Windows it is COMn.)
        if (!device.contains(QLatin1Char('/')))
            device.prepend(QStringLiteral("/dev/"));
#endif
        const QString identity = deviceIdentity(device);
        if (seen.contains(identity)) {
            return refuse(QStringLiteral("\"%1\" and \"%2\" are the same device; name each "
                                         "device once.")
                              .arg(seen.value(identity), device));
        }
        seen.insert(identity, device);
        plan.devices.append(device);
    }

    if (pages[int(Page::General)]) {
        plan.frames.append({Page::General, SettingCodec::BuildGeneralFrame(choices)});
    }
    if (pages[int(Page::Advanced)]) {
        const auto &[master, slave] = ids;
        const std::optional<SettingCodec::ConfigFrame> frame = SettingCodec::BuildPairFrame(
            choices.pairMode, {viewOf(master[0]), viewOf(master[1]), viewOf(master[2])},
            {viewOf(slave[0]), viewOf(slave[1]), viewOf(slave[2])});
        // Each ID passed the same check above.
        if (!frame)
            return refuse(textOf(SettingCodec::kOverRangeText));
        plan.frames.append({Page::Advanced, *frame});
    }
    if (pages[int(Page::Advanced2)]) {
        plan.frames.append(
            {Page::Advanced2, SettingCodec::BuildReceiveTimeoutFrame(choices.receiveTimeout)});
    }
    return {plan, {}};
}

QString helpText()
{
    constexpr qsizetype kStatusColumn = 6;
    HelpWriter help;
    help.heading(
        QStringLiteral("Usage: vantrel-set DEVICE... SETTING... [--wait-ms N] [--verbose]"));
    help.heading(QStringLiteral("       vantrel-set --dry-run SETTING..."));
    help.heading(QStringLiteral("       vantrel-set --save-profile FILE SETTING..."));
    help.heading(
        QStringLiteral("       vantrel-set --watch [--match TEXT] [--report FILE] SETTING..."));
    help.blank();
#ifdef Q_OS_WIN
    const QString device = QStringLiteral("COM3");
#else
    const QString device =
        QStringLiteral("/dev/ttyUSB0; a bare name such as ttyUSB0 means /dev/ttyUSB0");
#endif
    help.paragraph(
        QStringLiteral("Sets the radio dongle on the serial DEVICE (e.g. %1), as the Setting "
                       "buttons of the Vantrel window do: the settings of one page go to the "
                       "dongle as one 12-byte frame at 9600 8N1, and the dongle answers each "
                       "frame with 55 AA.")
            .arg(device));

    const std::pair<Page, const char *> sections[] = {
        {Page::General, "General page (one frame). A setting not given is sent as shown in [ ], "
                        "the value the window sends while nothing is picked in that list:"},
        {Page::Advanced, "Advanced page (one frame):"},
        {Page::Advanced2, "Advanced 2 page (one frame):"},
    };
    for (const auto &[page, heading] : sections) {
        help.blank();
        help.paragraph(QLatin1String(heading));
        // In the order the window fills its lists.
        for (const ListTable *table : SettingCodec::allLists()) {
            for (const ListOption &option : kListOptions) {
                if (option.table == table && option.page == page)
                    describeList(help, option);
            }
        }
        if (page == Page::Advanced) {
            help.entry(QStringLiteral("--master ID,ID,ID"),
                       words("Master IDs, each a number from 0 to 255; a fraction is rounded, "
                             "a half to the even neighbour [000,000,000]"));
            help.entry(QStringLiteral("--slave ID,ID,ID"),
                       words("Slave IDs, as --master [000,000,000]"));
        }
    }

    help.blank();
    help.paragraph(QStringLiteral(
        "A VALUE is one of those listed, in any case. Write a blank as '-' or quote it "
        "(1-to-multi or \"1 To Multi\"), and leave a unit out or glue it on if you like: 300, "
        "300ms, 300-ms; -8 for -8 dBm."));
    help.blank();
    help.heading(QStringLiteral("Options:"));
    help.entry(QStringLiteral("--dry-run"), words("Print each frame in hex, one line per frame, "
                                                  "and send nothing; no DEVICE is needed."));
    help.entry(QStringLiteral("--wait-ms N"),
               words("Wait N ms for each acknowledgement") +
                   QStringList{QStringLiteral("[%1].").arg(kDefaultWaitMs)});
    help.entry(QStringLiteral("--verbose"),
               words("Print each frame sent and every byte received, in hex, on stderr."));
    help.entry(QStringLiteral("--profile FILE"),
               words("Take the settings from a profile (\"vantrel-set profile 1\" on its first "
                     "line, then one \"name = value\" a line with the option names above, '#' "
                     "for comments); an option given as well overrides its line."));
    help.entry(QStringLiteral("--save-profile FILE"),
               words("Write the settings given (profile and options) as a profile, and send "
                     "nothing."));
    help.entry(
        QStringLiteral("--report FILE"),
        words("Append one record per device to FILE, flushed to disk before its result "
              "line is printed: CSV with a header, or JSON Lines when FILE ends in .jsonl."));
    help.entry(QStringLiteral("--watch"),
               words("Station: configure each serial device that appears, once, until "
                     "interrupted (Ctrl+C), then print a summary."));
    help.entry(QStringLiteral("--include-present"),
               words("With --watch: the devices already there at start too."));
    help.entry(QStringLiteral("--match TEXT"),
               words("With --watch: only devices whose by-id name, USB product or VID:PID "
                     "(e.g. 0403:6001) contains TEXT, in any case."));
    help.entry(QStringLiteral("--settle-ms N"),
               words("With --watch: wait N ms after a device appears before sending") +
                   QStringList{QStringLiteral("[%1].").arg(kDefaultSettleMs)});
    help.entry(QStringLiteral("-h, --help"), words("Print this help."));
    help.entry(QStringLiteral("--version"), words("Print the version."));
    help.blank();
    help.paragraph(QStringLiteral(
        "Settings of several pages in one call are sent one frame per page in the window's page "
        "order (General, Advanced, Advanced 2), each once the one before was acknowledged; the "
        "first failure stops the rest. Nothing is sent if any value is refused."));
    help.blank();
    help.paragraph(QStringLiteral(
        "Several devices are set at the same time, each with its own wait, and each ends with "
        "one line \"DEVICE: Setting OK !!\", \"DEVICE: Setting Fail !!\" or \"DEVICE: Port "
        "error !!\"; the exit status is the worst of them. A device named twice is refused."));
    help.blank();
    help.heading(QStringLiteral("Exit status:"));
    const std::pair<const char *, const char *> statuses[] = {
        {"0", "Every frame acknowledged: \"Setting OK !!\" on stdout for each."},
        {"1", "No acknowledgement within the wait: \"Setting Fail !!\" on stdout, the reason "
              "on stderr."},
        {"2", "Usage error or a value out of range; nothing was sent."},
        {"3", "Port error: the device could not be opened or written, or it was lost; or the "
              "report or profile could not be written."},
    };
    for (const auto &[status, meaning] : statuses)
        help.entry(QLatin1String(status), words(meaning), kStatusColumn);
    return help.text();
}

} // namespace SetArguments
