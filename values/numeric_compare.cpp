// SPDX-License-Identifier: Apache-2.0
// Comparison of numerics: by sign first (-0 before +0), then by the
// magnitudes with their digits aligned by weight.
#include "rdx_status.h"
#include "values/numeric_internal.h"

#include <algorithm>

using namespace rdx;

namespace {

// The digit of n with exponent e, 0 where n has none.
int DigitAt(const RDNumeric &n, int e) {
    const int top = TopExponent(n);
    return (e <= top && e >= BottomExponent(n)) ? Digit(n, top - e) : 0;
}

int CompareMagnitudes(const RDNumeric &a, const RDNumeric &b) {
    const int high = std::max(TopExponent(a), TopExponent(b));
    const int low = std::min(BottomExponent(a), BottomExponent(b));
    for (int e = high; e >= low; --e) {
        const int da = DigitAt(a, e), db = DigitAt(b, e);
        if (da != db) return da > db ? 1 : -1;
    }
    return 0;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDNumericCompare(RDNumeric *first, RDNumeric *second,
                                               int32_t *result) {
    if (result == nullptr) return RDSTATUS_NULLARG2;
    *result = 0;
    if (!ValidNumeric(first) || !ValidNumeric(second)) return RDSTATUS_NONUMERIC;
    const bool negative = IsNegative(*first);
    if (negative != IsNegative(*second)) {
        *result = negative ? -1 : 1;
        return RDSTATUS_OK;
    }
    const int order = CompareMagnitudes(*first, *second);
    *result = negative ? -order : order;
    return RDSTATUS_OK;
}
