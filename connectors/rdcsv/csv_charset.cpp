// SPDX-License-Identifier: Apache-2.0
#include "csv_charset.h"

#include "owned_stream.h"
#include "property_value.h"
#include "rdx_status.h"

#include <charconv>
#include <cstring>

namespace rdcsv {
namespace {

constexpr uint32_t kUtf8 = 65001;

struct CharsetName {
    const char *name;
    uint32_t code;
};
constexpr CharsetName kNames[] = {
    {"utf-8", kUtf8},
    {"utf8", kUtf8},
    {"latin1", 28591},
    {"iso-8859-1", 28591},
    {"ascii", 20127},
    {"us-ascii", 20127},
    {"native", RDCHARSET_DEFAULT},
    {"windows-1252", 1252},
    {"cp1252", 1252},
};

// The first byte at or after p that is not ASCII, or end: eight bytes at a
// time while they are all ASCII.
const unsigned char *SkipAscii(const unsigned char *p, const unsigned char *end) {
    constexpr uint64_t kHighBits = 0x8080808080808080u;
    for (; end - p >= 8; p += 8) {
        uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if ((word & kHighBits) != 0) break;
    }
    while (p < end && *p < 0x80)
        ++p;
    return p;
}

bool AllAscii(std::string_view bytes) {
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    return SkipAscii(p, p + bytes.size()) == p + bytes.size();
}

bool Continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

size_t CountReplacements(std::string_view utf8) {
    size_t count = 0;
    for (size_t at = utf8.find("\xEF\xBF\xBD"); at != std::string_view::npos;
         at = utf8.find("\xEF\xBF\xBD", at + 3))
        ++count;
    return count;
}

uint32_t Convert(std::string_view bytes, uint32_t from, uint32_t to, std::string &out) {
    rdxc::OwnedStream source, target;
    if (uint32_t status = source.Set(from, bytes); status != RDSTATUS_OK) return status;
    uint8_t *data = nullptr;
    uint32_t length = 0;
    if (uint32_t status = RDStreamDataConvert(target.get(), source.get(), 0, to, &data, &length);
        status != RDSTATUS_OK)
        return status;
    out.assign(reinterpret_cast<const char *>(data), data == nullptr ? 0 : length);
    return RDSTATUS_OK;
}

} // namespace

bool ParseCharset(std::string_view text, uint32_t &code) {
    for (const CharsetName &entry : kNames) {
        if (rdxc::SameWord(text, entry.name)) return code = entry.code, true;
    }
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0) return false;
    code = value;
    return true;
}

std::string CharsetText(uint32_t code) {
    for (const CharsetName &entry : kNames)
        if (entry.code == code && code != RDCHARSET_DEFAULT)
            return std::string(entry.name) + " (" + std::to_string(code) + ")";
    return std::to_string(code);
}

bool CharsetKeepsAscii(uint32_t code) {
    return code != RDCHARSET_UNICODE && (code & RDKIND_FLAG) == 0;
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF, no sequence cut short. The second byte's range rules out the
// first three for the leads that allow them.
bool ValidUtf8(std::string_view bytes) {
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *const end = p + bytes.size();
    while ((p = SkipAscii(p, end)) != end) {
        const unsigned char c = *p;
        const size_t left = static_cast<size_t>(end - p);
        if (c >= 0xC2 && c <= 0xDF) {
            if (left < 2 || !Continuation(p[1])) return false;
            p += 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            const unsigned char low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
            if (left < 3 || p[1] < low || p[1] > high || !Continuation(p[2])) return false;
            p += 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            const unsigned char low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
            if (left < 4 || p[1] < low || p[1] > high || !Continuation(p[2]) || !Continuation(p[3]))
                return false;
            p += 4;
        } else {
            return false; // a continuation byte, C0, C1 or F5-FF
        }
    }
    return true;
}

Charset::Charset(uint32_t code)
    : code_(code), utf8_(code == kUtf8 || code == RDCHARSET_INTERCHANGE) {}

uint32_t Charset::AsUtf8(std::string_view bytes, std::string &scratch, std::string_view &text,
                         bool &valid) const {
    text = bytes;
    valid = true;
    if (utf8_ || AllAscii(bytes)) {
        valid = !utf8_ || ValidUtf8(bytes);
        return RDSTATUS_OK;
    }
    const uint32_t status = Convert(bytes, code_, RDCHARSET_INTERCHANGE, scratch);
    if (status != RDSTATUS_OK) return status;
    text = scratch;
    // Undecodable bytes come out as U+FFFD; one the file really held is
    // still there in its own bytes when the set is a UTF-8 one.
    valid = CountReplacements(scratch) == 0 ||
            (ValidUtf8(bytes) && CountReplacements(scratch) == CountReplacements(bytes));
    return RDSTATUS_OK;
}

uint32_t Charset::ToUtf8(std::string_view bytes, std::string &out, bool &valid) const {
    std::string_view text;
    const uint32_t status = AsUtf8(bytes, out, text, valid);
    if (status == RDSTATUS_OK && text.data() != out.data()) out.assign(text);
    return status;
}

uint32_t Charset::FromUtf8(std::string_view text, std::string &out, bool &representable) const {
    representable = true;
    if (utf8_ || AllAscii(text)) {
        out.assign(text);
        return RDSTATUS_OK;
    }
    if (uint32_t status = Convert(text, RDCHARSET_INTERCHANGE, code_, out); status != RDSTATUS_OK)
        return status;
    std::string back;
    if (uint32_t status = Convert(out, code_, RDCHARSET_INTERCHANGE, back); status != RDSTATUS_OK)
        return status;
    representable = back == text;
    return RDSTATUS_OK;
}

} // namespace rdcsv
