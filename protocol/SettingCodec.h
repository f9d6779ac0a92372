#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <variant>

// Builds the 12-byte command frames that carry the dongle's settings.
// Pure functions: choices in, bytes out. A list choice is the picked item's
// 0-based index, or -1 while the operator has picked nothing.
namespace SettingCodec {

using ConfigFrame = std::array<std::uint8_t, 12>;

inline constexpr std::uint8_t kHeader0 = 0x98;
inline constexpr std::uint8_t kHeader1 = 0x95;
inline constexpr std::uint8_t kGeneralCommand = 0x93;
inline constexpr std::uint8_t kPairCommand = 0x94;
inline constexpr std::uint8_t kReceiveTimeoutCommand = 0x95;
inline constexpr std::uint8_t kPairSeparator = 0x54;
inline constexpr std::uint8_t kGeneralFixedByte8 = 30;

// Where each setting sits in a frame, for the builders and decodeFrame alike.
// Two-byte values are sent low byte first.
namespace Layout {
inline constexpr std::size_t kCommand = 2;

inline constexpr std::size_t kBaudrate = 3;
inline constexpr std::size_t kFormat = 4;
inline constexpr std::size_t kTimeOut = 5; // and 6
inline constexpr std::size_t kDataRate = 7;
inline constexpr std::size_t kFixed = 8; // always kGeneralFixedByte8
inline constexpr std::size_t kChannel = 9;
inline constexpr std::size_t kPower = 10;
inline constexpr std::size_t kDataLength = 11;
// The format byte is a bit field; the list values are already in place.
inline constexpr std::uint8_t kDataBitMask = 0x03;
inline constexpr std::uint8_t kParityMask = 0x0C;
inline constexpr std::uint8_t kStopBitMask = 0x10;

inline constexpr std::size_t kPairMode = 3;
inline constexpr std::size_t kSeparators[] = {4, 8};
inline constexpr std::size_t kMasterIds = 5; // three bytes
inline constexpr std::size_t kSlaveIds = 9;  // three bytes

inline constexpr std::size_t kReceiveTimeout = 3; // and 4; zeros to the end
inline constexpr std::size_t kReceiveTimeoutEnd = 5;
} // namespace Layout

// One drop-down list: the item texts in the order they are added, the value
// each item stands for, and the text and value used while nothing is picked.
struct ListItem
{
    std::string_view text;
    std::uint16_t value;
};

struct ListTable
{
    std::string_view name; // the list control's object name
    std::string_view initialText;
    std::span<const ListItem> items;
    std::uint16_t unpickedValue;

    // The value for a choice; out-of-range choices count as unpicked.
    [[nodiscard]] std::uint16_t valueOf(int choice) const;
    // The item that stands for value, or nullptr when none does.
    [[nodiscard]] const ListItem *itemOf(unsigned value) const;
};

extern const ListTable baudrate;
extern const ListTable ParityBit;
extern const ListTable DataBit;
extern const ListTable StopBit;
extern const ListTable TimeOut;
extern const ListTable DataRate;
extern const ListTable RF_Channel;
extern const ListTable RF_Power;
extern const ListTable DataLength;
extern const ListTable PairMode;
extern const ListTable ReceiveTimeout;

// Every list in the order the window fills them at start-up.
[[nodiscard]] std::span<const ListTable *const> allLists();

struct GeneralChoices
{
    int baudrate = -1;
    int dataBit = -1;
    int parityBit = -1;
    int stopBit = -1;
    int timeOut = -1;
    int dataRate = -1;
    int rfChannel = -1;
    int rfPower = -1;
    int dataLength = -1;
};

using IdTexts = std::array<std::string_view, 3>;

[[nodiscard]] ConfigFrame BuildGeneralFrame(const GeneralChoices &choices);

// Refuses (nullopt) when any ID text is not a number or lies outside 0..255.
[[nodiscard]] std::optional<ConfigFrame>
BuildPairFrame(int pairModeChoice, const IdTexts &masterTexts, const IdTexts &slaveTexts);

[[nodiscard]] ConfigFrame BuildReceiveTimeoutFrame(int receiveTimeoutChoice);

// Reads an ID box: optional blanks, an optional sign, digits with an optional
// decimal fraction, optional blanks. nullopt when the text is anything else.
[[nodiscard]] std::optional<double> parseIdValue(std::string_view text);

// The byte for an ID text, or nullopt when it is no number or out of range:
// below 0 or above 255 as typed. In range, a fraction rounds half to even.
[[nodiscard]] std::optional<std::uint8_t> idByte(std::string_view text);

// What a frame carries, as the dongle reads it: the codes on the line (list
// values, not item indices), and whatever does not fit the layout.
struct GeneralFields
{
    std::uint8_t baudrate = 0;
    std::uint8_t dataBit = 0; // the format byte's fields, each in its own bits
    std::uint8_t parityBit = 0;
    std::uint8_t stopBit = 0;
    std::uint16_t timeOut = 0;
    std::uint8_t dataRate = 0;
    std::uint8_t rfChannel = 0;
    std::uint8_t rfPower = 0;
    std::uint8_t dataLength = 0;
    std::uint8_t unknownFormatBits = 0;              // format bits outside the three fields
    std::optional<std::uint8_t> wrongFixedByte = {}; // byte 8 when it is not kGeneralFixedByte8

    friend bool operator==(const GeneralFields &, const GeneralFields &) = default;
};

struct PairFields
{
    std::uint8_t pairMode = 0;
    std::array<std::uint8_t, 3> masterIds{};
    std::array<std::uint8_t, 3> slaveIds{};
    // Both separators, when either is not kPairSeparator.
    std::optional<std::array<std::uint8_t, 2>> wrongSeparators = {};

    friend bool operator==(const PairFields &, const PairFields &) = default;
};

struct ReceiveTimeoutFields
{
    std::uint16_t receiveTimeout = 0;
    struct StrayByte
    {
        std::size_t position;
        std::uint8_t value;
        friend bool operator==(const StrayByte &, const StrayByte &) = default;
    };
    std::optional<StrayByte> firstNonZero = {}; // in the bytes that must be 0

    friend bool operator==(const ReceiveTimeoutFields &, const ReceiveTimeoutFields &) = default;
};

struct UnknownCommand
{
    std::uint8_t command = 0;

    friend bool operator==(const UnknownCommand &, const UnknownCommand &) = default;
};

using DecodedFrame = std::variant<GeneralFields, PairFields, ReceiveTimeoutFields, UnknownCommand>;

// Reads a frame by its command byte. The header is not checked: frames are
// found on the line by it.
[[nodiscard]] DecodedFrame decodeFrame(const ConfigFrame &frame);

inline constexpr std::string_view kOverRangeText =
    "Over Range!!\nCheck the setting value required between 0 to 255";

} // namespace SettingCodec
