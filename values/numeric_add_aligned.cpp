// SPDX-License-Identifier: Apache-2.0
// Addition and subtraction of numerics that share precision and scale, the
// frequent case of columns of one type: the digit bytes of the three
// records line up place for place, so they are added as packed decimal
// words straight from the records, and every half-byte is checked in the
// same pass. The results are those of the general way, byte for byte.
#include "rdx_status.h"
#include "values/numeric_internal.h"
#include "values/numeric_packed.h"

#include <cstring>
#include <utility>

namespace rdx {
namespace {

using namespace packed;

constexpr int kWords = (RDNUMERIC_DIGIT_BYTES + 7) / 8;
// The last word starts here and holds only the record's last 4 bytes.
constexpr int kShortWordAt = 8 * (kWords - 1);
static_assert(RDNUMERIC_DIGIT_BYTES - kShortWordAt == 4);

// Digit bytes at..at+7 as a big-endian word (at + 8 may pass the record).
[[gnu::always_inline]] inline uint64_t WordAt(const RDNumeric &n, int at) {
    if (at < kShortWordAt) return LoadBig(n.digits + at);
    uint32_t big;
    std::memcpy(&big, n.digits + at, 4);
    return uint64_t{__builtin_bswap32(big)} << 32;
}

[[gnu::always_inline]] inline void PutWord(RDNumeric &n, int at, uint64_t word) {
    if (at < kShortWordAt) return StoreBig(n.digits + at, word);
    const uint32_t big = __builtin_bswap32(static_cast<uint32_t>(word >> 32));
    std::memcpy(n.digits + at, &big, 4);
}

// The masks of the least significant digit word of a precision: the bytes
// that hold digits, and the unused half-byte of an odd precision.
struct LastWord {
    uint64_t digits, unused;
};

template <int W> LastWord LastWordOf(int precision) {
    const int shift = 64 - 8 * ((precision + 1) / 2 - 8 * (W - 1));
    return {~uint64_t{0} << shift, precision % 2 != 0 ? uint64_t{0x0F} << shift : 0};
}

// Word w of n's digits, least significant first; that one masked.
template <int W>
[[gnu::always_inline]] inline uint64_t DigitWord(const RDNumeric &n, int w, LastWord last,
                                                 uint64_t *unusedSet) {
    const uint64_t word = WordAt(n, 8 * (W - 1 - w));
    if (w != 0) return word;
    *unusedSet |= word & last.unused;
    return word & last.digits;
}

// Stores the digit words of a result that fits.
template <int W> uint32_t Store(RDNumeric &r, const uint64_t *word, bool negative) {
    r.sign = negative ? 1 : 0;
    std::memset(r.digits, 0, sizeof r.digits);
    for (int w = 0; w < W; ++w)
        PutWord(r, 8 * (W - 1 - w), word[w]);
    return RDSTATUS_OK;
}

// Magnitudes added, each word checked as it is loaded. The general way,
// before anything is written, when a half-byte is above 9 or the unused
// half-byte of an odd precision is set.
template <int W>
uint32_t SumWords(RDNumeric &r, const RDNumeric &a, const RDNumeric &b, bool negateSecond,
                  bool negative) {
    const LastWord last = LastWordOf<W>(r.precision);
    uint64_t sum[W], carry = 0, above9 = 0, unusedSet = 0;
    for (int w = 0; w < W; ++w) {
        const uint64_t x = DigitWord<W>(a, w, last, &unusedSet);
        const uint64_t y = DigitWord<W>(b, w, last, &unusedSet);
        above9 |= HalfBytesAbove9(x) | HalfBytesAbove9(y);
        sum[w] = AddWord(x, y, carry);
    }
    if (((above9 & kEights) | unusedSet) != 0) return AddGeneral(r, a, b, negateSecond);
    if (carry != 0) { // a carry out of the highest place
        FillNines(r);
        r.sign = negative ? 1 : 0;
        return RDSTATUS_NOFIT;
    }
    return Store<W>(r, sum, negative);
}

// The larger magnitude minus the smaller: plus the nines' complement plus
// 1, which the cleared places below the last digit pass on. The sign is
// that of the larger; an equal pair gives +0.
template <int W>
uint32_t DifferenceWords(RDNumeric &r, const RDNumeric &a, const RDNumeric &b, bool negateSecond,
                         bool bNegative) {
    const LastWord last = LastWordOf<W>(r.precision);
    uint64_t x[W], y[W], above9 = 0, unusedSet = 0;
    for (int w = 0; w < W; ++w) {
        x[w] = DigitWord<W>(a, w, last, &unusedSet);
        y[w] = DigitWord<W>(b, w, last, &unusedSet);
        above9 |= HalfBytesAbove9(x[w]) | HalfBytesAbove9(y[w]);
    }
    if (((above9 & kEights) | unusedSet) != 0) return AddGeneral(r, a, b, negateSecond);
    int order = 0;
    for (int w = W - 1; w >= 0 && order == 0; --w)
        order = x[w] < y[w] ? -1 : (x[w] > y[w] ? 1 : 0);
    const bool negative = order < 0 ? bNegative : (order > 0 ? IsNegative(a) : false);
    if (order < 0)
        for (int w = 0; w < W; ++w)
            std::swap(x[w], y[w]);
    uint64_t carry = 1;
    for (int w = 0; w < W; ++w)
        x[w] = AddWord(x[w], kNines - y[w], carry);
    return Store<W>(r, x, negative);
}

template <int W>
uint32_t AddWords(RDNumeric &r, const RDNumeric &a, const RDNumeric &b, bool negateSecond) {
    const bool bNegative = IsNegative(b) != negateSecond;
    return IsNegative(a) == bNegative ? SumWords<W>(r, a, b, negateSecond, bNegative)
                                      : DifferenceWords<W>(r, a, b, negateSecond, bNegative);
}

// No digits: the sum is 0, signed as the general way signs it.
uint32_t AddNoDigits(RDNumeric &r, const RDNumeric &a, const RDNumeric &b, bool negateSecond) {
    const bool aNegative = IsNegative(a);
    r.sign = aNegative == (IsNegative(b) != negateSecond) && aNegative ? 1 : 0;
    std::memset(r.digits, 0, sizeof r.digits);
    return RDSTATUS_OK;
}

} // namespace

uint32_t AddAligned(RDNumeric &r, const RDNumeric &a, const RDNumeric &b, bool negateSecond) {
    using Add = uint32_t (*)(RDNumeric &, const RDNumeric &, const RDNumeric &, bool);
    static constexpr Add kByWords[kWords + 1] = {AddNoDigits, AddWords<1>, AddWords<2>, AddWords<3>,
                                                 AddWords<4>, AddWords<5>, AddWords<6>};
    return kByWords[(r.precision + 15) / 16](r, a, b, negateSecond);
}

} // namespace rdx
