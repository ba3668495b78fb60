// Rich text and text lists to text and back, including malformed data.
#include "../values/rdx_test_env.h"

using rdxtest::kParagraphEnd;
using rdxtest::Le16;
using rdxtest::List;
using rdxtest::Repeat;
using rdxtest::Stream;
using rdxtest::Terminated;
using rdxtest::TextRun;

namespace {

// A record of the 6-byte header form with body bytes after the header.
std::string LongRecord(char signature, uint32_t length, size_t body) {
    return std::string{signature, '\0'} + Le16(length & 0xFFFF) + Le16(length >> 16) +
           std::string(body, 'z');
}

class KindConvert : public rdxtest::SystemTest {
  protected:
    std::string Convert(const std::string &bytes, uint32_t from, uint32_t to,
                        uint32_t expectStatus = 0) {
        Stream source(bytes, from), destination;
        EXPECT_EQ(expectStatus, RDStreamDataConvert(&destination, &source, 0, to, nullptr, nullptr))
            << from << " -> " << to;
        if (expectStatus == 0) {
            EXPECT_TRUE(Terminated(destination.s));
        }
        return destination.Bytes();
    }
};

TEST_F(KindConvert, TextListsAndText) {
    struct Case {
        std::string bytes;
        uint32_t from, to;
        std::string expected;
    } cases[] = {
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
        {std::string("a\0;\0b\0", 6), 160, RDKIND_TEXTLIST, List({"a", "b"})},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, Convert(c.bytes, c.from, c.to)) << c.expected;
}

TEST_F(KindConvert, MalformedOrOversizedListsAreRefused) {
    for (const std::string &bytes : {std::string("\x03\x00\x01\x00", 4), // lengths missing
                                     std::string("\x01\x00\x09\x00"
                                                 "abc",
                                                 7), // the text runs past the end
                                     std::string("\x02\x00\x01\x00\xFF\xFF"
                                                 "a",
                                                 7)})
        Convert(bytes, RDKIND_TEXTLIST, 256, 12801);
    Convert(std::string(70000, 'x'), 256, RDKIND_TEXTLIST, 12801); // a text above 65535
    Convert(Repeat("x,", 70000), 256, RDKIND_TEXTLIST, 12801);     // too many texts
    Stream text("alpha, beta", 256), small("", RDKIND_TEXTLIST, 8, RDSTREAM_TRUNCATE);
    // A cut list would be malformed: refused even with truncation.
    EXPECT_EQ(12801u, RDStreamDataConvert(&small, &text, RDCONVERT_KEEPFORMAT, RDKIND_TEXTLIST,
                                          nullptr, nullptr));
}

TEST_F(KindConvert, RichTextBecomesText) {
    const std::string run = TextRun("ok");
    struct Case {
        std::string rich;
        uint32_t to;
        std::string expected;
    } cases[] = {
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
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, Convert(c.rich, RDKIND_RICHTEXT, c.to)) << c.expected;
}

TEST_F(KindConvert, UnsupportedConversions) {
    const std::pair<uint32_t, uint32_t> pairs[] = {{256, RDKIND_RICHTEXT},
                                                   {RDKIND_TEXTLIST, RDKIND_RICHTEXT},
                                                   {RDKIND_NUMBERLIST, RDKIND_RICHTEXT},
                                                   {0x40000009, 256}};
    for (const auto &[from, to] : pairs)
        Convert(std::string(4, '\0'), from, to, 12293);
    EXPECT_EQ("raw", Convert("raw", RDKIND_RICHTEXT, RDKIND_BINARY)); // binary: copied
}

TEST_F(KindConvert, DestinationKeepsItsMaximumLength) {
    Stream source(List({"alpha", "beta", "gamma"}), RDKIND_TEXTLIST);
    Stream strict("", 256, 8), cut("", 256, 8, RDSTREAM_TRUNCATE);
    Stream fixed("", 256, 30, RDSTREAM_FIXED), open("", 256);
    const uint32_t keep = RDCONVERT_KEEPFORMAT;
    EXPECT_EQ(12801u, RDStreamDataConvert(&strict, &source, keep, 256, nullptr, nullptr));
    ASSERT_EQ(0u, RDStreamDataConvert(&cut, &source, keep, 256, nullptr, nullptr));
    EXPECT_EQ("alpha, b", cut.Bytes());
    ASSERT_EQ(0u, RDStreamDataConvert(&fixed, &source, keep, 256, nullptr, nullptr));
    EXPECT_EQ(RDSTREAM_FIXED | RDSTREAM_PRESIZED, RDStreamDataGetFlags(&fixed));
    ASSERT_EQ(0u, RDStreamDataSet(&fixed, 256, std::string(30, 'x').data(), 30)); // room kept
    ASSERT_EQ(0u, RDStreamDataConvert(&open, &source, keep, 256, nullptr, nullptr));
    EXPECT_EQ("alpha, beta, gamma", open.Bytes());
}

TEST_F(KindConvert, ModeZeroTakesNativeTextAsInterchange) {
    Restart("0");
    EXPECT_EQ(List({"caf\xE9"}), Convert("caf\xE9", 1252, RDKIND_TEXTLIST)); // bytes as they are
    EXPECT_EQ("caf\xC3\xA9", Convert(List({"caf\xC3\xA9"}), RDKIND_TEXTLIST, 1252));
}

} // namespace
