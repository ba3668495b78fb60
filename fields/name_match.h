// SPDX-License-Identifier: Apache-2.0
// Equality of list names as the stream comparison of two names of one
// character set decides it (letter case ignored: list names carry
// RDSTREAM_NOCASE). For the sets that comparison orders byte by byte the
// same test runs inline, without a call per name, folding with the same
// locale table as tolower; Unicode names go through the comparison itself.
#pragma once

#include "rdx_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace rdx {

namespace namematch {

struct Folding {
    const int32_t *table; // the table tolower reads
    bool ascii;           // it folds ASCII as the C locale does
};

constexpr uint64_t kOnes = 0x0101010101010101;
constexpr uint64_t kHighBits = 0x8080808080808080;

// Eight ASCII bytes with A-Z folded to a-z (no byte has its high bit set,
// so no sum carries into the next byte).
inline uint64_t AsciiLower(uint64_t x) {
    const uint64_t atLeastA = x + (0x80 - 'A') * kOnes;
    const uint64_t aboveZ = x + (0x80 - 'Z' - 1) * kOnes;
    return x | (((atLeastA & ~aboveZ) & kHighBits) >> 2);
}

inline uint64_t Load8(const uint8_t *bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, 8);
    return word;
}

inline uint64_t Load4(const uint8_t *bytes) {
    uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
}

// Words x and y of bytes [from, from + count) of a and b equal after
// folding: eight ASCII bytes at once where the table folds ASCII as the C
// locale does, else byte by byte through the table.
inline bool FoldedWordsEqual(uint64_t x, uint64_t y, const uint8_t *a, const uint8_t *b,
                             uint32_t from, uint32_t count, Folding folding) {
    if (x == y) return true;
    if (folding.ascii && ((x | y) & kHighBits) == 0) return AsciiLower(x) == AsciiLower(y);
    for (uint32_t k = from; k < from + count; ++k) {
        if (a[k] != b[k] && folding.table[a[k]] != folding.table[b[k]]) return false;
    }
    return true;
}

// Equal after folding byte by byte as the stream comparison does. Whole
// words are read inside the texts only: a tail is read as the last eight
// (or, for 4-7 bytes, two overlapping four) bytes again.
inline bool FoldedEqual(const uint8_t *a, const uint8_t *b, uint32_t length, Folding folding) {
    if (length >= 8) {
        for (uint32_t i = 0; i + 8 <= length; i += 8) {
            if (!FoldedWordsEqual(Load8(a + i), Load8(b + i), a, b, i, 8, folding)) return false;
        }
        const uint32_t last = length - 8;
        return length % 8 == 0 ||
               FoldedWordsEqual(Load8(a + last), Load8(b + last), a, b, last, 8, folding);
    }
    if (length >= 4) {
        const uint64_t x = Load4(a) | Load4(a + length - 4) << 32;
        const uint64_t y = Load4(b) | Load4(b + length - 4) << 32;
        return FoldedWordsEqual(x, y, a, b, 0, length, folding);
    }
    uint64_t x = 0, y = 0;
    for (uint32_t k = 0; k < length; ++k) {
        x |= uint64_t{a[k]} << (8 * k);
        y |= uint64_t{b[k]} << (8 * k);
    }
    return FoldedWordsEqual(x, y, a, b, 0, length, folding);
}

} // namespace namematch

class NameMatcher {
  public:
    // For names of the character set code.
    explicit NameMatcher(uint32_t code);
    // Equal lengths first, then the bytes; inline, as it runs once per
    // name of a lookup or merge.
    bool Equal(const RDStream &candidate, const RDStream &name) const {
        if (candidate.length != name.length) return false;
        if (name.length == 0) return true;
        if (candidate.data == nullptr || name.data == nullptr) return false;
        switch (equality_) {
        case Equality::Bytes:
            return std::equal(name.data, name.data + name.length, candidate.data);
        case Equality::FoldedBytes:
            return namematch::FoldedEqual(candidate.data, name.data, name.length, folding_);
        case Equality::Collation:
            break;
        }
        return Collated(candidate, name);
    }

  private:
    enum class Equality { Bytes, FoldedBytes, Collation };
    bool Collated(const RDStream &candidate, const RDStream &name) const;
    Equality equality_;
    namematch::Folding folding_;
};

} // namespace rdx
