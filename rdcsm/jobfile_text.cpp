// SPDX-License-Identifier: Apache-2.0
#include "jobfile_text.h"

#include "visible_text.h"

#include <charconv>
#include <cstdint>
#include <cstdio>

namespace rdcsm {

namespace {

bool IsBareKey(std::string_view key) {
    if (key.empty()) return false;
    for (char c : key)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-'))
            return false;
    return true;
}

// Whether the character is one that is printed as itself.
bool IsPlain(std::string_view character) {
    return rdxc::VisibleText(character) == character;
}

uint32_t CodePoint(std::string_view character) {
    static constexpr uint8_t kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    uint32_t point = static_cast<uint8_t>(character[0]) & kLeadMask[character.size()];
    for (std::size_t i = 1; i < character.size(); ++i)
        point = point << 6 | (static_cast<uint8_t>(character[i]) & 0x3F);
    return point;
}

void AppendEscape(std::string &out, std::string_view character) {
    switch (character[0]) {
    case '"':
        out += "\\\"";
        return;
    case '\\':
        out += "\\\\";
        return;
    case '\b':
        out += "\\b";
        return;
    case '\t':
        out += "\\t";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\f':
        out += "\\f";
        return;
    case '\r':
        out += "\\r";
        return;
    default:
        break;
    }
    char escape[16];
    const uint32_t point = CodePoint(character);
    std::snprintf(escape, sizeof escape, point > 0xFFFF ? "\\U%08X" : "\\u%04X", point);
    out += escape;
}

// The characters of text, each as a view of its bytes.
template <typename Each> void ForEachCharacter(std::string_view text, Each each) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = rdxc::Utf8CharLength(text, at);
        if (length == 0) length = 1; // not reached for well-formed text
        each(text.substr(at, length));
        at += length;
    }
}

} // namespace

std::string TomlKey(std::string_view key) {
    return IsBareKey(key) ? std::string(key) : TomlString(key);
}

std::string TomlString(std::string_view text) {
    bool literal = true;
    ForEachCharacter(text, [&](std::string_view c) { literal &= c != "'" && IsPlain(c); });
    if (literal) return "'" + std::string(text) + "'";
    std::string out = "\"";
    ForEachCharacter(text, [&](std::string_view c) {
        if (c == "\"" || c == "\\" || !IsPlain(c))
            AppendEscape(out, c);
        else
            out += c;
    });
    return out + "\"";
}

std::string TomlFloat(double value) {
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    std::string out(text, ec == std::errc() ? end : text);
    if (out.find_first_of(".e") == std::string::npos) out += ".0";
    return out;
}

} // namespace rdcsm
