// Fetch, extract, merge and trim.
#include "rdx_test_env.h"

using rdxtest::Stream;
using rdxtest::Terminated;

namespace {

class StreamParts : public rdxtest::SystemTest {};

TEST_F(StreamParts, FetchCutsAtTheEnd) {
    Stream s("ABCDE", 256);
    struct Case {
        uint32_t position, count;
        std::string expected;
    } cases[] = {{4, 10, "DE"}, {6, 3, ""}, {7, 10, ""}, {2, 0, ""}, {3, 0xFFFFFFFF, "CDE"}};
    for (const Case &c : cases) {
        char out[16] = "xxxxxxxxxxxxxxx";
        uint32_t fetched = 99;
        ASSERT_EQ(0u, RDStreamDataFetch(&s, c.position, c.count, out, &fetched));
        EXPECT_EQ(c.expected, out);
        EXPECT_EQ(c.expected.size(), fetched);
    }
    char out[4] = "xyz";
    uint32_t fetched = 5;
    EXPECT_EQ(12301u, RDStreamDataFetch(nullptr, 0, 1, nullptr, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(12808u, RDStreamDataFetch(nullptr, 0, 1, out, &fetched));
    EXPECT_EQ(0, out[0]);
    EXPECT_EQ(12299u, RDStreamDataFetch(&s, 0, 1, out, nullptr));
}

TEST_F(StreamParts, ExtractCopiesAPart) {
    Stream source("ABCDEFGHIJKLMNOP", 300);
    struct Case {
        uint32_t position, count, maxLength;
        std::string expected;
    } cases[] = {{1, 3, 0, "ABC"}, {14, 10, 0, "NOP"}, {17, 5, 0, ""},
                 {18, 5, 0, ""},   {2, 0, 0, ""},      {1, 5, 2, "AB"}};
    for (const Case &c : cases) {
        Stream d("old", 256, c.maxLength, RDSTREAM_TRUNCATE);
        ASSERT_EQ(0u, RDStreamDataExtract(&d, &source, c.position, c.count));
        EXPECT_EQ(c.expected, d.Bytes()) << c.position;
        EXPECT_TRUE(Terminated(d.s));
    }
    Stream strict("", 256, 2);
    EXPECT_EQ(12801u, RDStreamDataExtract(&strict, &source, 1, 5));
    EXPECT_EQ(12808u, RDStreamDataExtract(&strict, nullptr, 0, 1));
    EXPECT_EQ(12299u, RDStreamDataExtract(&strict, &source, 0, 1));
    Stream self("ABCDEFGHIJKLMNOPQRSTUVWXYZ", 256);
    ASSERT_EQ(0u, RDStreamDataExtract(&self, &self, 3, 20));
    EXPECT_EQ("CDEFGHIJKLMNOPQRSTUV", self.Bytes());
}

TEST_F(StreamParts, MergeInsertsBeforeAPosition) {
    Stream base("ACE", 256), insert("XY", 256), longBase("ABCDEF", 256), xyz("xyz", 256);
    struct Case {
        Stream &base, &insert;
        uint32_t position, maxLength;
        std::string expected;
    } cases[] = {{base, insert, 1, 0, "XYACE"},    {base, insert, 2, 0, "AXYCE"},
                 {base, insert, 4, 0, "ACEXY"},    {base, insert, 5, 0, ""},
                 {longBase, xyz, 4, 2, "AB"},      {longBase, xyz, 4, 5, "ABCxy"},
                 {longBase, xyz, 2, 7, "AxyzBCD"}, {longBase, xyz, 7, 8, "ABCDEFxy"}};
    for (const Case &c : cases) {
        Stream d("previous", 256, c.maxLength, RDSTREAM_TRUNCATE);
        ASSERT_EQ(0u, RDStreamDataMerge(&d, &c.base, c.position, &c.insert));
        EXPECT_EQ(c.expected, d.Bytes()) << c.position;
        EXPECT_TRUE(Terminated(d.s));
    }
    Stream strict("", 256, 8);
    EXPECT_EQ(12801u, RDStreamDataMerge(&strict, &longBase, 1, &xyz));
    EXPECT_EQ(12808u, RDStreamDataMerge(&strict, &base, 0, nullptr));
    EXPECT_EQ(12299u, RDStreamDataMerge(&strict, &base, 0, &insert));
}

TEST_F(StreamParts, MergeIntoItsOwnPartsAndAcrossCodes) {
    Stream s("0123456789abcdef", 256), other("XY", 256);
    ASSERT_EQ(0u, RDStreamDataMerge(&s, &s, 3, &other));
    EXPECT_EQ("01XY23456789abcdef", s.Bytes());
    ASSERT_EQ(0u, RDStreamDataMerge(&other, &s, 1, &other));
    EXPECT_EQ("XY01XY23456789abcdef", other.Bytes());
    ASSERT_EQ(0u, RDStreamDataMerge(&s, &s, 2, &s));
    EXPECT_EQ("001XY23456789abcdef1XY23456789abcdef", s.Bytes());
    Stream base("ab", 256), latin("\xE9", 1252), bad("zz", 4242), d;
    ASSERT_EQ(0u, RDStreamDataMerge(&d, &base, 2, &latin)); // the insert is converted
    EXPECT_EQ("a\xC3\xA9"
              "b",
              d.Bytes());
    EXPECT_EQ(12305u, RDStreamDataMerge(&d, &base, 1, &bad));
}

TEST_F(StreamParts, TrimDropsTrailingBlanks) {
    struct Case {
        std::string text;
        uint32_t charset;
        std::string expected;
    } cases[] = {
        {"ab  ", 256, "ab"},
        {"    ", 256, ""},
        {"ab  ", RDKIND_BINARY, "ab  "},
        {std::string("a\0b\0 \0 \0", 8), RDCHARSET_UNICODE, std::string("a\0b\0", 4)},
        {"x  ", RDCHARSET_UNICODE, "x  "}, // 0x20 0x20 is not a blank unit
    };
    for (const Case &c : cases) {
        Stream s(c.text, c.charset);
        ASSERT_EQ(0u, RDStreamDataTrim(&s));
        EXPECT_EQ(c.expected, s.Bytes()) << c.text;
        EXPECT_TRUE(Terminated(s.s));
    }
    Stream source("ab  ", 256), borrowed;
    ASSERT_EQ(0u, RDStreamDataConvert(&borrowed, &source, RDCONVERT_BORROW, 0, nullptr, nullptr));
    EXPECT_EQ(12801u, RDStreamDataTrim(&borrowed));
    EXPECT_EQ(12808u, RDStreamDataTrim(nullptr));
}

} // namespace
