// SPDX-License-Identifier: Apache-2.0
// Packed decimal words shared by the additions of numerics: sixteen
// decimal digits per 64-bit word, one per half-byte, the most significant
// digit in the highest half-byte.
#pragma once

#include <cstdint>
#include <cstring>

namespace rdx::packed {

constexpr uint64_t kSixes = 0x6666666666666666ULL;
constexpr uint64_t kNines = 0x9999999999999999ULL;

inline uint64_t LoadBig(const uint8_t *at) {
    uint64_t big;
    std::memcpy(&big, at, 8);
    return __builtin_bswap64(big);
}

inline void StoreBig(uint8_t *at, uint64_t word) {
    const uint64_t big = __builtin_bswap64(word);
    std::memcpy(at, &big, 8);
}

constexpr uint64_t kEights = 0x8888888888888888ULL;

// The high bit of every half-byte of word that is above 9 (8 and 4, or 8
// and 2), among other bits: only the bits of kEights tell.
inline uint64_t HalfBytesAbove9(uint64_t word) {
    return word & ((word << 1) | (word << 2));
}

// One word of packed decimal digits: a + b + carry, with the carry out.
[[gnu::always_inline]] inline uint64_t AddWord(uint64_t a, uint64_t b, uint64_t &carry) {
    const uint64_t t1 = a + kSixes; // no half-byte of a exceeds 9: no overflow
    uint64_t t2;
    const bool out1 = __builtin_add_overflow(t1, b, &t2);
    const bool out2 = __builtin_add_overflow(t2, carry, &t2);
    carry = (out1 || out2) ? 1 : 0;
    // A half-byte that passed no carry on still holds its added 6.
    const uint64_t noCarry = ~(t2 ^ t1 ^ b) & 0x1111111111111110ULL;
    uint64_t sixes = (noCarry >> 2) | (noCarry >> 3);
    sixes |= (carry - 1) & 0x6000000000000000ULL; // the highest, unless it carried
    return t2 - sixes;
}

// -1, 0 or 1 as the magnitude x is below, equal to or above y (words
// least significant first).
inline int CompareWords(const uint64_t *x, const uint64_t *y, int words) {
    for (int w = words - 1; w >= 0; --w)
        if (x[w] != y[w]) return x[w] < y[w] ? -1 : 1;
    return 0;
}

} // namespace rdx::packed
