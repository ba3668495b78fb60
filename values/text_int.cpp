// Integer texts: RDStreamFromInt and RDIntFromStream.
#include "rdx_status.h"
#include "rdx_text.h"
#include "translate/translation.h"
#include "values/text_internal.h"

#include <charconv>
#include <new>

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
    StreamBytes bytes(*stream, RDCHARSET_DEFAULT);
    if (bytes.Status() != RDSTATUS_OK) return bytes.Status();
    const std::string_view text = bytes.View();
    size_t at = 0;
    while (at < text.size() && IsSpace(text[at]))
        ++at;
    if (at == text.size() || !IsDigit(text[at])) return RDSTATUS_NOINT;
    // Digits up to the first non-digit, wrapping around in 32 bits.
    uint32_t number = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at)
        number = number * 10 + static_cast<uint32_t>(text[at] - '0');
    *value = static_cast<int32_t>(number);
    return RDSTATUS_OK;
}

} // extern "C"
