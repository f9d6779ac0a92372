#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

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

inline constexpr std::string_view kOverRangeText =
    "Over Range!!\nCheck the setting value required between 0 to 255";

} // namespace SettingCodec
