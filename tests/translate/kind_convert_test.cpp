// SPDX-License-Identifier: Apache-2.0
// Rich text and text lists to text and back, including malformed data.
#include "../values/rdx_test_env.h"

using rdxtest::Converted;
using rdxtest::kParagraphEnd;
using rdxtest::Le16;
using rdxtest::List;
using rdxtest::Stream;
using rdxtest::TextRun;

namespace {

// A record of the 6-byte header form with body bytes after the header.
std::string LongRecord(char signature, uint32_t length, size_t body) {
    return std::string{signature, '\0'} + Le16(length & 0xFFFF) + Le16(length >> 16) +
           std::string(body, 'z');
}

class KindConvert : public rdxtest::SystemTest {};

TEST_F(KindConvert, TextListsAndText) {
    const std::tuple<std::string, uint32_t, uint32_t, std::string> cases[] = {
        {List({"a", "bb", "c"}), RDKIND_TEXTLIST, 256, "a, bb, c"},
        {List({}), RDKIND_TEXTLIST, 256, ""},
        {"\x05", RDKIND_TEXTLIST, 256, ""}, // shorter than its header: empty
        {List({"", "x"}), RDKIND_TEXTLIST, 256, ", x"},
        {List({"caf\xC3\xA9"}), RDKIND_TEXTLIST, 1252, "caf\xE9"},
        {List({"a", "b"}), RDKIND_TEXTLIST, 160, std::string("a\0,\0 \0b\0", 8)},
        {List({"a", "b"}), RDKIND_TEXTLIST, RDKIND_TEXTLIST, List({"a", "b"})},
        {" x ;; y,\n", 256, RDKIND_TEXTLIST, List({"x", "y"})},
        {"", 256, RDKIND_TEXTLIST, List({})},
        {"a b , c\r\nd", 256, RDKIND_TEXTLIST, List({"a b", "c", "d"})},
        {"caf\xE9, x", 1252, RDKIND_TEXTLIST, List({"caf\xC3\xA9", "x"})},
        {std::string("a\0;\0b\0", 6), 160, RDKIND_TEXTLIST, List({"a", "b"})}};
    for (const auto &[bytes, from, to, expected] : cases)
        EXPECT_EQ(expected, Converted(bytes, from, to)) << expected;
}

TEST_F(KindConvert, MalformedOrOversizedListsAreRefused) {
    const std::string lists[] = {Le16(3) + Le16(1),         // lengths missing
                                 Le16(1) + Le16(9) + "abc", // the text runs past the end
                                 Le16(2) + Le16(1) + Le16(0xFFFF) + "a"};
    for (const std::string &bytes : lists)
        Converted(bytes, RDKIND_TEXTLIST, 256, 12801);
    Converted(std::string(70000, 'x'), 256, RDKIND_TEXTLIST, 12801);      // a text above 65535
    Converted(rdxtest::Repeat("x,", 70000), 256, RDKIND_TEXTLIST, 12801); // too many texts
}

TEST_F(KindConvert, RichTextBecomesText) {
    const std::string run = TextRun("ok");
    const std::tuple<std::string, uint32_t, std::string> cases[] = {
        {kParagraphEnd + TextRun("ab"), 256, "\nab"},
        {TextRun("odd") + kParagraphEnd, 256, "odd\n"},
        {TextRun(std::string("a\0b", 3)), 256, "a\nb"},
        {LongRecord('\x85', 10, 4) + TextRun("x"), 256, "x"},    // other records skipped
        {std::string("\x10\x04zz", 4) + TextRun("y"), 256, "y"}, // two-byte header form
        {TextRun("caf\xC3\xA9"), 160, std::string("c\0a\0f\0\xE9\0", 8)},
        {TextRun("caf\xC3\xA9"), 1252, "caf\xE9"},
        // Malformed records end the walk; nothing past the data is read.
        {run + "\x85\xFF" + Le16(0x40) + "short", 256, "ok"}, // runs past the end
        {run + "\x85\xFF" + Le16(0) + run, 256, "ok"},        // length 0
        {run + "\x85\xFF" + Le16(2) + run, 256, "ok"},        // shorter than its header
        {run + LongRecord('\x01', 0xFFFFFFF0, 8), 256, "ok"}, // 32-bit length too long
        {run + "\x85\xFF\x03", 256, "ok"},                    // header cut
        {run + "\x81", 256, "ok"},                            // half a signature
        {"\x85\xFF" + Le16(6) + "zz" + run, 256, "ok"},       // a run shorter than 8
    };
    for (const auto &[rich, to, expected] : cases)
        EXPECT_EQ(expected, Converted(rich, RDKIND_RICHTEXT, to)) << expected;
}

TEST_F(KindConvert, UnsupportedConversions) {
    const std::pair<uint32_t, uint32_t> pairs[] = {{256, RDKIND_RICHTEXT},
                                                   {RDKIND_TEXTLIST, RDKIND_RICHTEXT},
                                                   {RDKIND_NUMBERLIST, RDKIND_RICHTEXT},
                                                   {0x40000009, 256}};
    for (const auto &[from, to] : pairs)
        Converted(std::string(4, '\0'), from, to, 12293);
    EXPECT_EQ("raw", Converted("raw", RDKIND_RICHTEXT, RDKIND_BINARY)); // binary: copied
}

// A kept format keeps the maximum length: a strict destination refuses,
// a truncating one cuts (a list never: it would be malformed), a fixed one
// keeps its room.
TEST_F(KindConvert, DestinationKeepsItsMaximumLength) {
    const std::tuple<std::string, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, std::string>
        cases[] = {
            {List({"alpha", "beta", "gamma"}), RDKIND_TEXTLIST, 256, 8, 0, 12801, ""},
            {List({"alpha", "beta", "gamma"}), RDKIND_TEXTLIST, 256, 8, RDSTREAM_TRUNCATE, 0,
             "alpha, b"},
            {List({"alpha", "beta", "gamma"}), RDKIND_TEXTLIST, 256, 0, 0, 0, "alpha, beta, gamma"},
            {"caf\xE9", 1252, 256, 4, 0, 12801, ""},
            {"caf\xE9", 1252, 256, 4, RDSTREAM_TRUNCATE, 0, "caf\xC3"},
            {"caf\xE9", 1252, 256, 12, RDSTREAM_FIXED, 0, "caf\xC3\xA9"},
            {"alpha, beta", 256, RDKIND_TEXTLIST, 8, RDSTREAM_TRUNCATE, 12801, ""},
            {"1, 2, 3", 256, RDKIND_NUMBERLIST, 10, RDSTREAM_TRUNCATE, 12801, ""}};
    for (const auto &[bytes, from, to, maxLength, flags, status, expected] : cases) {
        Stream source(bytes, from), d("", to, maxLength, flags);
        EXPECT_EQ(status, RDStreamDataConvert(&d, &source, RDCONVERT_KEEPFORMAT, to, 0, 0))
            << bytes;
        EXPECT_EQ(expected, d.Bytes()) << bytes;
    }
    Stream source(List({"alpha", "beta", "gamma"}), RDKIND_TEXTLIST);
    Stream fixed("", 256, 30, RDSTREAM_FIXED);
    ASSERT_EQ(0u,
              RDStreamDataConvert(&fixed, &source, RDCONVERT_KEEPFORMAT, 256, nullptr, nullptr));
    EXPECT_EQ(RDSTREAM_FIXED | RDSTREAM_PRESIZED, RDStreamDataGetFlags(&fixed));
    ASSERT_EQ(0u, RDStreamDataSet(&fixed, 256, std::string(30, 'x').data(), 30)); // room kept
}

TEST_F(KindConvert, ModeZeroTakesNativeTextAsInterchange) {
    Restart("0");
    EXPECT_EQ(List({"caf\xE9"}), Converted("caf\xE9", 1252, RDKIND_TEXTLIST)); // bytes as they are
    EXPECT_EQ("caf\xC3\xA9", Converted(List({"caf\xC3\xA9"}), RDKIND_TEXTLIST, 1252));
}

} // namespace
