#pragma once

#include <string>
#include <string_view>

// The log's line-end rules done the slow, literal way: cut the first LF out
// until none is left, then walk the CRs, putting an LF behind each. An
// independent reference for the one-pass normaliser.
inline std::string literalNormalise(std::string_view chunk)
{
    std::string text(chunk);
    for (std::size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n'))
        text.erase(lf, 1);
    std::size_t scanPos = 0;
    for (std::size_t cr = text.find('\r', scanPos); cr != std::string::npos;
         cr = text.find('\r', scanPos)) {
        text.insert(cr + 1, 1, '\n');
        scanPos = cr + 1;
    }
    return text;
}
