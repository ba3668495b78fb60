// SPDX-License-Identifier: Apache-2.0
// Integer texts: RDStreamFromInt and RDIntFromStream.
#include "rdx_status.h"
#include "rdx_text.h"
#include "translate/translation.h"
#include "values/text_internal.h"

#include <charconv>
#include <cstdint>
#include <new>

namespace rdx::text {

uint32_t ReadIntText(std::string_view text, int32_t *value) {
    *value = 0;
    size_t at = 0;
    while (at < text.size() && IsSpace(text[at]))
        ++at;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    if (at == text.size() || !IsDigit(text[at])) return RDSTATUS_NOINT;
    // Every digit up to the first non-digit; the magnitude stops growing
    // once it is past the range, so no digit string can wrap it.
    constexpr uint64_t kPastRange = uint64_t{1} << 31 | 1;
    uint64_t magnitude = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at)
        if (magnitude < kPastRange)
            magnitude = magnitude * 10 + static_cast<uint64_t>(text[at] - '0');
    const uint64_t limit = negative ? uint64_t{1} << 31 : INT32_MAX;
    if (magnitude > limit) {
        *value = negative ? INT32_MIN : INT32_MAX;
        return RDSTATUS_NOFIT;
    }
    *value = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude))
                      : static_cast<int32_t>(magnitude);
    return RDSTATUS_OK;
}

} // namespace rdx::text

using namespace rdx::text;

extern "C" {

RD_EXPORT uint32_t RDStreamFromInt(RDStream *stream, const int32_t *value, uint32_t charset) {
    if (uint32_t status = CheckWriter(stream, charset); status != RDSTATUS_OK) return status;
    if (value == nullptr) return RDSTATUS_NOINT;
    char text[16];
    const char *end = std::to_chars(text, text + sizeof text, *value).ptr;
    try {
        return StoreText(stream, std::string_view(text, end - text), RDCHARSET_DEFAULT, charset);
    } catch (const std::bad_alloc &) {
        return RDSTATUS_NOMEMORY;
    }
}

RD_EXPORT uint32_t RDIntFromStream(int32_t *value, const RDStream *stream) {
    if (value != nullptr) *value = 0;
    if (!rdx::TranslationReady()) return RDSTATUS_NOTREADY;
    if (value == nullptr || stream == nullptr) return RDSTATUS_NOINT;
    try {
        StreamBytes bytes(*stream, RDCHARSET_DEFAULT, Syntax::Ascii);
        if (bytes.Status() != RDSTATUS_OK) return bytes.Status();
        return ReadIntText(bytes.View(), value);
    } catch (const std::bad_alloc &) {
        return RDSTATUS_NOMEMORY;
    }
}

} // extern "C"
