// SPDX-License-Identifier: Apache-2.0
// Catalogue texts, record texts and numbers in character set 256.
#include "activity/log_format_texts.h"

#include "rdx_status.h"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace rdx {

namespace {

constexpr uint32_t kTextNumberBits = 0x0FFFFFFF;

bool IsAscii(const char *text, std::size_t length) {
    unsigned char any = 0;
    for (std::size_t i = 0; i < length; ++i)
        any |= static_cast<unsigned char>(text[i]);
    return any < 0x80;
}

// text converted into *converted as character set 256: 0 or a status.
uint32_t ToInterchange(const RDStream &text, RDStream *converted, std::string_view *view) {
    const uint32_t status =
        RDStreamDataConvert(converted, &text, 0, RDCHARSET_INTERCHANGE, nullptr, nullptr);
    if (status != RDSTATUS_OK) return status;
    *view = {reinterpret_cast<const char *>(converted->data), converted->length};
    return RDSTATUS_OK;
}

} // namespace

CatalogueText::CatalogueText(uint32_t number) {
    uint32_t length = RDLibraryLoadString(number & kTextNumberBits, buffer_, RDRES_TEXT_SIZE);
    if (length == 0 || length >= RDRES_TEXT_SIZE) {
        const int written = std::snprintf(buffer_, RDRES_TEXT_SIZE, "MSG# %lu NOT FOUND",
                                          static_cast<unsigned long>(number));
        length = static_cast<uint32_t>(written);
    }
    std::memset(buffer_ + length, 0, 4);
    // Seven-bit text reads the same in the native set and in UTF-8.
    if (IsAscii(buffer_, length)) {
        view_ = {buffer_, length};
        return;
    }
    const RDStream native{0, length, 0, RDCHARSET_DEFAULT, reinterpret_cast<uint8_t *>(buffer_)};
    status_ = ToInterchange(native, &converted_, &view_);
}

void StreamText::Load(const RDStream *stream) {
    if (stream == nullptr || stream->length == 0 || stream->data == nullptr) return;
    if (stream->charset == RDCHARSET_INTERCHANGE) {
        view_ = {reinterpret_cast<const char *>(stream->data), stream->length};
        return;
    }
    const uint32_t status = ToInterchange(*stream, &converted_, &view_);
    // A text that cannot be shown is left out; only exhausted memory fails the entry.
    if (status == RDSTATUS_NOMEMORY) status_ = status;
    if (status != RDSTATUS_OK) view_ = {};
}

std::size_t WriteNumber(uint32_t number, char (&text)[12]) {
    const auto value = static_cast<int32_t>(number);
    if (value >= -65535 && value <= 65535)
        return static_cast<std::size_t>(std::to_chars(text, text + sizeof text, value).ptr - text);
    text[0] = '0';
    text[1] = 'x';
    return static_cast<std::size_t>(std::to_chars(text + 2, text + sizeof text, number, 16).ptr -
                                    text);
}

} // namespace rdx
