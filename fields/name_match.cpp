// SPDX-License-Identifier: Apache-2.0
// Equality of list names, inline where the stream comparison orders names
// byte by byte.
#include "fields/name_match.h"

#include "rdx_status.h"
#include "translate/translation.h"

#include <cctype>
#include <cstring>

namespace rdx {

namespace {

// The letter-case folding of the C library's current locale: the table
// tolower reads, and whether it folds the ASCII range as the C locale does
// (checked once per table).
namematch::Folding CurrentFolding() {
    const int32_t *table = *__ctype_tolower_loc();
    thread_local const int32_t *checked = nullptr;
    if (table == checked) return {table, true};
    for (int c = 0; c < 0x80; ++c) {
        const int folded = c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
        if (table[c] != folded) return {table, false};
    }
    checked = table;
    return {table, true};
}

} // namespace

NameMatcher::NameMatcher(uint32_t code) {
    // How the stream comparison orders two names of code with RDSTREAM_NOCASE.
    uint32_t first = code, second = code;
    EffectiveCharsets(0, &first, &second);
    equality_ = IsKind(first)                ? Equality::Bytes
                : first == RDCHARSET_UNICODE ? Equality::Collation
                                             : Equality::FoldedBytes;
    folding_ = CurrentFolding();
}

bool NameMatcher::Collated(const RDStream &candidate, const RDStream &name) const {
    int32_t order = 1;
    return RDStreamDataCompare(&candidate, &name, &order) == RDSTATUS_OK && order == 0;
}

} // namespace rdx
