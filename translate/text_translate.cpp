// SPDX-License-Identifier: Apache-2.0
// Measuring and translating texts through the tables.
#include "activity/system_context.h"
#include "rdx_status.h"
#include "translate/translation.h"
#include "xcore.h"

namespace rdx {

uint32_t TextByteLength(const void *text, uint32_t code) {
    if (!TranslationReady() || text == nullptr || code == 0) return 0;
    xcore::Table *table = nullptr;
    uint32_t terminator = 0, length = 0;
    if (TableLookup(code, &table) != RDSTATUS_OK ||
        xcore::TerminatorSize(table, &terminator) != 0 ||
        xcore::TextLength(table, text, &length) != 0)
        return 0;
    return length - terminator;
}

bool ChainCodeIsUtf8(uint32_t code) {
    xcore::Table *table = nullptr;
    return TextTables(code, code, &table, &table) == RDSTATUS_OK && xcore::IsUtf8(table);
}

uint32_t TextTranslate(const void *source, uint32_t sourceLength, uint32_t sc, void **buffer,
                       uint32_t *length, uint32_t dc) {
    SystemContext *context = Context();
    if (context == nullptr) return RDSTATUS_NOTABLE;
    xcore::Table *from = nullptr, *to = nullptr;
    uint32_t status = TextTables(sc, dc, &from, &to);
    if (status != RDSTATUS_OK) return status;
    uint32_t terminator = 0;
    if (xcore::TerminatorSize(to, &terminator) != 0) return RDSTATUS_NOTABLE;
    const bool allocate = *buffer == nullptr;
    const uint64_t capacity = allocate ? 0 : uint64_t{*length} + terminator;
    if (capacity > UINT32_MAX) return RDSTATUS_NOTABLE;
    xcore::TranslateResult result;
    if (uint32_t failure = xcore::Translate(to, from, *buffer, static_cast<uint32_t>(capacity),
                                            source, sourceLength, &result);
        failure != 0) {
        *length = 0;
        return TableFailure(failure);
    }
    const uint32_t produced = result.length - terminator;
    status = RDSTATUS_OK;
    if (allocate)
        *buffer = result.allocated;
    else if (produced > *length)
        status = RDSTATUS_NOFIT;
    *length = produced;
    return status;
}

} // namespace rdx
