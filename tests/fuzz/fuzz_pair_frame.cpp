// Arbitrary ID texts through BuildPairFrame, checked against a reference
// reading done another way (validate, then strtod and the FPU's own
// round-half-to-even).
//
// Input: the first byte is the pair mode choice as '0' + choice ('/' is -1,
// anything else far off is out of range); the rest is the six texts,
// MasterID1 to SlaveID3, separated by line feeds. The sixth text runs to the
// end; missing texts are empty.

#include "protocol/SettingCodec.h"

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

using SettingCodec::ConfigFrame;

struct ReferenceId
{
    bool number = false; // plain decimal notation at all
    bool inRange = false;
    std::uint8_t byte = 0;
};

ReferenceId referenceId(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t");
    const std::string number(text.substr(first, last - first + 1));

    const bool signed_ = number.front() == '+' || number.front() == '-';
    const std::string_view body = std::string_view(number).substr(signed_ ? 1 : 0);
    if (body.empty() || body.find_first_not_of("0123456789.") != std::string_view::npos ||
        std::count(body.begin(), body.end(), '.') > 1 ||
        body.find_first_of("0123456789") == std::string_view::npos)
        return {};

    ReferenceId id;
    id.number = true;
    // Negative as typed, even when too small for a double to tell it from 0.
    if (number.front() == '-' && body.find_first_of("123456789") != std::string_view::npos)
        return id;

    char *end = nullptr;
    const double value = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size()) {
        std::fprintf(stderr, "reference: strtod stopped early in \"%s\"\n", number.c_str());
        std::abort();
    }
    // The range on the digits as typed: above 255 by any digit is out,
    // however little.
    const std::size_t point = body.find('.');
    std::string whole(body.substr(0, point));
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    const bool fractionTyped = point != std::string_view::npos &&
                               body.find_first_of("123456789", point) != std::string_view::npos;
    if (whole.size() > 3 || (whole.size() == 3 && whole > "255") ||
        (whole == "255" && fractionTyped))
        return id;
    const double rounded = std::nearbyint(value);
    id.inRange = true;
    id.byte = static_cast<std::uint8_t>(rounded);
    return id;
}

[[noreturn]] void fail(const char *what, const std::array<std::string_view, 6> &texts)
{
    std::fprintf(stderr, "fuzz_pair_frame: %s\n", what);
    for (std::string_view t : texts)
        std::fprintf(stderr, "  text (%zu bytes): \"%.*s\"\n", t.size(),
                     int(std::min<std::size_t>(t.size(), 80)), t.data());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The reference leans on the default rounding mode being half to even.
    if (std::fegetround() != FE_TONEAREST)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int choice = int(data[0]) - '0';
    std::string_view rest(reinterpret_cast<const char *>(data) + 1, size - 1);

    std::array<std::string_view, 6> texts{};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::size_t lf = i + 1 < texts.size() ? rest.find('\n') : std::string_view::npos;
        texts[i] = rest.substr(0, lf);
        rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
    }

    std::array<ReferenceId, 6> expected{};
    bool allInRange = true;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        expected[i] = referenceId(texts[i]);
        allInRange = allInRange && expected[i].inRange;

        if (SettingCodec::parseIdValue(texts[i]).has_value() != expected[i].number)
            fail("parseIdValue disagrees on whether a text is a number", texts);
        const std::optional<std::uint8_t> byte = SettingCodec::idByte(texts[i]);
        if (byte.has_value() != expected[i].inRange)
            fail("idByte disagrees on the range", texts);
        if (byte && *byte != expected[i].byte)
            fail("idByte rounds differently", texts);
    }

    const std::optional<ConfigFrame> frame = SettingCodec::BuildPairFrame(
        choice, {texts[0], texts[1], texts[2]}, {texts[3], texts[4], texts[5]});
    if (frame.has_value() != allInRange)
        fail(allInRange ? "frame refused with every value in range"
                        : "frame built with a value out of range",
             texts);
    if (!frame)
        return 0;

    const std::uint8_t mode = choice == 1 ? 1 : 0;
    const ConfigFrame want = {0x98,
                              0x95,
                              0x94,
                              mode,
                              0x54,
                              expected[0].byte,
                              expected[1].byte,
                              expected[2].byte,
                              0x54,
                              expected[3].byte,
                              expected[4].byte,
                              expected[5].byte};
    if (*frame != want)
        fail("frame bytes differ from the rounded values", texts);
    return 0;
}
