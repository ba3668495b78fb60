// SPDX-License-Identifier: Apache-2.0
// Collation of UTF-16 texts with the ICU collator of the table's language:
// tertiary strength, or secondary strength when case is to be ignored. Each
// of the two collators is opened at its first use and kept in the table.
#include "xcore_table.h"

#include <cstring>
#include <mutex>
#include <string>

namespace xcore {
namespace {

std::mutex g_collatorOpening;

// The table's collator, opened by the first thread that needs it; later
// uses read it without a lock (ICU collators compare from several threads).
uint32_t CollatorFor(Table &table, bool noCase, UCollator **collatorOut) {
    std::atomic<UCollator *> &collator = table.collators[noCase ? 1 : 0];
    if ((*collatorOut = collator.load(std::memory_order_acquire)) != nullptr) return 0;
    std::lock_guard<std::mutex> lock(g_collatorOpening);
    if ((*collatorOut = collator.load(std::memory_order_relaxed)) != nullptr) return 0;
    UErrorCode status = U_ZERO_ERROR;
    UCollator *opened = ucol_open(table.locale.c_str(), &status);
    if (U_FAILURE(status)) {
        ucol_close(opened);
        return FailureOf(status);
    }
    ucol_setStrength(opened, noCase ? UCOL_SECONDARY : UCOL_TERTIARY);
    collator.store(opened, std::memory_order_release);
    *collatorOut = opened;
    return 0;
}

// ICU reads UTF-16 through aligned pointers; a misaligned text is copied.
// Exactly length units are read: the text need not be terminated.
const UChar *Units(const void *text, int32_t length, std::u16string &copy) {
    if (reinterpret_cast<uintptr_t>(text) % alignof(UChar) == 0)
        return static_cast<const UChar *>(text);
    const auto *bytes = static_cast<const unsigned char *>(text);
    copy.resize(static_cast<size_t>(length));
    for (int32_t i = 0; i < length; ++i)
        copy[static_cast<size_t>(i)] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return reinterpret_cast<const UChar *>(copy.data());
}

} // namespace

uint32_t Collate(Table *unicodeTable, const void *first, int32_t firstLength, const void *second,
                 int32_t secondLength, uint16_t options, int16_t *result) {
    if (result != nullptr) *result = 0;
    if (unicodeTable == nullptr || unicodeTable->form != Form::Utf16Le || first == nullptr ||
        second == nullptr || result == nullptr || firstLength < 0 || secondLength < 0)
        return kFailed;
    UCollator *collator = nullptr;
    if (uint32_t status = CollatorFor(*unicodeTable, (options & kCollateNoCase) != 0, &collator);
        status != 0)
        return status;
    try {
        std::u16string firstCopy, secondCopy;
        const UChar *a = Units(first, firstLength, firstCopy);
        const UChar *b = Units(second, secondLength, secondCopy);
        *result = static_cast<int16_t>(ucol_strcoll(collator, a, firstLength, b, secondLength));
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
    return 0;
}

} // namespace xcore
