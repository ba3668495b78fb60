// SPDX-License-Identifier: Apache-2.0
// Ordering streams: bytes, case, codes, cleared streams and collation.
#include "rdx_test_env.h"

#include <vector>

using rdxtest::Stream;

namespace {

class StreamCompare : public rdxtest::SystemTest {
  protected:
    int32_t Order(const RDStream &a, const RDStream &b) {
        int32_t order = 99;
        EXPECT_EQ(0u, RDStreamDataCompare(&a, &b, &order));
        return order;
    }
    int32_t Order(Stream &a, Stream &b) { return Order(a.s, b.s); }
    int32_t Order(const RDStream &a, Stream &b) { return Order(a, b.s); }
    int32_t Order(Stream &a, const RDStream &b) { return Order(a.s, b); }
};

TEST_F(StreamCompare, OrdersBytesOfOneCode) {
    const std::tuple<const char *, const char *, uint32_t, int32_t> cases[] = {
        {"abc", "abcd", 0, -1},
        {"abcd", "abc", 0, 1},
        {"ABC", "abc", 0, -1},
        {"ABC", "abc", RDSTREAM_NOCASE, 0},
        {"abd", "ABC", RDSTREAM_NOCASE, 1},
        {"\xE9", "f", 0, 1}}; // unsigned bytes
    for (const auto &[first, second, flags, order] : cases) {
        Stream a(first, 1252, 0, flags), b(second, 1252), a2(first, 1252),
            b2(second, 1252, 0, flags);
        EXPECT_EQ(order, Order(a, b)) << first << " " << second;
        EXPECT_EQ(order, Order(a2, b2)) << first << " " << second; // either side's flag
    }
    Stream cleared, cleared2, text("x", 256), empty("", 256);
    EXPECT_EQ(0, Order(cleared, cleared2));
    EXPECT_EQ(-1, Order(cleared, text));
    EXPECT_EQ(1, Order(text, cleared));
    EXPECT_EQ(0, Order(cleared, empty));
    int32_t order = 5;
    EXPECT_EQ(12302u, RDStreamDataCompare(nullptr, &text, nullptr));
    EXPECT_EQ(12808u, RDStreamDataCompare(&text, nullptr, &order));
    EXPECT_EQ(0, order);
}

TEST_F(StreamCompare, DifferentCodesAndUnicodeCollate) {
    Stream latin("caf\xE9", 1252), utf8("caf\xC3\xA9", 256), f("caf", 1252), fz("cafz", 256);
    Stream wide(rdxtest::Wide(u"caf\u00e9"), RDCHARSET_UNICODE);
    EXPECT_EQ(0, Order(latin, utf8)); // one text in three sets
    EXPECT_EQ(0, Order(utf8, wide));
    EXPECT_EQ(-1, Order(latin, fz)); // é sorts with e, before z, unlike its bytes
    EXPECT_EQ(1, Order(utf8, f));
    Stream upper("CAF\xC3\x89", 256), lower("caf\xE9", 1252, 0, RDSTREAM_NOCASE);
    EXPECT_NE(0, Order(upper, latin)); // case is a tertiary difference
    EXPECT_EQ(0, Order(upper, lower));
    Stream a(rdxtest::Wide(u"Ab"), RDCHARSET_UNICODE, 0, RDSTREAM_NOCASE);
    Stream b(rdxtest::Wide(u"aB"), RDCHARSET_UNICODE), plain(rdxtest::Wide(u"Ab"), 160);
    EXPECT_EQ(0, Order(a, b));
    EXPECT_EQ(-1, Order(plain, b)); // same code, no flag: bytes
    // Half a unit at the end is not a character: "a", before "aB".
    Stream odd(std::string("a\0b", 3), RDCHARSET_UNICODE, 0, RDSTREAM_NOCASE);
    EXPECT_EQ(-1, Order(odd, b));
}

// Collation reads each text up to its length: a borrowed text cut short and
// a caller's record without a terminator (or at an odd address, which is
// copied) end where their length says.
TEST_F(StreamCompare, CollationStopsAtTheLength) {
    Stream wide(rdxtest::Wide(u"abcdef"), RDCHARSET_UNICODE), utf8("abcdef", 256);
    Stream ab(rdxtest::Wide(u"ab"), RDCHARSET_UNICODE, 0, RDSTREAM_NOCASE), ab1252("ab", 1252);
    for (RDStream *source : {&wide, &utf8}) {
        const uint32_t cut = source->charset == RDCHARSET_UNICODE ? 4 : 2;
        RDStream borrowed{};
        ASSERT_EQ(0u, RDStreamCreate(&borrowed, cut, 0, source->charset));
        ASSERT_EQ(0u,
                  RDStreamDataConvert(&borrowed, source, RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT, 0,
                                      nullptr, nullptr));
        ASSERT_EQ(cut, borrowed.length);
        for (RDStream *other : {&ab, &ab1252}) {
            EXPECT_EQ(0, Order(borrowed, *other)) << cut << " " << other->charset;
            EXPECT_EQ(0, Order(*other, borrowed)) << cut << " " << other->charset;
        }
        RDStreamDataFree(&borrowed);
    }
    // Exactly the bytes of "ab" in fresh blocks, once aligned and once not.
    for (size_t offset : {0, 1}) {
        std::vector<uint8_t> block(offset + 4);
        std::memcpy(block.data() + offset, "a\0b\0", 4);
        RDStream record{0, 4, RDSTREAM_NOCASE, RDCHARSET_UNICODE, block.data() + offset};
        EXPECT_EQ(0, Order(record, ab)) << offset;
        EXPECT_EQ(0, Order(ab, record)) << offset;
    }
}

TEST_F(StreamCompare, KindsAreComparedAsBytesAfterConversion) {
    Stream list(rdxtest::List({"a", "b"}), RDKIND_TEXTLIST);
    Stream text("a, b", 256), other("a, c", 256), binary("a, b", RDKIND_BINARY);
    EXPECT_EQ(0, Order(list, text));
    EXPECT_EQ(-1, Order(list, other));
    EXPECT_EQ(1, Order(other, list));
    EXPECT_EQ(0, Order(binary, text)); // binary: the bytes as they are
    Stream rich(rdxtest::kParagraphEnd + rdxtest::TextRun("hi"), RDKIND_RICHTEXT);
    Stream lines("\nhi", 256), unknown(std::string(4, '\0'), 0x40000009);
    EXPECT_EQ(0, Order(rich, lines)); // rich text is turned into text on either side
    EXPECT_EQ(0, Order(lines, rich));
    int32_t order = 7;
    EXPECT_EQ(12293u, RDStreamDataCompare(&text, &unknown, &order));
    EXPECT_EQ(0, order);
}

} // namespace
