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

// The sum of records of W digit words: their words least significant
// first, the bytes after the last digit byte cleared. False, with nothing
// done, when a half-byte is above 9 or the unused half-byte of an odd
// precision is not 0.
template <int W>
bool AddWords(RDNumeric &r, const RDNumeric &a, const RDNumeric &b, bool negateSecond,
              uint32_t *status) {
    const int lastBits = 8 * ((r.precision + 1) / 2 - 8 * (W - 1));
    const uint64_t lastMask = ~uint64_t{0} << (64 - lastBits);
    const uint64_t unused = r.precision % 2 != 0 ? uint64_t{0x0F} << (64 - lastBits) : 0;
    uint64_t x[W], y[W];
    for (int w = 0; w < W; ++w) {
        x[w] = WordAt(a, 8 * (W - 1 - w));
        y[w] = WordAt(b, 8 * (W - 1 - w));
    }
    const uint64_t unusedSet = (x[0] | y[0]) & unused;
    x[0] &= lastMask;
    y[0] &= lastMask;
    uint64_t above9 = 0;
    for (int w = 0; w < W; ++w)
        above9 |= HalfBytesAbove9(x[w]) | HalfBytesAbove9(y[w]);
    if ((above9 & kEights) != 0 || unusedSet != 0) return false;

    const bool aNegative = IsNegative(a);
    const bool bNegative = IsNegative(b) != negateSecond;
    bool negative = aNegative;
    uint64_t carry = 0;
    if (aNegative == bNegative) {
        for (int w = 0; w < W; ++w)
            x[w] = AddWord(x[w], y[w], carry);
        if (carry != 0) { // a carry out of the highest place
            FillNines(r);
            r.sign = negative ? 1 : 0;
            *status = RDSTATUS_NOFIT;
            return true;
        }
    } else {
        // Larger magnitude minus smaller: plus the nines' complement plus 1,
        // which the cleared places below the last digit pass on.
        int order = 0;
        for (int w = W - 1; w >= 0 && order == 0; --w)
            order = x[w] < y[w] ? -1 : (x[w] > y[w] ? 1 : 0);
        negative = order < 0 ? bNegative : (order > 0 ? aNegative : false);
        if (order < 0)
            for (int w = 0; w < W; ++w)
                std::swap(x[w], y[w]);
        carry = 1;
        for (int w = 0; w < W; ++w)
            x[w] = AddWord(x[w], kNines - y[w], carry);
    }
    r.sign = negative ? 1 : 0;
    std::memset(r.digits, 0, sizeof r.digits);
    for (int w = 0; w < W; ++w)
        PutWord(r, 8 * (W - 1 - w), x[w]);
    *status = RDSTATUS_OK;
    return true;
}

// No digits: the sum is 0, signed as the general way signs it.
bool AddNoDigits(RDNumeric &r, const RDNumeric &a, const RDNumeric &b, bool negateSecond,
                 uint32_t *status) {
    const bool aNegative = IsNegative(a);
    r.sign = aNegative == (IsNegative(b) != negateSecond) && aNegative ? 1 : 0;
    std::memset(r.digits, 0, sizeof r.digits);
    *status = RDSTATUS_OK;
    return true;
}

} // namespace

bool AddAligned(RDNumeric &r, const RDNumeric &a, const RDNumeric &b, bool negateSecond,
                uint32_t *status) {
    using Add = bool (*)(RDNumeric &, const RDNumeric &, const RDNumeric &, bool, uint32_t *);
    static constexpr Add kByWords[kWords + 1] = {AddNoDigits, AddWords<1>, AddWords<2>, AddWords<3>,
                                                 AddWords<4>, AddWords<5>, AddWords<6>};
    return kByWords[(r.precision + 15) / 16](r, a, b, negateSecond, status);
}

} // namespace rdx
