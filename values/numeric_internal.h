// SPDX-License-Identifier: Apache-2.0
// Internals of numeric values shared by their operations and the fuzzers.
#pragma once

#include "rdx_numeric.h"
#include "values/value_text.h"

#include <cstddef>
#include <cstdint>

namespace rdx {

// Digit i of a numeric has the decimal exponent precision - scale - 1 - i.
// Over every record that passes the validity rule the exponents lie in
// [-127, 214]; a sum may carry one place higher.
constexpr int kLowestExponent = -127;
constexpr int kHighestExponent = 215;

inline int TopExponent(const RDNumeric &n) {
    return n.precision - n.scale - 1;
}

inline int BottomExponent(const RDNumeric &n) {
    return -n.scale;
}

inline int Digit(const RDNumeric &n, int i) {
    const uint8_t pair = n.digits[i / 2];
    return (i % 2 == 0) ? pair >> 4 : pair & 0x0F;
}

// Sets digit i of a numeric whose half-byte there is 0.
inline void PutDigit(RDNumeric &n, int i, int digit) {
    n.digits[i / 2] |= static_cast<uint8_t>((i % 2 == 0) ? digit << 4 : digit);
}

inline bool IsNegative(const RDNumeric &n) {
    return n.sign != 0;
}

// Turns a cleared record, in place, into 0 with precision 88 and scale 44.
void TurnClearedIntoZero(RDNumeric &numeric);

// The validity rule. A cleared record (first four bytes zero) is valid and
// is turned into 0 here.
inline bool ValidNumeric(RDNumeric *numeric) {
    if (numeric == nullptr) return false;
    if (numeric->marker == RDNUMERIC_MARKER)
        return numeric->precision <= RDNUMERIC_MAX_PRECISION && numeric->scale != -128;
    if (numeric->precision != 0 || numeric->scale != 0 || numeric->sign != 0 ||
        numeric->marker != 0)
        return false;
    TurnClearedIntoZero(*numeric);
    return true;
}

// The result of a value that does not fit: the first (precision + 1) / 2
// digit bytes become 0x99.
void FillNines(RDNumeric &numeric);

// Addition (or, with negateSecond, subtraction) of records whose digits
// are all decimal, on the packed digits; false, with nothing done, when a
// half-byte is above 9. Sets *status to 0 or 12801.
bool AddPacked(RDNumeric &r, const RDNumeric &a, const RDNumeric &b, bool negateSecond,
               uint32_t *status);

// The sum (or difference) of three records of one precision and scale,
// whose digit bytes line up: the short way when every half-byte is a
// digit, else AddGeneral. 0 or 12801, as AddGeneral gives them.
uint32_t AddAligned(RDNumeric &r, const RDNumeric &a, const RDNumeric &b, bool negateSecond);

// The sum (or difference) of records that pass the validity rule, in any
// layout: AddPacked, or on a row of places for half-bytes above 9.
uint32_t AddGeneral(RDNumeric &r, const RDNumeric &a, const RDNumeric &b, bool negateSecond);

// True when the records share precision and scale.
inline bool SameLayout(const RDNumeric &r, const RDNumeric &a, const RDNumeric &b) {
    return ((a.precision ^ r.precision) | (b.precision ^ r.precision) | (a.scale ^ r.scale) |
            (b.scale ^ r.scale)) == 0;
}

// Reads a number from length bytes of text into n's precision and scale,
// with the given decimal separator. 0, 12801 (n all 9s) or 12806.
uint32_t ReadNumericText(RDNumeric &n, const uint8_t *text, size_t length, IntlText decimal);

// Room for the longest numeric text (a sign, "0", a separator, 127 zeros
// and 88 digits, or 88 digits and 127 implied zeros).
constexpr size_t kNumericTextSize = 256;

// Writes the shortest text of n into buffer and returns its length;
// *pointWritten tells whether a decimal separator was written (it may have
// been removed again with the trailing zeros).
size_t FormatNumeric(const RDNumeric &n, IntlText decimal, char *buffer, bool *pointWritten);

} // namespace rdx
