#include "protocol/SettingCodec.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace SettingCodec {
namespace {

constexpr ListItem kBaudrateItems[] = {
    {" 1200 ", 1},  {" 2400 ", 2},  {" 4800 ", 3},   {" 9600 ", 4},   {" 19200 ", 5},
    {" 38400 ", 6}, {" 57600 ", 7}, {" 115200 ", 8}, {" 250000 ", 9}, {" 256000 ", 10},
};
// The line format byte is a bit field: bits 0-1 data bits, 2-3 parity, 4 stop bits.
constexpr ListItem kParityItems[] = {{" NONE ", 0}, {" ODD ", 4}, {" EVEN ", 8}};
constexpr ListItem kDataBitItems[] = {{" 8 ", 0}, {" 7 ", 1}, {" 6 ", 2}};
constexpr ListItem kStopBitItems[] = {{" 1 ", 0}, {" 2 ", 16}};
constexpr ListItem kTimeOutItems[] = {
    {" 2 ms ", 2},     {" 10 ms ", 10},   {" 100 ms ", 100},
    {" 300 ms ", 300}, {" 600 ms ", 600}, {" 1000 ms ", 1000},
};
constexpr ListItem kDataRateItems[] = {
    {" 250k ", 0}, {" 100k ", 1}, {" 50k ", 2}, {" 10k ", 3}, {" 2k ", 4},
};
constexpr ListItem kChannelItems[] = {
    {" 0 ", 0},   {" 1 ", 1},   {" 2 ", 2},   {" 3 ", 3},   {" 4 ", 4},   {" 5 ", 5},
    {" 6 ", 6},   {" 7 ", 7},   {" 8 ", 8},   {" 9 ", 9},   {" 10 ", 10}, {" 11 ", 11},
    {" 12 ", 12}, {" 13 ", 13}, {" 14 ", 14}, {" 15 ", 15},
};
constexpr ListItem kPowerItems[] = {
    {" 17 dBm ", 0},
    {" 10 dBm ", 1},
    {" 0 dBm ", 2},
    {" -8 dBm ", 3},
};
constexpr ListItem kDataLengthItems[] = {
    {" 13 ", 13}, {" 18 ", 18}, {" 23 ", 23}, {" 28 ", 28}, {" 33 ", 33}, {" 38 ", 38},
    {" 43 ", 43}, {" 48 ", 48}, {" 53 ", 53}, {" 58 ", 58}, {" 63 ", 63},
};
constexpr ListItem kPairModeItems[] = {{" 1 To 1 ", 0}, {" 1 To Multi ", 1}};
constexpr ListItem kReceiveTimeoutItems[] = {
    {" 10 ms ", 10},   {" 30 ms ", 30},   {" 50 ms ", 50},   {" 100 ms ", 100},
    {" 150 ms ", 150}, {" 300 ms ", 300}, {" 600 ms ", 600}, {" 1000 ms ", 1000},
};

constexpr std::uint8_t byteOf(std::uint16_t v)
{
    return static_cast<std::uint8_t>(v);
}

ConfigFrame headedFrame(std::uint8_t command)
{
    ConfigFrame frame{};
    frame[0] = kHeader0;
    frame[1] = kHeader1;
    frame[Layout::kCommand] = command;
    return frame;
}

void putWord(ConfigFrame &frame, std::size_t at, std::uint16_t value)
{
    frame[at] = static_cast<std::uint8_t>(value & 0xFF);
    frame[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint16_t wordAt(const ConfigFrame &frame, std::size_t at)
{
    return static_cast<std::uint16_t>(frame[at] | frame[at + 1] << 8);
}

GeneralFields decodeGeneral(const ConfigFrame &f)
{
    using namespace Layout;
    const std::uint8_t format = f[kFormat];
    GeneralFields fields;
    fields.baudrate = f[kBaudrate];
    fields.dataBit = format & kDataBitMask;
    fields.parityBit = format & kParityMask;
    fields.stopBit = format & kStopBitMask;
    fields.timeOut = wordAt(f, kTimeOut);
    fields.dataRate = f[kDataRate];
    fields.rfChannel = f[kChannel];
    fields.rfPower = f[kPower];
    fields.dataLength = f[kDataLength];
    fields.unknownFormatBits = format & ~(kDataBitMask | kParityMask | kStopBitMask);
    if (f[kFixed] != kGeneralFixedByte8)
        fields.wrongFixedByte = f[kFixed];
    return fields;
}

PairFields decodePair(const ConfigFrame &f)
{
    using namespace Layout;
    PairFields fields;
    fields.pairMode = f[kPairMode];
    for (std::size_t i = 0; i < 3; ++i) {
        fields.masterIds[i] = f[kMasterIds + i];
        fields.slaveIds[i] = f[kSlaveIds + i];
    }
    const std::array<std::uint8_t, 2> separators{f[kSeparators[0]], f[kSeparators[1]]};
    if (separators != std::array{kPairSeparator, kPairSeparator})
        fields.wrongSeparators = separators;
    return fields;
}

ReceiveTimeoutFields decodeReceiveTimeout(const ConfigFrame &f)
{
    ReceiveTimeoutFields fields;
    fields.receiveTimeout = wordAt(f, Layout::kReceiveTimeout);
    for (std::size_t i = Layout::kReceiveTimeoutEnd; i < f.size(); ++i) {
        if (f[i] != 0) {
            fields.firstNonZero = ReceiveTimeoutFields::StrayByte{i, f[i]};
            break;
        }
    }
    return fields;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

const ListTable baudrate{"baudrate", " 9600", kBaudrateItems, 4};
const ListTable ParityBit{"ParityBit", " NONE", kParityItems, 0};
const ListTable DataBit{"DataBit", " 8", kDataBitItems, 0};
const ListTable StopBit{"StopBit", " 1", kStopBitItems, 0};
const ListTable TimeOut{"TimeOut", " 10 ms", kTimeOutItems, 10};
const ListTable DataRate{"DataRate", " 10k", kDataRateItems, 3};
const ListTable RF_Channel{"RF_Channel", " 10", kChannelItems, 10};
const ListTable RF_Power{"RF_Power", " 17 dBm", kPowerItems, 0};
const ListTable DataLength{"DataLength", " 63", kDataLengthItems, 63};
const ListTable PairMode{"PairMode", "1 To 1", kPairModeItems, 0};
// Unpicked, the list shows 300 ms; the frame carries what the operator sees.
const ListTable ReceiveTimeout{"ReceiveTimeout", " 300 ms", kReceiveTimeoutItems, 300};

std::uint16_t ListTable::valueOf(int choice) const
{
    if (choice < 0 || static_cast<std::size_t>(choice) >= items.size())
        return unpickedValue;
    return items[static_cast<std::size_t>(choice)].value;
}

const ListItem *ListTable::itemOf(unsigned value) const
{
    for (const ListItem &item : items) {
        if (item.value == value)
            return &item;
    }
    return nullptr;
}

std::span<const ListTable *const> allLists()
{
    static const ListTable *const lists[] = {
        &baudrate,   &ParityBit, &DataBit,    &StopBit,  &TimeOut,        &DataRate,
        &RF_Channel, &RF_Power,  &DataLength, &PairMode, &ReceiveTimeout,
    };
    return lists;
}

ConfigFrame BuildGeneralFrame(const GeneralChoices &c)
{
    using namespace Layout;
    const unsigned format = (DataBit.valueOf(c.dataBit) & kDataBitMask) |
                            (ParityBit.valueOf(c.parityBit) & kParityMask) |
                            (StopBit.valueOf(c.stopBit) & kStopBitMask);
    ConfigFrame frame = headedFrame(kGeneralCommand);
    frame[kBaudrate] = byteOf(baudrate.valueOf(c.baudrate));
    frame[kFormat] = byteOf(std::uint16_t(format));
    putWord(frame, kTimeOut, TimeOut.valueOf(c.timeOut));
    frame[kDataRate] = byteOf(DataRate.valueOf(c.dataRate));
    frame[kFixed] = kGeneralFixedByte8;
    frame[kChannel] = byteOf(RF_Channel.valueOf(c.rfChannel));
    frame[kPower] = byteOf(RF_Power.valueOf(c.rfPower));
    frame[kDataLength] = byteOf(DataLength.valueOf(c.dataLength));
    return frame;
}

std::optional<double> parseIdValue(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);

    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Only plain decimal notation: from_chars would also take exponents,
    // "inf" and "nan", none of which an operator means by an ID.
    std::size_t digits = 0;
    std::size_t points = 0;
    for (char ch : text) {
        if (ch >= '0' && ch <= '9')
            ++digits;
        else if (ch == '.')
            ++points;
        else
            return std::nullopt;
    }
    if (digits == 0 || points > 1)
        return std::nullopt;

    double value = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (end != text.data() + text.size())
        return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        // Beyond a double either way: huge when the whole part is not zero,
        // else a fraction so small that it still rounds to 0.
        const bool wholeIsZero =
            text.substr(0, text.find('.')).find_first_not_of('0') == std::string_view::npos;
        value = wholeIsZero ? std::numeric_limits<double>::denorm_min() : HUGE_VAL;
    } else if (ec != std::errc{})
        return std::nullopt;
    return negative ? -value : value;
}

std::optional<std::uint8_t> idByte(std::string_view text)
{
    const std::optional<double> value = parseIdValue(text);
    // The range is checked on the number as typed, before rounding: -0.4 and
    // 255.4 are refused although they would round into 0..255.
    if (!value || *value < 0 || *value > 255)
        return std::nullopt;
    // A double cannot tell 255.0000000000000001 from 255; its digits can.
    if (*value == 255) {
        const std::size_t point = text.find('.');
        std::string_view whole = text.substr(0, point);
        whole.remove_prefix(std::min(whole.find_first_of("123456789"), whole.size()));
        if (whole.starts_with("255") && point != std::string_view::npos &&
            text.find_first_of("123456789", point) != std::string_view::npos)
            return std::nullopt;
    }
    // Half to even, independent of the floating-point environment.
    const double down = std::floor(*value);
    const double fraction = *value - down;
    double rounded = down;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(down, 2.0) != 0))
        rounded = down + 1;
    return static_cast<std::uint8_t>(rounded);
}

