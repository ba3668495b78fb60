// SPDX-License-Identifier: Apache-2.0
#include "json_text.h"

#include <cstdint>

namespace rdjson {
namespace {

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// The length of the UTF-8 sequence at text[i], 0 when it is not valid
// (overlong forms, surrogates and code points beyond U+10FFFF refused).
size_t SequenceLength(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char first = byte(i);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        if (first == 0xE0) low = 0xA0;
        if (first == 0xED) high = 0x9F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        if (first == 0xF0) low = 0x90;
        if (first == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    }
    return length;
}

} // namespace

bool IsJsonNumber(std::string_view text, bool &integer) {
    size_t i = 0;
    const size_t n = text.size();
    if (i < n && text[i] == '-') ++i;
    if (i == n) return false;
    if (text[i] == '0') {
        ++i;
    } else if (Digit(text[i])) {
        while (i < n && Digit(text[i]))
            ++i;
    } else {
        return false;
    }
    integer = true;
    if (i < n && text[i] == '.') {
        integer = false;
        const size_t start = ++i;
        while (i < n && Digit(text[i]))
            ++i;
        if (i == start) return false;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        integer = false;
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        const size_t start = i;
        while (i < n && Digit(text[i]))
            ++i;
        if (i == start) return false;
    }
    return i == n;
}

bool AppendString(std::string &out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    const size_t before = out.size();
    out += '"';
    size_t run = 0; // start of the bytes not yet appended
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const size_t length = SequenceLength(text, i);
            if (length == 0) {
                out.resize(before);
                return false;
            }
            i += length;
            continue;
        }
        if (c >= 0x20 && c != '"' && c != '\\') {
            ++i;
            continue;
        }
        out.append(text.substr(run, i - run));
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
        run = ++i;
    }
    out.append(text.substr(run));
    out += '"';
    return true;
}

void AppendBase64(std::string &out, std::string_view bytes) {
    size_t i = 0;
    const auto at = [&](size_t k) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[k])); };
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
        out += kBase64[v >> 18];
        out += kBase64[(v >> 12) & 63];
        out += kBase64[(v >> 6) & 63];
        out += kBase64[v & 63];
    }
    if (const size_t left = bytes.size() - i; left > 0) {
        const uint32_t v = at(i) << 16 | (left == 2 ? at(i + 1) << 8 : 0);
        out += kBase64[v >> 18];
        out += kBase64[(v >> 12) & 63];
        out += left == 2 ? kBase64[(v >> 6) & 63] : '=';
        out += '=';
    }
}

bool DecodeBase64(std::string_view text, std::string &out) {
    out.clear();
    if (text.size() % 4 != 0) return false;
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        size_t pad = 0;
        for (size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=' && last && k >= 2) {
                ++pad;
                v[k] = 0;
                continue;
            }
            if (pad > 0) return false; // a digit after padding
            v[k] = Base64Value(c);
            if (v[k] < 0) return false;
        }
        const uint32_t bits = static_cast<uint32_t>(v[0] << 18 | v[1] << 12 | v[2] << 6 | v[3]);
        out += static_cast<char>(bits >> 16);
        if (pad < 2) out += static_cast<char>((bits >> 8) & 255);
        if (pad < 1) out += static_cast<char>(bits & 255);
    }
    return true;
}

} // namespace rdjson

#include <simdjson.h>

namespace rdjson {

bool IsJsonValue(std::string_view text) {
    thread_local simdjson::dom::parser parser;
    simdjson::dom::element element;
    return !parser.parse(text.data(), text.size(), true).get(element);
}

bool ObjectKeys(std::string_view text, std::vector<std::string> &keys) {
    thread_local simdjson::dom::parser parser;
    simdjson::dom::object object;
    keys.clear();
    if (parser.parse(text.data(), text.size(), true).get(object)) return false;
    for (const auto member : object)
        keys.emplace_back(member.key);
    return true;
}

} // namespace rdjson
