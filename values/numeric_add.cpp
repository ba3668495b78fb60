// SPDX-License-Identifier: Apache-2.0
// Addition and subtraction of numerics into the result's own precision and
// scale: exact, then truncated toward zero. Records of decimal digits are
// added as packed decimal (numeric_add_aligned.cpp when the three records
// share precision and scale, else numeric_add_packed.cpp); records holding
// half-bytes above 9 (which the validity rule lets through) are added here,
// on a row with one place per exponent, where such a half-byte simply
// counts its value at its place. Only the places that the operands and the
// result occupy are touched.
#include "rdx_status.h"
#include "values/numeric_internal.h"

#include <algorithm>
#include <bit>
#include <cstring>

using namespace rdx;

namespace {

constexpr int kRowSize = kHighestExponent - kLowestExponent + 1;

// One decimal place per exponent; places hold transient sums and deficits.
class Row {
  public:
    Row(int low, int high) : low_(low), high_(high) {
        std::memset(place_ + Index(low), 0, static_cast<size_t>(high - low + 1));
    }

    // Adds (or subtracts) every digit of n at its place, two per byte.
    void Put(const RDNumeric &n, bool subtract) {
        if (n.precision == 0) return; // its top may lie below the row
        const int sign = subtract ? -1 : 1;
        int8_t *at = place_ + Index(TopExponent(n));
        const int pairs = n.precision / 2;
        for (int k = 0; k < pairs; ++k, at -= 2) {
            const int pair = n.digits[k];
            at[0] = static_cast<int8_t>(at[0] + sign * (pair >> 4));
            at[-1] = static_cast<int8_t>(at[-1] + sign * (pair & 0x0F));
        }
        if (n.precision % 2 != 0) {
            const int high = n.digits[pairs] >> 4;
            at[0] = static_cast<int8_t>(at[0] + sign * high);
        }
    }

    // Carries excesses and borrows deficits upward so that every place
    // holds 0..9; returns the carry out of the highest place (-1 when the
    // row holds a negative value).
    int Normalise() {
        int carry = 0;
        for (int i = Index(low_); i <= Index(high_); ++i) {
            const int value = place_[i] + carry;
            carry = (value + 200) / 10 - 20; // floor(value / 10)
            place_[i] = static_cast<int8_t>(value - carry * 10);
        }
        return carry;
    }

    void Negate() {
        for (int i = Index(low_); i <= Index(high_); ++i)
            place_[i] = static_cast<int8_t>(-place_[i]);
    }

    // True when a place above exponent top is non-zero.
    bool AnyAbove(int top) const {
        for (int e = std::max(top + 1, low_); e <= high_; ++e)
            if (place_[Index(e)] != 0) return true;
        return false;
    }

    // Stores the places of r's digits into r, whose digit bytes are zero.
    void Take(RDNumeric &r) const {
        if (r.precision == 0) return;
        const int8_t *at = place_ + Index(TopExponent(r));
        const int pairs = r.precision / 2;
        for (int k = 0; k < pairs; ++k, at -= 2)
            r.digits[k] = static_cast<uint8_t>(at[0] << 4 | at[-1]);
        if (r.precision % 2 != 0) r.digits[pairs] = static_cast<uint8_t>(at[0] << 4);
    }

  private:
    static int Index(int exponent) { return exponent - kLowestExponent; }

    int low_, high_;
    int8_t place_[kRowSize];
};

// One test for the frequent case: three created records of one precision
// and scale (the sign aside) that pass the validity rule.
inline bool LinedUp(const RDNumeric *result, const RDNumeric *first, const RDNumeric *second) {
    if (result == nullptr || first == nullptr || second == nullptr) return false;
    // Precision, scale and marker: every byte of the head but the sign.
    constexpr uint32_t kLayout =
        std::endian::native == std::endian::little ? 0xFF00FFFF : 0xFFFF00FF;
    uint32_t r, a, b;
    std::memcpy(&r, result, 4);
    std::memcpy(&a, first, 4);
    std::memcpy(&b, second, 4);
    return (((r ^ a) | (r ^ b)) & kLayout) == 0 && result->marker == RDNUMERIC_MARKER &&
           result->precision <= RDNUMERIC_MAX_PRECISION && result->scale != -128;
}

// Records holding half-bytes above 9: each counts its value at its place.
uint32_t AddOnRow(RDNumeric *result, const RDNumeric *first, const RDNumeric *second,
                  bool negateSecond) {
    const bool firstNegative = IsNegative(*first);
    const bool secondNegative = IsNegative(*second) != negateSecond;
    const bool subtract = firstNegative != secondNegative;
    // In subtraction mode the positive operand is placed first.
    const RDNumeric &base = (subtract && firstNegative) ? *second : *first;
    const RDNumeric &other = (subtract && firstNegative) ? *first : *second;

    const int low =
        std::min({BottomExponent(*first), BottomExponent(*second), BottomExponent(*result)});
    const int high =
        std::max({TopExponent(*first), TopExponent(*second), TopExponent(*result)}) + 1;
    Row row(low, high);
    row.Put(base, false);
    row.Put(other, subtract);
    bool negative = firstNegative;
    const bool below = row.Normalise() < 0;
    if (subtract) {
        negative = below;
        if (negative) { // the difference of magnitudes the other way round
            row.Negate();
            row.Normalise();
        }
    }

    if (row.AnyAbove(TopExponent(*result))) {
        FillNines(*result);
        result->sign = negative ? 1 : 0;
        return RDSTATUS_NOFIT;
    }
    std::memset(result->digits, 0, sizeof result->digits);
    row.Take(*result);
    result->sign = negative ? 1 : 0;
    return RDSTATUS_OK;
}

// Out of line: the exported functions test the frequent case first.
[[gnu::noinline]] uint32_t Sum(RDNumeric *result, RDNumeric *first, RDNumeric *second,
                               bool negateSecond) {
    if (!ValidNumeric(result) || !ValidNumeric(first) || !ValidNumeric(second))
        return RDSTATUS_NONUMERIC;
    if (SameLayout(*result, *first, *second))
        return AddAligned(*result, *first, *second, negateSecond);
    return AddGeneral(*result, *first, *second, negateSecond);
}

} // namespace

namespace rdx {

uint32_t AddGeneral(RDNumeric &r, const RDNumeric &a, const RDNumeric &b, bool negateSecond) {
    uint32_t status = RDSTATUS_OK;
    if (AddPacked(r, a, b, negateSecond, &status)) return status;
    return AddOnRow(&r, &a, &b, negateSecond);
}

} // namespace rdx

extern "C" RD_EXPORT uint32_t RDNumericAdd(RDNumeric *result, RDNumeric *first, RDNumeric *second) {
    if (LinedUp(result, first, second)) return AddAligned(*result, *first, *second, false);
    return Sum(result, first, second, false);
}

extern "C" RD_EXPORT uint32_t RDNumericSubtract(RDNumeric *result, RDNumeric *first,
                                                RDNumeric *second) {
    if (result == nullptr || first == nullptr || second == nullptr) return RDSTATUS_NONUMERIC;
    if (LinedUp(result, first, second)) return AddAligned(*result, *first, *second, true);
    return Sum(result, first, second, true);
}
