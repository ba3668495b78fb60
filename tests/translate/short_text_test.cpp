// SPDX-License-Identifier: Apache-2.0
// Short texts are translated through buffers on the stack (and, into UTF-8,
// through a UTF-16 form of their own) instead of the converter pair and the
// storage used for long texts: both routes must give the same bytes.
#include "../values/rdx_test_env.h"
#include "xcore.h"

#include <cstring>
#include <vector>

using rdxtest::Converted;
using rdxtest::Repeat;

namespace {

class IcuShortText : public rdxtest::SystemTest {};

// Each text stands alone (no sequence is cut at its end), so a long text
// made of copies of it translates into copies of its translation.
TEST_F(IcuShortText, ShortAndLongRoutesAgree) {
    const std::tuple<std::string, uint32_t, uint32_t> cases[] = {
        {"a\x81\x8D\x90\x9D\xE9\x80\x8C", 1252, 256},   // with unassigned bytes
        {"\x93\xFA\x96\x7B\x61\x81\x20\x62", 932, 256}, // Shift_JIS, a bad trail byte
        {"a\x95\x32\x82\x36\xB0\xA1", 54936, 256},      // GB18030: four bytes to a pair
        {std::string("\0a\xD8\x3D\xDE\x00\0b\xDC\x00\0c", 12), 1201, 256}, // and a lone low half
        {std::string("a\0\0\0\x00\xF6\x01\0", 8), 12000, 256},             // UTF-32LE
        {"a\xFF\xC3\xA9\xE2\x82\xAC", 256, 160}, // invalid UTF-8 substituted
        {"ab\xC3\xA9", 256, 12000},              // a four-byte terminator
        {rdxtest::Wide(u"\u00e9\u20ac\U0001F600"), 160, 256},
        {"\xE6\x97\xA5x", 256, 932}};
    for (const auto &[text, from, to] : cases) {
        const std::string once = Converted(text, from, to);
        EXPECT_FALSE(once.empty()) << from << " -> " << to;
        EXPECT_EQ(Repeat(once, 300), Converted(Repeat(text, 300), from, to))
            << from << " -> " << to;
    }
}

TEST_F(IcuShortText, KnownTranslationsIntoUtf8) {
    EXPECT_EQ("\xF0\xA0\x80\x80", Converted("\x95\x32\x82\x36", 54936, 256)); // U+20000
    EXPECT_EQ("a\xEF\xBF\xBD\x62",
              Converted(std::string("\0a\xDC\x00\0b", 6), 1201, 256)); // lone surrogate
    EXPECT_EQ(std::string("a\0\0\0b\0\0\0", 8), Converted("ab", 256, 12000));
}

// The table's terminator (one, two or four bytes) follows the output in a
// caller's buffer; an output that does not fit is measured, not overrun.
TEST_F(IcuShortText, TranslateTerminatesAndMeasures) {
    int32_t country = 1;
    xcore::Table *cp1252 = nullptr;
    ASSERT_EQ(0u, xcore::OpenTable(&cp1252, &country, "en", 1252));
    const struct {
        uint32_t code, terminator, length;
    } cases[] = {{256, 1, 6}, {160, 2, 6}, {12000, 4, 12}};
    for (const auto &c : cases) {
        xcore::Table *to = nullptr;
        ASSERT_EQ(0u, xcore::OpenTable(&to, &country, "en", c.code));
        alignas(4) unsigned char buffer[32];
        for (uint32_t size : {32u, 4u}) {
            std::memset(buffer, 0xAA, sizeof buffer);
            xcore::TranslateResult result;
            ASSERT_EQ(0u, xcore::Translate(to, cp1252, buffer, size, "a\xE9\x80", 3, &result));
            EXPECT_EQ(c.length + c.terminator, result.length) << c.code;
            const uint32_t end = size < result.length ? size : result.length;
            EXPECT_EQ(0xAA, buffer[end]) << c.code << " " << size;
            if (size == 32) {
                EXPECT_EQ(c.terminator, result.terminator) << c.code;
                EXPECT_EQ(std::vector<unsigned char>(c.terminator, 0),
                          std::vector<unsigned char>(buffer + c.length, buffer + end));
            }
        }
        xcore::CloseTable(to);
    }
    xcore::CloseTable(cp1252);
}

} // namespace
