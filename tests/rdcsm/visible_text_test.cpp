// SPDX-License-Identifier: Apache-2.0
// Texts from outside shown safely: what rdxc::VisibleText keeps and what it
// turns into escapes.
#include "visible_text.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

struct Shown {
    std::string text, visible;
};

TEST(VisibleText, TerminalControlsBecomeEscapes) {
    const Shown cases[] = {
        {"\x1b[2J\x1b]0;title\x07", "\\x1b[2J\\x1b]0;title\\x07"},
        {"line\r\nfake line", "line\\r\\nfake line"},
        {"a\tb\bc\x7f", "a\\tb\\x08c\\x7f"},
        {"nul\0end"s, "nul\\x00end"},
        // C1 controls as characters: CSI (U+009B), NEL (U+0085).
        {"\xc2\x9b"
         "31m\xc2\x85",
         "\\u009b31m\\u0085"},
        // Controls that turn or break the line.
        {"\xe2\x80\xae"
         "txt.exe\xe2\x81\xa6\xe2\x80\xa8",
         "\\u202etxt.exe\\u2066\\u2028"},
    };
    for (const Shown &c : cases)
        EXPECT_EQ(c.visible, rdxc::VisibleText(c.text)) << c.visible;
}

TEST(VisibleText, BytesThatAreNoUtf8CharacterBecomeHexEach) {
    const Shown cases[] = {
        {"\x9b"
         "31m",
         "\\x9b31m"},                                          // a raw 8-bit CSI
        {"\xc0\xaf", "\\xc0\\xaf"},                            // overlong '/'
        {"\xe0\x80\xaf", "\\xe0\\x80\\xaf"},                   // overlong, three bytes
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},                   // a surrogate
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},          // past U+10FFFF
        {"\xf8\x88\x80\x80\x80", "\\xf8\\x88\\x80\\x80\\x80"}, // five-byte form
        {"ab\xc3", "ab\\xc3"},                                 // cut at the end
        {"\xc3("
         "x",
         "\\xc3(x"}, // a lead byte without its continuation keeps what follows
        {"\xff\xfe", "\\xff\\xfe"},
    };
    for (const Shown &c : cases)
        EXPECT_EQ(c.visible, rdxc::VisibleText(c.text)) << c.visible;
}

TEST(VisibleText, PrintableTextIsKeptAsItIs) {
    for (const std::string text : {"plain ASCII with \\ backslash and 'quotes'", "Grüße, 日本語, 😀",
                                   "\xc2\xa0nbsp", "\xef\xbf\xbd", "\xf4\x8f\xbf\xbf", ""}) {
        EXPECT_EQ(text, rdxc::VisibleText(text));
        EXPECT_TRUE(rdxc::IsWellFormedUtf8(text)) << text;
    }
    EXPECT_FALSE(rdxc::IsWellFormedUtf8("\xed\xbf\xbf"));
    EXPECT_FALSE(rdxc::IsWellFormedUtf8("\xe0\x9f\xbf"));
    EXPECT_EQ(4u, rdxc::Utf8CharLength("\xf0\x90\x80\x80", 0));
    EXPECT_EQ(0u, rdxc::Utf8CharLength("\xf0\x8f\xbf\xbf", 0));
    EXPECT_EQ(0u, rdxc::Utf8CharLength("x", 1));
}

} // namespace
