#include "tools/SetArguments.h"

#include "protocol/ByteText.h"
#include "tools/DeviceArguments.h"
#include "tools/SetOptions.h"

// vantrel-set --help, laid out from the option tables.
namespace SetArguments {
namespace {

using SettingCodec::ListTable;

QString shownValue(const ListTable &table, std::uint16_t value)
{
    for (const SettingCodec::ListItem &item : table.items) {
        if (item.value == value)
            return toQString(item.text).trimmed();
    }
    return QString::number(value);
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

void describeRunOption(HelpWriter &help, const RunOption &option)
{
    QString left = QStringLiteral("--") + QLatin1String(option.name);
    if (option.shortName)
        left = QStringLiteral("-%1, %2").arg(QLatin1String(option.shortName), left);
    if (option.valueName)
        left += QLatin1Char(' ') + QLatin1String(option.valueName);
    QStringList tokens = words(option.help);
    if (option.shownDefault >= 0)
        tokens << QStringLiteral("[%1].").arg(option.shownDefault);
    help.entry(left, tokens);
}

void describeUsage(HelpWriter &help)
{
    help.heading(
        QStringLiteral("Usage: vantrel-set DEVICE... SETTING... [--wait-ms N] [--verbose]"));
    help.heading(QStringLiteral("       vantrel-set --dry-run SETTING..."));
    help.heading(QStringLiteral("       vantrel-set --save-profile FILE SETTING..."));
    help.heading(
        QStringLiteral("       vantrel-set --watch --match PATTERN... [--report FILE] SETTING..."));
    help.heading(
        QStringLiteral("       vantrel-set --watch --match-any [--report FILE] SETTING..."));
    help.blank();
    help.paragraph(
        QStringLiteral("Sets the radio dongle on the serial DEVICE (e.g. %1), as the Setting "
                       "buttons of the Vantrel window do: the settings of one page go to the "
                       "dongle as one 12-byte frame at 9600 8N1, and the dongle answers each "
                       "frame with 55 AA.")
            .arg(deviceAbout()));
}

// The settings page by page, each list in the order the window fills them.
void describeSettings(HelpWriter &help)
{
    const std::pair<Page, const char *> sections[] = {
        {Page::General, "General page (one frame). A setting not given is sent as shown in [ ], "
                        "the value the window sends while nothing is picked in that list:"},
        {Page::Advanced, "Advanced page (one frame):"},
        {Page::Advanced2, "Advanced 2 page (one frame):"},
    };
    for (const auto &[page, heading] : sections) {
        help.blank();
        help.paragraph(QLatin1String(heading));
        for (const ListTable *table : SettingCodec::allLists()) {
            for (const ListOption &option : listOptions()) {
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
}

void describeRuns(HelpWriter &help)
{
    help.blank();
    help.heading(QStringLiteral("Options:"));
    for (const RunOption &option : runOptions())
        describeRunOption(help, option);
    help.blank();
    help.paragraph(QStringLiteral(
        "Settings of several pages in one call are sent one frame per page in the window's page "
        "order (General, Advanced, Advanced 2), each once the one before was acknowledged; the "
        "first failure stops the rest. Nothing is sent if any value is refused."));
    help.blank();
    help.paragraph(QStringLiteral(
        "The dongle's 55 AA does not say which frame it answers, so it counts only when it "
        "cannot be an earlier frame's: only bytes that come after a frame answer it, and each "
        "frame goes out once the line has been quiet for --quiet-ms (a line not quiet within "
        "--quiet-limit-ms gets no frame: noisy-line). A frame left unanswered is noted for its "
        "device, and the next exchange with that device, by this program or another, first "
        "waits until --late-ms after that frame. What comes meanwhile "
        "answers nothing; the report keeps it. A device is held by one program, whatever path "
        "names it: one that another program holds (locked or exclusive) is busy."));
    help.blank();
    help.paragraph(QStringLiteral(
        "Several devices are set at the same time, each with its own wait, and each ends with "
        "one line \"UNIT: Setting OK !!\", \"UNIT: Setting Fail !!\", \"UNIT: Port error !!\", "
        "\"UNIT: Busy !!\" (another program holds it) or \"UNIT: Not configured !!\"; UNIT is "
        "the device, after the unit's serial number when it has one. The exit status is the "
        "worst of them. A device named twice is refused. A station ends with a summary."));
}

void describeExitStatuses(HelpWriter &help)
{
    constexpr qsizetype kStatusColumn = 6;
    help.blank();
    help.heading(QStringLiteral("Exit status:"));
    const std::pair<const char *, const char *> statuses[] = {
        {"0", "Every frame acknowledged: \"Setting OK !!\" on stdout for each (a station: "
              "every unit that came)."},
        {"1", "No acknowledgement within the wait, or a line that never went quiet: \"Setting "
              "Fail !!\" on stdout, the reason on stderr. A station: also a unit busy or not "
              "configured when it was stopped."},
        {"2", "Usage error or a value out of range; nothing was sent."},
        {"3", "Port error: the device could not be opened (also when busy, for a device named "
              "on the command line) or written, or it was lost."},
        {"4", "The report could not be written. At start nothing is sent; later no unit more "
              "is, and the units under way end and are listed as \"configured, not "
              "recorded\". Also: --save-profile could not write the profile."},
    };
    for (const auto &[status, meaning] : statuses)
        help.entry(QLatin1String(status), words(meaning), kStatusColumn);
}

} // namespace

QString helpText()
{
    HelpWriter help;
    describeUsage(help);
    describeSettings(help);
    describeRuns(help);
    describeExitStatuses(help);
    return help.text();
}

} // namespace SetArguments