std::optional<ConfigFrame> BuildPairFrame(int pairModeChoice, const IdTexts &masterTexts,
                                          const IdTexts &slaveTexts)
{
    using namespace Layout;
    ConfigFrame frame = headedFrame(kPairCommand);
    for (std::size_t i = 0; i < 3; ++i) {
        const auto master = idByte(masterTexts[i]);
        const auto slave = idByte(slaveTexts[i]);
        if (!master || !slave)
            return std::nullopt;
        frame[kMasterIds + i] = *master;
        frame[kSlaveIds + i] = *slave;
    }
    frame[kPairMode] = byteOf(PairMode.valueOf(pairModeChoice));
    for (const std::size_t at : kSeparators)
        frame[at] = kPairSeparator;
    return frame;
}

ConfigFrame BuildReceiveTimeoutFrame(int receiveTimeoutChoice)
{
    ConfigFrame frame = headedFrame(kReceiveTimeoutCommand);
    putWord(frame, Layout::kReceiveTimeout, ReceiveTimeout.valueOf(receiveTimeoutChoice));
    return frame;
}

DecodedFrame decodeFrame(const ConfigFrame &frame)
{
    switch (frame[Layout::kCommand]) {
    case kGeneralCommand:
        return decodeGeneral(frame);
    case kPairCommand:
        return decodePair(frame);
    case kReceiveTimeoutCommand:
        return decodeReceiveTimeout(frame);
    default:
        return UnknownCommand{frame[Layout::kCommand]};
    }
}

} // namespace SettingCodec
