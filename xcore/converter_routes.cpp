// SPDX-License-Identifier: Apache-2.0
// The routes that need a table's converter. Each takes the converter for
// the one translation (ConverterUse), so that threads translating with one
// table never share a converter's state.
#include "routes.h"

#include <algorithm>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

namespace xcore {
namespace {

constexpr int32_t kPivotUnits = 1024;

} // namespace

uint32_t ConvertThroughPivot(Table &to, Table &from, const char *source, size_t length, Sink sink,
                             size_t *produced) {
    ConverterUse toUse(to), fromUse(from);
    if (toUse.get() == nullptr) return toUse.status();
    if (fromUse.get() == nullptr) return fromUse.status();
    UChar pivot[kPivotUnits];
    UChar *pivotSource = pivot, *pivotTarget = pivot;
    char scratch[1024];
    char *base = sink.capacity != 0 ? sink.out : scratch;
    char *target = base;
    const char *limit = base + (sink.capacity != 0 ? sink.capacity : sizeof scratch);
    const char *read = source;
    size_t total = 0;
    bool reset = true;
    for (;;) {
        UErrorCode status = U_ZERO_ERROR;
        ucnv_convertEx(toUse.get(), fromUse.get(), &target, limit, &read, source + length, pivot,
                       &pivotSource, &pivotTarget, pivot + kPivotUnits, reset, true, &status);
        reset = false;
        total += static_cast<size_t>(target - base);
        if (status != U_BUFFER_OVERFLOW_ERROR) {
            *produced = total;
            return U_SUCCESS(status) ? 0 : FailureOf(status);
        }
        base = target = scratch; // keep counting what does not fit
        limit = scratch + sizeof scratch;
    }
}

uint32_t ToUtf8ThroughUnits(Table &from, const char *source, size_t length, Sink sink,
                            size_t *produced) {
    ConverterUse use(from);
    if (use.get() == nullptr) return use.status();
    ucnv_resetToUnicode(use.get());
    UChar units[kPivotUnits];
    int32_t carried = 0; // a lead surrogate whose trail comes with the next piece
    const char *read = source, *const end = source + length;
    size_t total = 0;
    for (bool more = true; more;) {
        UChar *target = units + carried;
        UErrorCode status = U_ZERO_ERROR;
        ucnv_toUnicode(use.get(), &target, units + kPivotUnits, &read, end, nullptr, true, &status);
        more = status == U_BUFFER_OVERFLOW_ERROR;
        if (uint32_t failure = StatusOf(status); failure != 0) return failure;
        auto count = static_cast<int32_t>(target - units);
        carried = more && count > 0 && U16_IS_LEAD(units[count - 1]) ? 1 : 0;
        count -= carried;
        const size_t room = total < sink.capacity ? sink.capacity - total : 0;
        const auto capacity = static_cast<int32_t>(std::min<size_t>(room, INT32_MAX));
        int32_t n = 0;
        status = U_ZERO_ERROR;
        u_strToUTF8WithSub(capacity != 0 ? sink.out + total : nullptr, capacity, &n, units, count,
                           kSubstitute, nullptr, &status);
        if (uint32_t failure = StatusOf(status); failure != 0) return failure;
        total += static_cast<size_t>(n);
        if (carried != 0) units[0] = units[count];
    }
    *produced = total;
    return 0;
}

uint32_t FromUnits(Table &to, const UChar *units, int32_t count, Sink sink, size_t *produced) {
    ConverterUse use(to);
    if (use.get() == nullptr) return use.status();
    UErrorCode status = U_ZERO_ERROR;
    const auto capacity = static_cast<int32_t>(std::min<size_t>(sink.capacity, INT32_MAX));
    const int32_t n = ucnv_fromUChars(use.get(), sink.out, capacity, units, count, &status);
    *produced = static_cast<size_t>(n);
    return StatusOf(status);
}

uint32_t ToUnits(Table &from, const char *source, int32_t length, Sink sink, size_t *produced) {
    ConverterUse use(from);
    if (use.get() == nullptr) return use.status();
    UErrorCode status = U_ZERO_ERROR;
    const auto capacity = static_cast<int32_t>(std::min<size_t>(sink.capacity / 2, INT32_MAX));
    const int32_t n = ucnv_toUChars(use.get(), reinterpret_cast<UChar *>(sink.out), capacity,
                                    source, length, &status);
    *produced = static_cast<size_t>(n) * 2;
    return StatusOf(status);
}

} // namespace xcore
