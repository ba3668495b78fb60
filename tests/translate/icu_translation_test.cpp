// SPDX-License-Identifier: Apache-2.0
// Real translations through ICU, checked byte for byte, the Translation
// modes, and the measuring of texts.
#include "../values/rdx_test_env.h"
#include "translate/translation.h"

using rdxtest::Converted;
using rdxtest::Repeat;
using rdxtest::Stream;
using rdxtest::Wide;

namespace {

class IcuTranslation : public rdxtest::SystemTest {};

TEST_F(IcuTranslation, ConvertsBetweenTheCommonSets) {
    const std::string utf8 = "caf\xC3\xA9 \xE2\x82\xAC\x35 \xC5\x92"; // café €5 Œ
    const std::string cp1252 = "caf\xE9 \x80\x35 \x8C", utf16 = Wide(u"caf\u00e9 \u20ac5 \u0152");
    const std::string latin1 = "\xF1\xFC\xFF", latin1Utf8 = "\xC3\xB1\xC3\xBC\xC3\xBF";
    const std::string emoji = "\xF0\x9F\x98\x80", emojiWide = Wide(u"\U0001F600");
    // clang-format off
    const std::tuple<std::string, uint32_t, uint32_t, std::string> cases[] = {
        {utf8, 256, 160, utf16}, {utf16, 160, 256, utf8}, {cp1252, 1252, 256, utf8},
        {utf8, 256, 1252, cp1252}, {cp1252, 1252, 160, utf16}, {utf16, 160, 1252, cp1252},
        {latin1, 28591, 256, latin1Utf8}, {latin1Utf8, 256, 28591, latin1},
        {Wide(u"\u00f1\u00fc\u00ff"), 160, 28591, latin1},
        {"\xE9\x80", 1252, 28591, "\xE9\x1A"},                      // no euro sign in Latin-1
        {"\xE6\x97\xA5\xE6\x9C\xAC", 256, 932, "\x93\xFA\x96\x7B"}, // Shift_JIS
        {"\x93\xFA\x96\x7B", 932, 160, Wide(u"\u65e5\u672c")}, {emoji, 256, 160, emojiWide},
        {cp1252, 1252, RDCHARSET_DEFAULT, utf8}, // the native set is UTF-8 here
        {"a\377b", 256, 160, Wide(u"a\ufffdb")}, // invalid UTF-8 is substituted
        {"", 1252, 256, ""},
        // Long texts take the path where the library allocates the output.
        {Repeat("x\xE9\x80", 5000), 1252, 256, Repeat("x\xC3\xA9\xE2\x82\xAC", 5000)},
        {Repeat(utf8, 2000), 256, 160, Repeat(utf16, 2000)},
        {Repeat(utf16, 2000), 160, 1252, Repeat(cp1252, 2000)},
        {Repeat(emojiWide, 300), 160, 256, Repeat(emoji, 300)}};
    // clang-format on
    for (const auto &[text, from, to, expected] : cases)
        EXPECT_EQ(expected, Converted(text, from, to)) << from << " -> " << to;
    Converted(std::string("a\0b", 3), 160, 256, 12305); // half a UTF-16 unit
    Converted("abc", 256, 4242, 12305);                 // a code without a table
}

// Characters the target set cannot hold give its substitution byte, the
// invisible (default-ignorable) ones too, in short and long texts alike.
TEST_F(IcuTranslation, InvisibleUnmappableCharactersAreSubstituted) {
    const std::tuple<std::string, uint32_t, uint32_t, std::string> cases[] = {
        {"a\xAD"
         "b",
         1252, 9,
         "a\x1A"
         "b"},                                 // soft hyphen into 7-bit ASCII
        {"\xEF\xBB\xBFx", 256, 1252, "\x1Ax"}, // U+FEFF
        {Wide(u"\ufeffx"), 160, 1252, "\x1Ax"},
        {"x\xE2\x80\x8B", 256, 28591, "x\x1A"}, // U+200B
        {Wide(u"\u200d\u2060\u00ad"), 160, 20127, "\x1A\x1A\x1A"},
        {"\xAD", 1252, 28591, "\xAD"}}; // mappable: kept
    for (const auto &[text, from, to, expected] : cases) {
        EXPECT_EQ(expected, Converted(text, from, to)) << from << " -> " << to;
        EXPECT_EQ(Repeat(expected, 400), Converted(Repeat(text, 400), from, to))
            << from << " -> " << to;
    }
}

// Between the UTF-8 codes (256, 65001 and the native set, which is UTF-8
// here) well-formed text is copied and every ill-formed part becomes U+FFFD,
// as between any other pair.
TEST_F(IcuTranslation, IllFormedUtf8IsReplacedBetweenUtf8Codes) {
    const std::string fffd = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80"}, // well-formed
        {"a\xFF"
         "b",
         "a" + fffd + "b"},
        {"x\xE2\x82", "x" + fffd},                       // cut at the end: one part
        {"\xC0\xAF", fffd + fffd},                       // overlong
        {"\xED\xA0\x80", fffd + fffd + fffd},            // a surrogate
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd}, // above U+10FFFF
        {"\x80\xC3\xA9", fffd + "\xC3\xA9"}};
    const std::pair<uint32_t, uint32_t> pairs[] = {
        {256, 65001}, {65001, 256}, {256, RDCHARSET_DEFAULT}, {RDCHARSET_DEFAULT, 256}};
    for (const auto &[from, to] : pairs) {
        for (const auto &[text, expected] : cases) {
            EXPECT_EQ(expected, Converted(text, from, to)) << from << " -> " << to;
            EXPECT_EQ(Repeat(expected, 100), Converted(Repeat(text, 100), from, to))
                << from << " -> " << to;
        }
    }
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
    EXPECT_EQ(0u, rdx::TextByteLength(nullptr, 256) + rdx::TextByteLength("abc", 0) +
                      rdx::TextByteLength("abc", 4242));
}

TEST_F(IcuTranslation, ModesDecideWhatIsTranslated) {
    rdxtest::ScopedEnv latin1("LC_ALL", "de_DE.ISO-8859-1"); // native set 28591
    Restart("0");
    EXPECT_EQ("\x80\xE9", Converted("\x80\xE9", 1252, 28591)); // both native: copied
    EXPECT_EQ("\xC3\xA9", Converted("\xC3\xA9", 256, 1252));
    EXPECT_EQ("\xC3\xA9", Converted("\xE9", 1252, 256, 0, RDCONVERT_LITERAL));
    EXPECT_EQ("\xE9", Converted("\xE9", 1252, RDCHARSET_DEFAULT, 0, RDCONVERT_LITERAL));
    EXPECT_EQ(Wide(u"\u00e9"), Converted("\xE9", 1252, 160)); // 160 is always honoured
    Restart("1");
    EXPECT_EQ("\xE9", Converted("\xC3\xA9", 256, RDCHARSET_DEFAULT)); // translated
    EXPECT_EQ("\x80", Converted("\x80", 1252, RDCHARSET_DEFAULT));    // copied
    Restart("2");
    EXPECT_EQ("\x1A", Converted("\x80", 1252, RDCHARSET_DEFAULT)); // no euro in 28591
    EXPECT_EQ("\xE9", Converted("\xE9", 9, 256));                  // 9 to 256: copied
    EXPECT_EQ(Wide(u"A\ufffd"), Converted("A\xE9", 9, 160));       // 9 is 7-bit ASCII otherwise
}

} // namespace
