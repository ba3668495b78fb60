// Real translations through ICU, checked byte for byte, the Translation
// modes, and the measuring of texts.
#include "../values/rdx_test_env.h"
#include "translate/translation.h"

using rdxtest::Repeat;
using rdxtest::Stream;
using rdxtest::Terminated;
using rdxtest::Wide;

namespace {

class IcuTranslation : public rdxtest::SystemTest {
  protected:
    // Converts text of code from into code to; returns the bytes.
    std::string Convert(const std::string &text, uint32_t from, uint32_t to, uint32_t options = 0,
                        uint32_t expectStatus = 0) {
        Stream source(text, from), destination;
        uint8_t *data = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(expectStatus,
                  RDStreamDataConvert(&destination, &source, options, to, &data, &length))
            << from << " -> " << to;
        if (expectStatus == 0) {
            EXPECT_EQ(destination.s.data, data);
            EXPECT_EQ(destination.s.length, length);
            EXPECT_EQ(to, destination.s.charset);
            EXPECT_TRUE(Terminated(destination.s));
        }
        return destination.Bytes();
    }
};

TEST_F(IcuTranslation, ConvertsBetweenTheCommonSets) {
    const std::string utf8 = "caf\xC3\xA9 \xE2\x82\xAC"
                             "5 \xC5\x92"; // café €5 Œ
    const std::string cp1252 = "caf\xE9 \x80"
                               "5 \x8C";
    const std::string utf16 = Wide(u"caf\u00e9 \u20ac5 \u0152");
    const std::string latin1 = "\xF1\xFC\xFF", latin1Utf8 = "\xC3\xB1\xC3\xBC\xC3\xBF";
    const std::string emoji = "\xF0\x9F\x98\x80", emojiWide = Wide(u"\U0001F600");
    struct Case {
        std::string text;
        uint32_t from, to;
        std::string expected;
    } cases[] = {
        {utf8, 256, 160, utf16},
        {utf16, 160, 256, utf8},
        {cp1252, 1252, 256, utf8},
        {utf8, 256, 1252, cp1252},
        {cp1252, 1252, 160, utf16},
        {utf16, 160, 1252, cp1252},
        {latin1, 28591, 256, latin1Utf8},
        {latin1Utf8, 256, 28591, latin1},
        {Wide(u"\u00f1\u00fc\u00ff"), 160, 28591, latin1},
        {"\xE9\x80", 1252, 28591, "\xE9\x1A"},                      // no euro sign in Latin-1
        {"\xE6\x97\xA5\xE6\x9C\xAC", 256, 932, "\x93\xFA\x96\x7B"}, // Shift_JIS
        {"\x93\xFA\x96\x7B", 932, 160, Wide(u"\u65e5\u672c")},
        {emoji, 256, 160, emojiWide},
        {cp1252, 1252, RDCHARSET_DEFAULT, utf8}, // the native set is UTF-8 here
        {"a\xFF"
         "b",
         256, 160, Wide(u"a\ufffdb")}, // invalid UTF-8 is substituted
        {"", 1252, 256, ""},
        // Long texts take the path where the library allocates the output.
        {Repeat("x\xE9\x80", 5000), 1252, 256, Repeat("x\xC3\xA9\xE2\x82\xAC", 5000)},
        {Repeat(utf8, 2000), 256, 160, Repeat(utf16, 2000)},
        {Repeat(utf16, 2000), 160, 1252, Repeat(cp1252, 2000)},
        {Repeat(emojiWide, 300), 160, 256, Repeat(emoji, 300)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, Convert(c.text, c.from, c.to)) << c.from << " -> " << c.to;
    Convert(std::string("a\0b", 3), 160, 256, 0, 12305); // half a UTF-16 unit
    Convert("abc", 256, 4242, 0, 12305);                 // a code without a table
}

TEST_F(IcuTranslation, MaximumLengthOfTheDestination) {
    Stream source("caf\xE9", 1252), strict("", 256, 4), cut("", 256, 4, RDSTREAM_TRUNCATE);
    Stream fixed("", 256, 12, RDSTREAM_FIXED);
    EXPECT_EQ(12801u,
              RDStreamDataConvert(&strict, &source, RDCONVERT_KEEPFORMAT, 256, nullptr, nullptr));
    ASSERT_EQ(0u, RDStreamDataConvert(&cut, &source, RDCONVERT_KEEPFORMAT, 256, nullptr, nullptr));
    EXPECT_EQ("caf\xC3", cut.Bytes());
    ASSERT_EQ(0u,
              RDStreamDataConvert(&fixed, &source, RDCONVERT_KEEPFORMAT, 256, nullptr, nullptr));
    EXPECT_EQ("caf\xC3\xA9", fixed.Bytes());
    EXPECT_EQ(RDSTREAM_FIXED | RDSTREAM_PRESIZED, RDStreamDataGetFlags(&fixed));
}

TEST_F(IcuTranslation, TextTranslateMeasuresWhatDoesNotFit) {
    char buffer[8];
    void *out = buffer;
    const std::string text(3000, '\xE9');
    uint32_t length = 4;
    EXPECT_EQ(12801u, rdx::TextTranslate(text.data(), 3000, 1252, &out, &length, 256));
    EXPECT_EQ(6000u, length);
    length = 6;
    ASSERT_EQ(0u, rdx::TextTranslate(text.data(), 3, 1252, &out, &length, 256));
    EXPECT_EQ(std::string("\xC3\xA9\xC3\xA9\xC3\xA9", 7), std::string(buffer, 7));
}

TEST_F(IcuTranslation, TextByteLength) {
    EXPECT_EQ(6u, rdx::TextByteLength("h\xC3\xA9llo", 256));
    EXPECT_EQ(3u, rdx::TextByteLength("abc", 1252));
    EXPECT_EQ(4u, rdx::TextByteLength("a\0b\0\0\0", 160)); // zero bytes inside units
    EXPECT_EQ(0u, rdx::TextByteLength(nullptr, 256));
    EXPECT_EQ(0u, rdx::TextByteLength("abc", 0));
    EXPECT_EQ(0u, rdx::TextByteLength("abc", 4242));
}

TEST_F(IcuTranslation, ModesDecideWhatIsTranslated) {
    rdxtest::ScopedEnv latin1("LC_ALL", "de_DE.ISO-8859-1"); // native set 28591
    Restart("0");
    EXPECT_EQ("\x80\xE9", Convert("\x80\xE9", 1252, 28591)); // both native: copied
    EXPECT_EQ("\xC3\xA9", Convert("\xC3\xA9", 256, 1252));
    EXPECT_EQ("\xC3\xA9", Convert("\xE9", 1252, 256, RDCONVERT_LITERAL));
    EXPECT_EQ("\xE9", Convert("\xE9", 1252, RDCHARSET_DEFAULT, RDCONVERT_LITERAL));
    EXPECT_EQ(Wide(u"\u00e9"), Convert("\xE9", 1252, 160)); // 160 is always honoured
    Restart("1");
    EXPECT_EQ("\xE9", Convert("\xC3\xA9", 256, RDCHARSET_DEFAULT)); // translated
    EXPECT_EQ("\x80", Convert("\x80", 1252, RDCHARSET_DEFAULT));    // copied
    Restart("2");
    EXPECT_EQ("\x1A", Convert("\x80", 1252, RDCHARSET_DEFAULT)); // no euro in 28591
    EXPECT_EQ("\xE9", Convert("\xE9", 9, 256));                  // 9 to 256: copied
    EXPECT_EQ(Wide(u"A\ufffd"), Convert("A\xE9", 9, 160));       // 9 is 7-bit ASCII otherwise
}

} // namespace
