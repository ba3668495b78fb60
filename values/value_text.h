// SPDX-License-Identifier: Apache-2.0
// Helpers shared by the text forms of currency and numeric values: the
// texts of the international settings, matching them in a bounded text, and
// temporary streams.
#pragma once

#include "rdplat_intl.h"
#include "rdx_stream.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace rdx {

// A byte text of the international settings.
struct IntlText {
    const uint8_t *bytes;
    size_t length;
};

// The stored length is trusted only within the field's room: the record
// also arrives whole from the server manager.
inline IntlText MakeIntlText(const char (&field)[RDINTL_TEXT_SIZE], uint32_t length) {
    return {reinterpret_cast<const uint8_t *>(field), std::min<size_t>(length, RDINTL_TEXT_SIZE)};
}

// True when [at, end) begins with text. An empty text never matches, so a
// scan that skips matches always moves on.
inline bool StartsWith(const uint8_t *at, const uint8_t *end, IntlText text) {
    if (text.length == 0 || static_cast<size_t>(end - at) < text.length) return false;
    if (text.length == 1) return *at == text.bytes[0];
    return std::memcmp(at, text.bytes, text.length) == 0;
}

inline bool IsDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}

// A stream record of this scope whose private storage is freed on exit.
struct TempStream {
    RDStream s{};
    TempStream() = default;
    TempStream(const TempStream &) = delete;
    TempStream &operator=(const TempStream &) = delete;
    ~TempStream() {
        if (s.data != nullptr) RDStreamDataFree(&s);
    }
};

// Stores text into stream: directly under charset, or, when convert is
// set, as interchange text converted into charset (keeping the stream's
// format). Returns the status of the set or of the conversion.
inline uint32_t StoreValueText(RDStream *stream, const char *text, size_t length, uint32_t charset,
                               bool convert) {
    const auto count = static_cast<uint32_t>(length);
    if (!convert) return RDStreamDataSet(stream, charset, text, count);
    TempStream temp;
    const uint32_t status = RDStreamDataSet(&temp.s, RDCHARSET_INTERCHANGE, text, count);
    if (status != 0) return status;
    return RDStreamDataConvert(stream, &temp.s, RDCONVERT_KEEPFORMAT, charset, nullptr, nullptr);
}

} // namespace rdx
