// SPDX-License-Identifier: Apache-2.0
// Internals of currency values shared by their operations and the fuzzers.
#pragma once

#include "rdplat_intl.h"
#include "rdx_currency.h"

#include <cstddef>
#include <cstdint>

namespace rdx {

// The ends of the range used; -2^63 is never produced.
constexpr int64_t kCurrencyMax = INT64_MAX;
constexpr int64_t kCurrencyMin = -INT64_MAX;

inline int64_t CurrencyValue(const RDCurrency &currency) {
    return static_cast<int64_t>((static_cast<uint64_t>(currency.high) << 32) | currency.low);
}

inline void SetCurrencyValue(RDCurrency &currency, int64_t value) {
    const auto bits = static_cast<uint64_t>(value);
    currency.low = static_cast<uint32_t>(bits);
    currency.high = static_cast<uint32_t>(bits >> 32);
}

// Reads an amount from length bytes of text with the given settings. On 0
// and on 12801 (saturated) *value is set; on 12805 it is left alone.
uint32_t ReadCurrencyText(const uint8_t *text, size_t length, const RDIntlFormat &intl,
                          int64_t *value);

// Room for the longest amount text: "-922337203685477.5808".
constexpr size_t kCurrencyTextSize = 24;

// Writes the amount as "-1234.5000" into buffer; returns its length.
size_t FormatCurrency(int64_t value, char *buffer);

} // namespace rdx
