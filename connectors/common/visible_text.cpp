// SPDX-License-Identifier: Apache-2.0
#include "visible_text.h"

#include <cstdint>

namespace rdxc {
namespace {

constexpr char kDigits[] = "0123456789abcdef";

uint8_t Byte(std::string_view text, std::size_t at) {
    return static_cast<uint8_t>(text[at]);
}

bool IsContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// The code point of a well-formed character of length bytes at text[at].
uint32_t CodePoint(std::string_view text, std::size_t at, std::size_t length) {
    static constexpr uint8_t kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    uint32_t point = Byte(text, at) & kLeadMask[length];
    for (std::size_t i = 1; i < length; ++i)
        point = point << 6 | (Byte(text, at + i) & 0x3F);
    return point;
}

// Characters that act on the terminal or on the order of what follows.
bool IsControl(uint32_t point) {
    return point < 0x20 || (point >= 0x7F && point <= 0x9F) || point == 0x2028 || point == 0x2029 ||
           (point >= 0x202A && point <= 0x202E) || (point >= 0x2066 && point <= 0x2069);
}

void AppendByteEscape(std::string &out, uint8_t byte) {
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
}

void AppendControl(std::string &out, uint32_t point) {
    if (point == '\n') {
        out += "\\n";
    } else if (point == '\r') {
        out += "\\r";
    } else if (point == '\t') {
        out += "\\t";
    } else if (point <= 0x7F) {
        AppendByteEscape(out, static_cast<uint8_t>(point));
    } else {
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
            out += kDigits[(point >> shift) & 15];
    }
}

} // namespace

std::size_t Utf8CharLength(std::string_view text, std::size_t at) {
    if (at >= text.size()) return 0;
    const uint8_t lead = Byte(text, at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    // The smallest and largest second byte that the lead allows, which
    // excludes overlong forms, surrogates and points past U+10FFFF.
    uint8_t low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    const uint8_t second = Byte(text, at + 1);
    if (second < low || second > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (!IsContinuation(Byte(text, at + i))) return 0;
    return length;
}

bool IsWellFormedUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8CharLength(text, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

std::string VisibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8CharLength(text, at);
        if (length == 0) {
            AppendByteEscape(out, Byte(text, at++));
            continue;
        }
        const uint32_t point = CodePoint(text, at, length);
        if (IsControl(point))
            AppendControl(out, point);
        else
            out.append(text, at, length);
        at += length;
    }
    return out;
}

} // namespace rdxc
