// SPDX-License-Identifier: Apache-2.0
// Ordering two streams: byte order for one code, case-insensitive bytes for
// one single-byte code with RDSTREAM_NOCASE, collation otherwise.
#include "activity/system_context.h"
#include "rdx_status.h"
#include "translate/translation.h"
#include "values/stream_internal.h"
#include "xcore.h"

#include <algorithm>
#include <cctype>
#include <cstring>

using namespace rdx;

namespace {

int32_t Sign(int value) {
    return value < 0 ? -1 : value > 0 ? 1 : 0;
}

int32_t OrderOfLengths(uint32_t a, uint32_t b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

int32_t CompareBytes(const RDStream &a, const RDStream &b) {
    const uint32_t shorter = std::min(a.length, b.length);
    const int order = shorter != 0 ? std::memcmp(a.data, b.data, shorter) : 0;
    return order != 0 ? Sign(order) : OrderOfLengths(a.length, b.length);
}

int32_t CompareBytesNoCase(const RDStream &a, const RDStream &b) {
    const uint32_t shorter = std::min(a.length, b.length);
    for (uint32_t i = 0; i < shorter; ++i) {
        const int x = std::tolower(a.data[i]), y = std::tolower(b.data[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return OrderOfLengths(a.length, b.length);
}

// Both streams as UTF-16 ordered by the collation of the 160 table. The
// texts are read up to their lengths only: a borrowed text cut short goes on
// in its owner's storage, and a caller's record need not be terminated.
uint32_t Collate(const RDStream &a, const RDStream &b, bool noCase, int32_t *result) {
    const uint32_t options = RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT | RDCONVERT_LITERAL;
    RDStream ua{}, ub{};
    uint32_t status = StreamTranslate(&a, RDCHARSET_UNICODE, &ua, options);
    if (status == RDSTATUS_OK) status = StreamTranslate(&b, RDCHARSET_UNICODE, &ub, options);
    if (status == RDSTATUS_OK) {
        int16_t order = 0;
        xcore::Table *unicode = Context()->translation.standard[kTableUnicode];
        const auto units = [](const RDStream &s) { return static_cast<int32_t>(s.length / 2); };
        const uint32_t failure = xcore::Collate(unicode, ua.data, units(ua), ub.data, units(ub),
                                                noCase ? xcore::kCollateNoCase : 0, &order);
        if (failure == 0)
            *result = Sign(order);
        else
            status = TableFailure(failure);
    }
    FreeStorage(DetachStorage(ua));
    FreeStorage(DetachStorage(ub));
    return status;
}

// Byte order after bringing one side into the other's code.
uint32_t CompareConverted(const RDStream &a, uint32_t ca, const RDStream &b, uint32_t cb,
                          int32_t *result) {
    if (ca == cb || ca == RDKIND_BINARY || cb == RDKIND_BINARY) {
        *result = CompareBytes(a, b);
        return RDSTATUS_OK;
    }
    const bool convertFirst = ca == RDKIND_RICHTEXT;
    RDStream converted{};
    uint32_t status =
        convertFirst ? StreamTranslate(&a, cb, &converted, RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT)
                     : StreamTranslate(&b, ca, &converted, RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT);
    if (status == RDSTATUS_OK)
        *result = convertFirst ? CompareBytes(converted, b) : CompareBytes(a, converted);
    FreeStorage(DetachStorage(converted));
    return status;
}

// Two codes, or one with RDSTREAM_NOCASE. Kept out of line, away from the
// frequent case of one code.
[[gnu::noinline]] uint32_t CompareAcrossCodes(const RDStream &a, const RDStream &b, bool noCase,
                                              int32_t *result) {
    uint32_t ca = a.charset, cb = b.charset;
    EffectiveCharsets(0, &ca, &cb);
    if (!IsKind(ca) && !IsKind(cb) && (ca != cb || noCase)) {
        if (ca == cb && ca != RDCHARSET_UNICODE) {
            *result = CompareBytesNoCase(a, b);
            return RDSTATUS_OK;
        }
        return Collate(a, b, noCase, result);
    }
    return CompareConverted(a, ca, b, cb, result);
}

} // namespace

extern "C" RD_EXPORT uint32_t RDStreamDataCompare(const RDStream *first, const RDStream *second,
                                                  int32_t *result) {
    if (result != nullptr) *result = 0;
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    if (result == nullptr) return RDSTATUS_NULLARG2;
    if (first == nullptr || second == nullptr) return RDSTATUS_NOSTREAM;
    const RDStream &a = *first, &b = *second;
    if (a.data == nullptr || b.data == nullptr) {
        *result = a.length != 0 ? 1 : b.length != 0 ? -1 : 0;
        return RDSTATUS_OK;
    }
    const bool noCase = ((a.flags | b.flags) & RDSTREAM_NOCASE) != 0;
    if (a.charset == b.charset && !noCase) {
        // One code resolves to one effective code: plain byte order.
        *result = CompareBytes(a, b);
        return RDSTATUS_OK;
    }
    return CompareAcrossCodes(a, b, noCase, result);
}
