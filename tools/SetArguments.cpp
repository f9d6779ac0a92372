#include "tools/SetArguments.h"

#include <QCommandLineParser>
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

QString refusedIdText(const QString &option, const QString &value, const QString &id)
{
    return QStringLiteral("--%1 %2: the ID \"%3\" is refused.\n%4")
        .arg(option, value, id, textOf(SettingCodec::kOverRangeText));
}

// Three IDs as the window's boxes would hold them, checked by the window's rule.
bool parseIds(const QString &option, const QString &value, std::array<QByteArray, 3> &ids,
              QString *error)
{
    const QStringList parts = value.split(QLatin1Char(','));
    if (parts.size() != 3) {
        *error = QStringLiteral("--%1 takes three IDs separated by commas, e.g. --%1 1,2,3; "
                                "got \"%2\".")
                     .arg(option, value);
        return false;
    }
    for (qsizetype i = 0; i < 3; ++i) {
        const QByteArray text = parts[i].toUtf8();
        if (!SettingCodec::idByte(std::string_view(text.constData(), std::size_t(text.size())))) {
            *error = refusedIdText(option, value, parts[i]);
            return false;
        }
        ids[std::size_t(i)] = text;
    }
    return true;
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

Parsed parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    for (const ListOption &option : kListOptions)
        parser.addOption({QLatin1String(option.name), QString(), QStringLiteral("value")});
    for (const char *name : kIdOptions)
        parser.addOption({QLatin1String(name), QString(), QStringLiteral("IDs")});
    const QCommandLineOption dryRun(QStringLiteral("dry-run"));
    const QCommandLineOption waitMs(QStringLiteral("wait-ms"), QString(), QStringLiteral("N"));
    const QCommandLineOption verbose(QStringLiteral("verbose"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({dryRun, waitMs, verbose, help, version});

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

    Choices choices;
    bool pages[3] = {};
    for (const ListOption &option : kListOptions) {
        const QString name = QLatin1String(option.name);
        if (!parser.isSet(name))
            continue;
        const QString value = parser.value(name);
        const std::optional<int> item = matchItem(*option.table, value);
        if (!item) {
            return refuse(
                QStringLiteral("--%1 \"%2\" is not one of the allowed values: %3.")
                    .arg(name, value, itemTexts(*option.table).join(QStringLiteral(", "))));
        }
        choices.*option.choice = *item;
        pages[int(option.page)] = true;
    }

    std::array<std::array<QByteArray, 3>, 2> ids;
    for (std::size_t i = 0; i < 2; ++i) {
        ids[i].fill(kInitialIdText);
        const QString name = QLatin1String(kIdOptions[i]);
        if (!parser.isSet(name))
            continue;
        QString error;
        if (!parseIds(name, parser.value(name), ids[i], &error))
            return refuse(error);
        pages[int(Page::Advanced)] = true;
    }

    if (!pages[0] && !pages[1] && !pages[2])
        return refuse(QStringLiteral("No setting given: name at least one, e.g. --channel 15."));

    if (parser.isSet(waitMs)) {
        bool ok = false;
        plan.waitMs = parser.value(waitMs).toInt(&ok);
        if (!ok || plan.waitMs < 1) {
            return refuse(QStringLiteral("--wait-ms \"%1\" is not a number of milliseconds.")
                              .arg(parser.value(waitMs)));
        }
    }
    plan.verbose = parser.isSet(verbose);

    const QStringList positional = parser.positionalArguments();
    plan.action = parser.isSet(dryRun) ? Plan::Action::DryRun : Plan::Action::Send;
    if (positional.size() > 1) {
        return refuse(
            QStringLiteral("One device only; \"%1\" is one too many.").arg(positional.at(1)));
    }
    if (positional.isEmpty() && plan.action == Plan::Action::Send)
        return refuse(QStringLiteral("No device given, e.g. /dev/ttyUSB0."));
    if (!positional.isEmpty()) {
        plan.device = positional.constFirst();
#ifndef Q_OS_WIN
        // As QSerialPort reads a bare port name. (On Windows it is COMn.)
        if (!plan.device.contains(QLatin1Char('/')))
            plan.device.prepend(QStringLiteral("/dev/"));
#endif
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
    help.heading(QStringLiteral("Usage: vantrel-set DEVICE SETTING... [--wait-ms N] [--verbose]"));
    help.heading(QStringLiteral("       vantrel-set --dry-run SETTING..."));
    help.blank();
    help.paragraph(QStringLiteral(
        "Sets the radio dongle on the serial DEVICE (e.g. /dev/ttyUSB0; a bare name such as "
        "ttyUSB0 means /dev/ttyUSB0), as the Setting buttons of the Vantrel window do: the "
        "settings of one page go to the dongle as one 12-byte frame at 9600 8N1, and the dongle "
        "answers each frame with 55 AA."));

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
    help.entry(QStringLiteral("-h, --help"), words("Print this help."));
    help.entry(QStringLiteral("--version"), words("Print the version."));
    help.blank();
    help.paragraph(QStringLiteral(
        "Settings of several pages in one call are sent one frame per page in the window's page "
        "order (General, Advanced, Advanced 2), each once the one before was acknowledged; the "
        "first failure stops the rest. Nothing is sent if any value is refused."));
    help.blank();
    help.heading(QStringLiteral("Exit status:"));
    const std::pair<const char *, const char *> statuses[] = {
        {"0", "Every frame acknowledged: \"Setting OK !!\" on stdout for each."},
        {"1", "No acknowledgement within the wait: \"Setting Fail !!\" on stdout, the reason "
              "on stderr."},
        {"2", "Usage error or a value out of range; nothing was sent."},
        {"3", "Port error: the device could not be opened or written, or it was lost."},
    };
    for (const auto &[status, meaning] : statuses)
        help.entry(QLatin1String(status), words(meaning), kStatusColumn);
    return help.text();
}

} // namespace SetArguments
