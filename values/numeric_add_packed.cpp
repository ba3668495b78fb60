// SPDX-License-Identifier: Apache-2.0
// Addition and subtraction of numerics as packed decimal: the digits of
// each operand are shifted into one common layout (half-byte k holding the
// digit of the lowest exponent involved + k) and added sixteen at a time in
// 64-bit words; the result's digits are then cut out of the sum. Only the
// places that the operands and the result occupy are involved.
#include "rdx_status.h"
#include "values/numeric_internal.h"
#include "values/numeric_packed.h"

#include <algorithm>
#include <cstring>

namespace rdx {
namespace {

using namespace packed;

// Enough words for every place from kLowestExponent to kHighestExponent.
constexpr int kMaxWords = (kHighestExponent - kLowestExponent + 1 + 15) / 16;
constexpr int kDigitWords = (RDNUMERIC_DIGIT_BYTES + 7) / 8;

// Sixteen half-bytes of a number in little-endian words, from half-byte
// `start` on (which may lie below 0 or beyond the words: zeros there).
[[gnu::always_inline]] inline uint64_t NibblesAt(const uint64_t *word, int words, int start) {
    if (start <= -16) return 0;
    if (start < 0) return word[0] << (4 * -start);
    const int index = start >> 4, bits = (start & 15) * 4;
    if (index >= words) return 0;
    uint64_t value = word[index] >> bits;
    if (bits != 0 && index + 1 < words) value |= word[index + 1] << (64 - bits);
    return value;
}

// The digit bytes of n as a number in little-endian words (half-byte 0 is
// the last digit, or the unused half-byte of an odd precision). False when
// a half-byte is above 9 or the unused one is not 0.
[[gnu::always_inline]] inline bool LoadDigits(const RDNumeric &n, int bytes, uint64_t *word,
                                              int *words) {
    *words = (bytes + 7) / 8;
    uint64_t invalid = 0;
    for (int w = 0; w < *words; ++w) {
        const int start = bytes - 8 * (w + 1);
        word[w] = start >= 0 ? LoadBig(n.digits + start) : LoadBig(n.digits) >> (-8 * start);
        invalid |= HalfBytesAbove9(word[w]) & kEights;
    }
    if (n.precision % 2 != 0) invalid |= word[0] & 0x0F;
    return invalid == 0;
}

// n's digits in the common layout whose half-byte 0 has exponent low.
[[gnu::always_inline]] inline bool Place(const RDNumeric &n, int low, int words, uint64_t *out) {
    uint64_t digits[kDigitWords] = {};
    int digitWords = 0;
    if (n.precision != 0 && !LoadDigits(n, (n.precision + 1) / 2, digits, &digitWords))
        return false;
    if (digitWords == 0) { // no digits: zero
        std::fill(out, out + words, 0);
        return true;
    }
    // Half-byte 0 of the digits has the exponent of the last digit, or one
    // less for an odd precision.
    const int shift = BottomExponent(n) - n.precision % 2 - low;
    for (int w = 0; w < words; ++w) // a shift of 0: the operand's last place is the lowest
        out[w] = shift == 0 ? (w < digitWords ? digits[w] : 0)
                            : NibblesAt(digits, digitWords, 16 * w - shift);
    return true;
}

// True when a half-byte from `first` on is not 0.
bool AnyFrom(const uint64_t *word, int words, int first) {
    const int index = first / 16, bits = (first % 16) * 4;
    if (index >= words) return false;
    if ((word[index] >> bits) != 0) return true;
    for (int w = index + 1; w < words; ++w)
        if (word[w] != 0) return true;
    return false;
}

// Stores the half-bytes of r's places into its digit bytes, big-endian.
[[gnu::always_inline]] inline void TakeDigits(RDNumeric &r, const uint64_t *sum, int words,
                                              int low) {
    std::memset(r.digits, 0, sizeof r.digits);
    if (r.precision == 0) return;
    const int bytes = (r.precision + 1) / 2, digitWords = (bytes + 7) / 8;
    const int first = BottomExponent(r) - r.precision % 2 - low;
    uint64_t out[kDigitWords];
    for (int w = 0; w < digitWords; ++w)
        out[w] = first == 0 ? sum[w] : NibblesAt(sum, words, first + 16 * w);
    if (r.precision % 2 != 0) out[0] &= ~uint64_t{0x0F}; // below the last place
    const int topBytes = bytes - 8 * (digitWords - 1);
    // The highest word first: its 8-byte store reaches into the next
    // word's bytes, which are written after it.
    StoreBig(r.digits, out[digitWords - 1] << (8 * (8 - topBytes)));
    for (int w = digitWords - 2; w >= 0; --w)
        StoreBig(r.digits + bytes - 8 * (w + 1), out[w]);
}

} // namespace

bool AddPacked(RDNumeric &r, const RDNumeric &a, const RDNumeric &b, bool negateSecond,
               uint32_t *status) {
    const int low = std::min({BottomExponent(a), BottomExponent(b), BottomExponent(r)});
    const int high = std::max({TopExponent(a), TopExponent(b), TopExponent(r)}) + 1;
    const int words = (high - low + 1 + 15) / 16;
    uint64_t x[kMaxWords], y[kMaxWords], sum[kMaxWords];
    if (!Place(a, low, words, x) || !Place(b, low, words, y)) return false;

    const bool aNegative = IsNegative(a);
    const bool bNegative = IsNegative(b) != negateSecond;
    bool negative = aNegative;
    uint64_t carry = 0;
    if (aNegative == bNegative) {
        for (int w = 0; w < words; ++w)
            sum[w] = AddWord(x[w], y[w], carry);
    } else {
        // Larger magnitude minus smaller: plus the nines' complement plus 1,
        // the carry out of the highest place dropped.
        const int order = CompareWords(x, y, words);
        negative = order < 0 ? bNegative : (order > 0 ? aNegative : false);
        const uint64_t *large = order < 0 ? y : x, *small = order < 0 ? x : y;
        carry = 1;
        for (int w = 0; w < words; ++w)
            sum[w] = AddWord(large[w], kNines - small[w], carry);
    }
    r.sign = negative ? 1 : 0;
    if (AnyFrom(sum, words, TopExponent(r) + 1 - low)) {
        FillNines(r);
        *status = RDSTATUS_NOFIT;
        return true;
    }
    TakeDigits(r, sum, words, low);
    *status = RDSTATUS_OK;
    return true;
}

} // namespace rdx
