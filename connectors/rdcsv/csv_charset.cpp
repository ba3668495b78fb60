#include "csv_charset.h"

#include "owned_stream.h"
#include "property_value.h"
#include "rdx_status.h"

#include <charconv>

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

bool AllAscii(std::string_view bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
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

bool ValidUtf8(std::string_view bytes) {
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        size_t n = 0;
        uint32_t min = 0, cp = 0;
        if ((c & 0xE0) == 0xC0)
            n = 1, min = 0x80, cp = c & 0x1F;
        else if ((c & 0xF0) == 0xE0)
            n = 2, min = 0x800, cp = c & 0x0F;
        else if ((c & 0xF8) == 0xF0)
            n = 3, min = 0x10000, cp = c & 0x07;
        else
            return false;
        if (static_cast<size_t>(end - p) <= n) return false;
        for (size_t i = 1; i <= n; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        p += n + 1;
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
