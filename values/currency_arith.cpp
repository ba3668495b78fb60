// SPDX-License-Identifier: Apache-2.0
// Currency records: clearing, copying, comparison and saturating arithmetic.
#include "rdx_status.h"
#include "values/currency_internal.h"

using namespace rdx;

namespace {

// Saturates a two's-complement sum or difference that overflowed (the exact
// result then has the first operand's sign), and also an exact result of
// -2^63, which lies outside the range used.
uint32_t StoreSaturated(RDCurrency *result, int64_t value, bool overflow, int64_t first) {
    if (overflow || value == INT64_MIN) {
        SetCurrencyValue(*result, (value == INT64_MIN && !overflow) || first < 0 ? kCurrencyMin
                                                                                 : kCurrencyMax);
        return RDSTATUS_NOFIT;
    }
    SetCurrencyValue(*result, value);
    return RDSTATUS_OK;
}

// first + second, or first - second when subtract, saturated.
uint32_t Combine(RDCurrency *result, const RDCurrency *first, const RDCurrency *second,
                 bool subtract) {
    if (result == nullptr || first == nullptr || second == nullptr) return RDSTATUS_NOCURRENCY;
    const int64_t a = CurrencyValue(*first), b = CurrencyValue(*second);
    int64_t value;
    const bool overflow =
        subtract ? __builtin_sub_overflow(a, b, &value) : __builtin_add_overflow(a, b, &value);
    return StoreSaturated(result, value, overflow, a);
}

} // namespace

extern "C" RD_EXPORT void RDCurrencyClear(RDCurrency *currency) {
    if (currency != nullptr) *currency = RDCurrency{};
}

extern "C" RD_EXPORT void RDCurrencyCopy(RDCurrency *destination, const RDCurrency *source) {
    if (destination != nullptr) *destination = source != nullptr ? *source : RDCurrency{};
}

extern "C" RD_EXPORT uint32_t RDCurrencyCompare(const RDCurrency *first, const RDCurrency *second,
                                                int32_t *result) {
    if (result == nullptr) return RDSTATUS_NULLARG2;
    *result = 0;
    if (first == nullptr || second == nullptr) return RDSTATUS_NOCURRENCY;
    const int64_t a = CurrencyValue(*first), b = CurrencyValue(*second);
    *result = a < b ? -1 : (a > b ? 1 : 0);
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDCurrencyAdd(RDCurrency *result, const RDCurrency *first,
                                            const RDCurrency *second) {
    return Combine(result, first, second, false);
}

extern "C" RD_EXPORT uint32_t RDCurrencySubtract(RDCurrency *result, const RDCurrency *first,
                                                 const RDCurrency *second) {
    return Combine(result, first, second, true);
}
