// SPDX-License-Identifier: Apache-2.0
// Exact decimal numbers between texts, the engine's numeric records and
// 64-bit integers, with no float on the way: a number is its significant
// digits and a power of ten. A value with more digits after the point than
// its place holds is never cut unseen: Rescale says so, or rounds it half
// to even when asked.
#pragma once

#include "rdx_numeric.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rdxc {

enum class Rounding { None, HalfEven };

// value = (-1)^negative * digits * 10^exponent; digits has no leading or
// trailing zeros and is empty for 0.
struct Decimal {
    bool negative = false;
    std::string digits;
    int64_t exponent = 0;
};

// Reads [+-]digits[.digits][(e|E)[+-]digits], the whole text, at least one
// digit before the exponent. Exponents beyond +-100,000 are refused.
bool ParseDecimal(std::string_view text, Decimal &out);

// The digits after the point (0 for whole numbers) and before it.
int64_t ScaleOf(const Decimal &value);
int64_t IntegerDigits(const Decimal &value);

enum class Fit { Exact, Rounded, TooFine };
// Brings the value to at most `scale` digits after the point. A value that
// has non-zero digits beyond them is rounded half to even with
// Rounding::HalfEven, else left as it is and TooFine returned.
Fit Rescale(Decimal &value, int32_t scale, Rounding rounding);

// The plain text of the value with exactly `scale` digits after the point
// (no point for scale 0); the value must have no more than that.
void FormatDecimal(const Decimal &value, int32_t scale, std::string &out);

// The value of a numeric record (a cleared one is 0); false when the
// record is not valid.
bool DecimalOf(const RDNumeric &record, Decimal &out);
// Stores value into a created record of its own precision and scale.
// RDSTATUS_NOFIT when it has more digits before the point than the record
// holds; the value must have no more digits after it (Rescale first).
uint32_t StoreDecimal(const Decimal &value, RDNumeric &record);

// The value as a 64-bit integer: false when it has a fraction or does not
// fit.
bool ToInt64(const Decimal &value, int64_t &out);
Decimal FromInt64(int64_t value);

} // namespace rdxc
