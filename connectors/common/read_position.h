// SPDX-License-Identifier: Apache-2.0
// The text of a file source's ReadPosition (connector_resume.h):
// "offset=BYTES;line=LINE", the two in either order, each once, the line
// from 1.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace rdxc {

struct ReadPositionValue {
    uint64_t offset = 0, line = 1;
};

inline bool ParseReadPosition(std::string_view text, ReadPositionValue &out) {
    bool offset = false, line = false;
    for (bool more = true; more;) {
        const size_t end = std::min(text.find(';'), text.size());
        const std::string_view part = text.substr(0, end);
        more = end < text.size();
        text.remove_prefix(std::min(end + 1, text.size()));
        const size_t equals = part.find('=');
        if (equals == std::string_view::npos) return false;
        const std::string_view key = part.substr(0, equals), digits = part.substr(equals + 1);
        uint64_t value = 0;
        const auto [stop, failure] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (failure != std::errc() || stop != digits.data() + digits.size() || digits.empty())
            return false;
        if (key == "offset" && !offset) {
            out.offset = value;
            offset = true;
        } else if (key == "line" && !line && value > 0) {
            out.line = value;
            line = true;
        } else {
            return false;
        }
    }
    return offset && line;
}

inline std::string ReadPositionText(uint64_t offset, uint64_t line) {
    return "offset=" + std::to_string(offset) + ";line=" + std::to_string(line);
}

} // namespace rdxc
