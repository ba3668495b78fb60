// SPDX-License-Identifier: Apache-2.0
// A catalogue text shown without the log's markup: where nothing fills
// it, an insert ([[RDS1]], [[RDI2]], ...) and an optional group around one
// ([[RDX(]] ... [[RDX)]]) are left out, so that "The activity connector
// [[RDS1]] could not be loaded." reads "The activity connector could not be
// loaded." Shared by rdcsm's log and rdrun's outcome lines.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace rdmessage {

inline std::string PlainMessage(std::string_view text) {
    constexpr std::string_view kOpen = "[[RD", kClose = "]]";
    std::string out;
    int depth = 0; // open optional groups: their text is left out
    while (!text.empty()) {
        const std::size_t close = text.find(kClose);
        if (text.substr(0, kOpen.size()) == kOpen && close != std::string_view::npos) {
            const std::string_view mark = text.substr(kOpen.size(), close - kOpen.size());
            if (mark == "X(") ++depth;
            if (mark == "X)" && depth > 0) --depth;
            text.remove_prefix(close + kClose.size());
            continue;
        }
        if (depth == 0) out += text.front();
        text.remove_prefix(1);
    }
    // The blanks around what was left out.
    std::string tidy;
    for (char c : out) {
        if (c == ' ' && (tidy.empty() || tidy.back() == ' ')) continue;
        if ((c == '.' || c == ',' || c == ':') && !tidy.empty() && tidy.back() == ' ')
            tidy.pop_back();
        tidy += c;
    }
    while (!tidy.empty() && tidy.back() == ' ')
        tidy.pop_back();
    if (!tidy.empty())
        tidy[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(tidy[0])));
    return tidy;
}

} // namespace rdmessage
