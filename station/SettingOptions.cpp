#include "station/SettingOptions.h"

#include "protocol/ByteText.h"

#include <QRegularExpression>

namespace ProfileSettings {
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

} // namespace ProfileSettings
