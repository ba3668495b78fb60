// SPDX-License-Identifier: Apache-2.0
// Conversions between currencies and 64-bit floats.
#include "rdx_status.h"
#include "values/currency_internal.h"

#include <cmath>

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDCurrencyFromFloat(RDCurrency *currency, const double *value) {
    if (currency == nullptr || value == nullptr) return RDSTATUS_NOCURRENCY;
    const double scaled = *value * 10000.0;
    // Ties to even on the magnitude; the default rounding mode is symmetric.
    const double magnitude = std::nearbyint(std::fabs(scaled));
    if (magnitude < 0x1p63) { // every such double is an exact integer below 2^63
        const auto integer = static_cast<int64_t>(magnitude);
        SetCurrencyValue(*currency, scaled < 0 ? -integer : integer);
        return RDSTATUS_OK;
    }
    // Too large (or not a number, which saturates nowhere and gives 0).
    int64_t saturated = 0;
    if (scaled < 0) saturated = kCurrencyMin;
    if (scaled > 0) saturated = kCurrencyMax;
    SetCurrencyValue(*currency, saturated);
    return RDSTATUS_NOFIT;
}

extern "C" RD_EXPORT uint32_t RDFloatFromCurrency(double *value, const RDCurrency *currency) {
    if (value != nullptr) *value = 0.0;
    if (value == nullptr || currency == nullptr) return RDSTATUS_NOFLOAT;
    *value = static_cast<double>(CurrencyValue(*currency)) / 10000.0;
    return RDSTATUS_OK;
}
