// SPDX-License-Identifier: Apache-2.0
// The conversion routes of Translate, one per kind of pair. Each writes what
// fits into its sink and reports the whole output length in bytes, so that
// a caller whose room was short can measure and convert again. Each returns
// 0, kNoMemory or kFailed.
#pragma once

#include "xcore_table.h"

#include <cstddef>

namespace xcore {

constexpr UChar32 kSubstitute = 0xFFFD;

// The status of an ICU call that wrote into a sink: ICU's overflow report
// means only that the room was short, and the length is still whole.
inline uint32_t StatusOf(UErrorCode status) {
    return U_SUCCESS(status) || status == U_BUFFER_OVERFLOW_ERROR ? 0 : FailureOf(status);
}

struct Sink {
    char *out;
    size_t capacity;
};

// UTF-8 into UTF-8: well-formed text is copied, every ill-formed part of
// other text becomes U+FFFD. Returns the output length.
size_t CopyUtf8(const char *text, size_t length, Sink sink);

// Text of from's set into UTF-8: from's converter reads into UTF-16 on the
// stack, ICU's UTF-8 writer writes.
uint32_t ToUtf8ThroughUnits(Table &from, const char *source, size_t length, Sink sink,
                            size_t *produced);

// UTF-16 units into to's set, and text of from's set into UTF-16 units, with
// the tables' converters; *produced counts bytes.
uint32_t FromUnits(Table &to, const UChar *units, int32_t count, Sink sink, size_t *produced);
uint32_t ToUnits(Table &from, const char *source, int32_t length, Sink sink, size_t *produced);

// Any pair, with both tables' converters through a UTF-16 pivot.
uint32_t ConvertThroughPivot(Table &to, Table &from, const char *source, size_t length, Sink sink,
                             size_t *produced);

} // namespace xcore
