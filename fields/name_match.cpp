// Equality of list names, inline where the stream comparison orders names
// byte by byte.
#include "fields/name_match.h"

#include "rdx_status.h"
#include "translate/translation.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace rdx {

namespace {

// The letter-case folding of the C library's current locale: the table
// tolower reads. Where it folds the ASCII range as the C locale does
// (checked once per table), eight ASCII bytes are folded at a time.
struct Folding {
    const int32_t *table;
    bool ascii;
};

Folding CurrentFolding() {
    const int32_t *table = *__ctype_tolower_loc();
    thread_local const int32_t *checked = nullptr;
    if (table == checked) return {table, true};
    for (int c = 0; c < 0x80; ++c) {
        const int folded = c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
        if (table[c] != folded) return {table, false};
    }
    checked = table;
    return {table, true};
}

constexpr uint64_t kOnes = 0x0101010101010101;
constexpr uint64_t kHighBits = 0x8080808080808080;

// Eight ASCII bytes with A-Z folded to a-z (no byte has its high bit set,
// so no sum carries into the next byte).
inline uint64_t AsciiLower(uint64_t x) {
    const uint64_t atLeastA = x + (0x80 - 'A') * kOnes;
    const uint64_t aboveZ = x + (0x80 - 'Z' - 1) * kOnes;
    return x | (((atLeastA & ~aboveZ) & kHighBits) >> 2);
}

inline uint64_t Word(const uint8_t *bytes, uint32_t count) {
    uint64_t word = 0;
    std::memcpy(&word, bytes, count);
    return word;
}

// Equal after folding byte by byte as the stream comparison does.
bool FoldedEqual(const uint8_t *a, const uint8_t *b, uint32_t length, Folding folding) {
    for (uint32_t i = 0; i < length; i += 8) {
        const uint32_t count = length - i < 8 ? length - i : 8;
        const uint64_t x = count == 8 ? Word(a + i, 8) : Word(a + i, count);
        const uint64_t y = count == 8 ? Word(b + i, 8) : Word(b + i, count);
        if (x == y) continue;
        if (folding.ascii && ((x | y) & kHighBits) == 0) {
            if (AsciiLower(x) != AsciiLower(y)) return false;
            continue;
        }
        for (uint32_t k = i; k < i + count; ++k) {
            if (a[k] != b[k] && folding.table[a[k]] != folding.table[b[k]]) return false;
        }
    }
    return true;
}

} // namespace

NameMatcher::NameMatcher(uint32_t code) {
    // How the stream comparison orders two names of code with RDSTREAM_NOCASE.
    uint32_t first = code, second = code;
    EffectiveCharsets(0, &first, &second);
    equality_ = IsKind(first)                ? Equality::Bytes
                : first == RDCHARSET_UNICODE ? Equality::Collation
                                             : Equality::FoldedBytes;
    const Folding folding = CurrentFolding();
    folding_ = folding.table;
    asciiFolding_ = folding.ascii;
}

bool NameMatcher::Equal(const RDStream &candidate, const RDStream &name) const {
    if (candidate.length != name.length) return false;
    if (name.length == 0) return true;
    if (candidate.data == nullptr || name.data == nullptr) return false;
    switch (equality_) {
    case Equality::Bytes:
        return std::equal(name.data, name.data + name.length, candidate.data);
    case Equality::FoldedBytes:
        return FoldedEqual(candidate.data, name.data, name.length, {folding_, asciiFolding_});
    case Equality::Collation:
        break;
    }
    int32_t order = 1;
    return RDStreamDataCompare(&candidate, &name, &order) == RDSTATUS_OK && order == 0;
}

} // namespace rdx
