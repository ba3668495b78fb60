// Short texts are translated through buffers on the stack (and, into UTF-8,
// through a UTF-16 form of their own) instead of the converter pair and the
// storage used for long texts: both routes must give the same bytes.
#include "../values/rdx_test_env.h"
#include "xcore.h"

#include <cstring>
#include <vector>

using rdxtest::Repeat;
using rdxtest::Stream;
using rdxtest::Terminated;
using rdxtest::Wide;

namespace {

class IcuShortText : public rdxtest::SystemTest {
  protected:
    std::string Convert(const std::string &text, uint32_t from, uint32_t to) {
        Stream source(text, from), destination;
        uint8_t *data = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(0u, RDStreamDataConvert(&destination, &source, 0, to, &data, &length))
            << from << " -> " << to;
        EXPECT_EQ(destination.s.length, length);
        EXPECT_TRUE(destination.s.data == nullptr || Terminated(destination.s));
        return destination.Bytes();
    }
};

// Each text stands alone (no sequence is cut at its end), so a long text
// made of copies of it translates into copies of its translation.
TEST_F(IcuShortText, ShortAndLongRoutesAgree) {
    const std::string utf16be = std::string("\0a\xD8\x3D\xDE\x00\0b\xDC\x00\0c", 12);
    struct Case {
        std::string text;
        uint32_t from, to;
    } cases[] = {
        {"a\x81\x8D\x90\x9D\xE9\x80\x8C", 1252, 256}, // with unassigned bytes
        {"\x93\xFA\x96\x7B"
         "a\x81\x20"
         "b",
         932, 256},                                // Shift_JIS with a bad trail byte
        {"a\x95\x32\x82\x36\xB0\xA1", 54936, 256}, // GB18030: four bytes to a surrogate pair
        {utf16be, 1201, 256},                      // a pair and a lone low surrogate
        {std::string("a\0\0\0\x00\xF6\x01\0", 8), 12000, 256}, // UTF-32LE
        {"a\xFF\xC3\xA9\xE2\x82\xAC", 256, 160},               // invalid UTF-8 substituted
        {"ab\xC3\xA9", 256, 12000},                            // a four-byte terminator
        {Wide(u"\u00e9\u20ac\U0001F600"), 160, 256},
        {"\xE6\x97\xA5x", 256, 932},
    };
    for (const Case &c : cases) {
        const std::string once = Convert(c.text, c.from, c.to);
        EXPECT_FALSE(once.empty()) << c.from << " -> " << c.to;
        EXPECT_EQ(Repeat(once, 300), Convert(Repeat(c.text, 300), c.from, c.to))
            << c.from << " -> " << c.to;
    }
}

TEST_F(IcuShortText, KnownTranslationsIntoUtf8) {
    EXPECT_EQ("caf\xC3\xA9 \xE2\x82\xAC", Convert("caf\xE9 \x80", 1252, 256));
    EXPECT_EQ("\xF0\xA0\x80\x80", Convert("\x95\x32\x82\x36", 54936, 256)); // U+20000
    EXPECT_EQ("a\xEF\xBF\xBD"
              "b",
              Convert(std::string("\0a\xDC\x00\0b", 6), 1201, 256)); // lone surrogate
    EXPECT_EQ(std::string("a\0\0\0b\0\0\0", 8), Convert("ab", 256, 12000));
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
        std::memset(buffer, 0xAA, sizeof buffer);
        xcore::TranslateResult result;
        ASSERT_EQ(0u, xcore::Translate(to, cp1252, buffer, sizeof buffer, "a\xE9\x80", 3, &result));
        EXPECT_EQ(c.length + c.terminator, result.length) << c.code;
        EXPECT_EQ(c.terminator, result.terminator) << c.code;
        EXPECT_EQ(std::vector<unsigned char>(c.terminator, 0),
                  std::vector<unsigned char>(buffer + c.length, buffer + c.length + c.terminator));
        EXPECT_EQ(0xAA, buffer[c.length + c.terminator]) << c.code;

        std::memset(buffer, 0xAA, sizeof buffer);
        ASSERT_EQ(0u, xcore::Translate(to, cp1252, buffer, 4, "a\xE9\x80", 3, &result));
        EXPECT_EQ(c.length + c.terminator, result.length) << c.code;
        EXPECT_EQ(0xAA, buffer[4]) << c.code;
        xcore::CloseTable(to);
    }
    xcore::CloseTable(cp1252);
}

} // namespace
