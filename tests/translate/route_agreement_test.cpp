// SPDX-License-Identifier: Apache-2.0
// The fast conversion routes against the general ones, on random text of
// every length from 0 to 300 bytes, well-formed and not: translation
// straight into the destination's block (a destination without a maximum
// length) against the stack buffer and the library's allocation (a
// destination with one), and, where ICU offers an independent route, both
// against ICU itself.
#include "../values/rdx_test_env.h"

#include <malloc.h>
#include <random>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <utility>

namespace {

class RouteAgreement : public rdxtest::SystemTest {};

using Outcome = std::pair<uint32_t, std::string>; // status, bytes

// The conversion into a destination without a maximum length (maxLength
// 0), or into one with a maximum length far above the output.
Outcome Convert(const std::string &text, uint32_t from, uint32_t to, uint32_t maxLength) {
    rdxtest::Stream source(text, from);
    RDStream destination{};
    EXPECT_EQ(0u, RDStreamCreate(&destination, maxLength, 0, to));
    const uint32_t status =
        RDStreamDataConvert(&destination, &source, RDCONVERT_KEEPFORMAT, to, nullptr, nullptr);
    Outcome outcome{status, std::string(reinterpret_cast<char *>(destination.data),
                                        status == 0 ? destination.length : 0)};
    if (status == 0) {
        EXPECT_TRUE(rdxtest::Terminated(destination));
    }
    RDStreamDataFree(&destination);
    return outcome;
}

// Random code points: mostly ASCII, then Latin-1, the rest of the BMP and
// beyond it (never surrogates).
UChar32 RandomCodePoint(std::mt19937 &random) {
    switch (std::uniform_int_distribution<int>(0, 9)(random)) {
    case 0:
    case 1:
        return std::uniform_int_distribution<UChar32>(0xA0, 0xFF)(random);
    case 2:
        return std::uniform_int_distribution<UChar32>(0x100, 0xD7FF)(random);
    case 3:
        return std::uniform_int_distribution<UChar32>(0xE000, 0xFFFD)(random);
    case 4:
        return std::uniform_int_distribution<UChar32>(0x10000, 0x10FFFF)(random);
    default:
        return std::uniform_int_distribution<UChar32>(0x20, 0x7E)(random);
    }
}

// The character in the converter's set, or nothing when the set lacks it.
std::string Encode(UConverter *converter, UChar32 c) {
    UChar units[2];
    int32_t count = 0;
    U16_APPEND_UNSAFE(units, count, c);
    char out[16];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(converter, out, sizeof out, units, count, &status);
    return U_SUCCESS(status) ? std::string(out, static_cast<size_t>(n)) : std::string();
}

// Well-formed text of exactly length bytes in the converter's set: random
// characters while they fit, then ASCII.
std::string ValidText(UConverter *converter, size_t length, std::mt19937 &random) {
    std::string text;
    for (int tries = 0; text.size() < length && tries < 4 * static_cast<int>(length); ++tries) {
        const std::string c = Encode(converter, RandomCodePoint(random));
        if (c != "\x1A" && text.size() + c.size() <= length) text += c;
    }
    while (text.size() < length)
        text += 'a';
    return text;
}

std::string RandomBytes(size_t length, std::mt19937 &random) {
    std::string text(length, '\0');
    for (char &byte : text)
        byte = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
    return text;
}

TEST_F(RouteAgreement, BlockStackAndAllocationAgree) {
    const std::pair<uint32_t, const char *> pairs[][2] = {
        {{256, "UTF-8"}, {160, "UTF-16LE"}},       {{160, "UTF-16LE"}, {256, "UTF-8"}},
        {{256, "UTF-8"}, {65001, "UTF-8"}},        {{1252, "windows-1252"}, {256, "UTF-8"}},
        {{256, "UTF-8"}, {1252, "windows-1252"}},  {{932, "Shift_JIS"}, {256, "UTF-8"}},
        {{256, "UTF-8"}, {932, "Shift_JIS"}},      {{54936, "GB18030"}, {160, "UTF-16LE"}},
        {{160, "UTF-16LE"}, {28591, "ISO-8859-1"}}};
    std::mt19937 random(20261207);
    for (const auto &[from, to] : pairs) {
        UErrorCode status = U_ZERO_ERROR;
        UConverter *converter = ucnv_open(from.second, &status);
        ASSERT_TRUE(U_SUCCESS(status)) << from.second;
        for (size_t length = 0; length <= 300; ++length) {
            for (const std::string &text :
                 {ValidText(converter, length, random), RandomBytes(length, random)}) {
                const Outcome block = Convert(text, from.first, to.first, 0);
                const Outcome general = Convert(text, from.first, to.first, 1 << 20);
                ASSERT_EQ(block, general) << from.first << " -> " << to.first << ", " << length;
            }
        }
        ucnv_close(converter);
    }
}

// ICU's own routes through UTF-16 for the pairs with a fast route of their
// own: UTF-8 to UTF-16 and back, UTF-8 between two codes, windows-1252 into
// UTF-8.
std::string ThroughUtf16(const std::string &text, const char *fromName, bool toUtf8) {
    std::u16string units(text.size() + 1, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t count = 0;
    if (std::string(fromName) == "UTF-8") {
        u_strFromUTF8WithSub(units.data(), static_cast<int32_t>(units.size()), &count, text.data(),
                             static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    } else {
        UConverter *converter = ucnv_open(fromName, &status);
        count = ucnv_toUChars(converter, units.data(), static_cast<int32_t>(units.size()),
                              text.data(), static_cast<int32_t>(text.size()), &status);
        ucnv_close(converter);
    }
    EXPECT_TRUE(U_SUCCESS(status));
    if (!toUtf8) return std::string(reinterpret_cast<const char *>(units.data()), 2 * count);
    std::string out(4 * static_cast<size_t>(count) + 1, '\0');
    int32_t n = 0;
    u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &n, units.data(), count, &status);
    EXPECT_TRUE(U_SUCCESS(status));
    out.resize(static_cast<size_t>(n));
    return out;
}

TEST_F(RouteAgreement, FastRoutesGiveIcusBytes) {
    const struct {
        uint32_t from, to;
        const char *fromName;
        bool toUtf8;
    } pairs[] = {
        {256, 160, "UTF-8", false}, {256, 65001, "UTF-8", true}, {1252, 256, "windows-1252", true}};
    std::mt19937 random(7);
    for (const auto &pair : pairs) {
        UErrorCode status = U_ZERO_ERROR;
        UConverter *converter = ucnv_open(pair.fromName, &status);
        for (size_t length = 0; length <= 300; ++length) {
            for (const std::string &text :
                 {ValidText(converter, length, random), RandomBytes(length, random)}) {
                const Outcome block = Convert(text, pair.from, pair.to, 0);
                ASSERT_EQ(0u, block.first);
                ASSERT_EQ(ThroughUtf16(text, pair.fromName, pair.toUtf8), block.second)
                    << pair.from << " -> " << pair.to << ", " << length;
            }
        }
        ucnv_close(converter);
    }
    // Texts long enough to cross the stack pieces of the route into UTF-8,
    // one of them with characters beyond the BMP (two units each) at every
    // offset of a piece's end.
    const std::string cp1252 = RandomBytes(10000, random);
    EXPECT_EQ(ThroughUtf16(cp1252, "windows-1252", true), Convert(cp1252, 1252, 256, 0).second);
    std::string gb18030 = rdxtest::Repeat("\x95\x32\x82\x36", 700);
    for (int shift = 0; shift < 3; ++shift) {
        gb18030.insert(0, "a");
        EXPECT_EQ(ThroughUtf16(gb18030, "GB18030", true), Convert(gb18030, 54936, 256, 0).second);
    }
}

// A text whose output is far below its estimate (ASCII from windows-1252
// into UTF-8, estimated at three bytes a byte) ends in a block of about its
// own size, its bytes intact.
TEST_F(RouteAgreement, MostlyUnusedBlocksAreReplaced) {
    for (size_t length : {300u, 5000u, 100000u}) {
        const std::string text = rdxtest::Repeat("abc\xE9", static_cast<int>(length / 4));
        rdxtest::Stream source(text, 1252), destination;
        ASSERT_EQ(0u, RDStreamDataConvert(&destination, &source, 0, 256, nullptr, nullptr));
        EXPECT_EQ(rdxtest::Repeat("abc\xC3\xA9", static_cast<int>(length / 4)),
                  destination.Bytes());
        EXPECT_TRUE(rdxtest::Terminated(destination.s));
        EXPECT_LT(malloc_usable_size(destination.s.data - 4), 2 * destination.s.length + 1100)
            << length;
    }
}

} // namespace
