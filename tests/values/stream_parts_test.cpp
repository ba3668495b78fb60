// SPDX-License-Identifier: Apache-2.0
// Fetch, extract, merge and trim.
#include "rdx_test_env.h"

using rdxtest::Stream;
using rdxtest::Terminated;

namespace {

class StreamParts : public rdxtest::SystemTest {};

TEST_F(StreamParts, FetchCutsAtTheEnd) {
    Stream s("ABCDE", 256);
    const std::tuple<uint32_t, uint32_t, std::string> cases[] = {
        {4, 10, "DE"}, {6, 3, ""}, {7, 10, ""}, {2, 0, ""}, {3, 0xFFFFFFFF, "CDE"}};
    for (const auto &[position, count, expected] : cases) {
        char out[16] = "xxxxxxxxxxxxxxx";
        uint32_t fetched = 99;
        ASSERT_EQ(0u, RDStreamDataFetch(&s, position, count, out, &fetched));
        EXPECT_EQ(expected, out);
        EXPECT_EQ(expected.size(), fetched);
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
    const std::tuple<uint32_t, uint32_t, uint32_t, std::string> cases[] = {
        {1, 3, 0, "ABC"}, {14, 10, 0, "NOP"}, {17, 5, 0, ""},
        {18, 5, 0, ""},   {2, 0, 0, ""},      {1, 5, 2, "AB"}};
    for (const auto &[position, count, maxLength, expected] : cases) {
        Stream d("old", 256, maxLength, RDSTREAM_TRUNCATE);
        ASSERT_EQ(0u, RDStreamDataExtract(&d, &source, position, count));
        EXPECT_EQ(expected, d.Bytes()) << position;
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
    const std::tuple<Stream &, Stream &, uint32_t, uint32_t, std::string> cases[] = {
        {base, insert, 1, 0, "XYACE"},    {base, insert, 2, 0, "AXYCE"},
        {base, insert, 4, 0, "ACEXY"},    {base, insert, 5, 0, ""},
        {longBase, xyz, 4, 2, "AB"},      {longBase, xyz, 4, 5, "ABCxy"},
        {longBase, xyz, 2, 7, "AxyzBCD"}, {longBase, xyz, 7, 8, "ABCDEFxy"}};
    for (const auto &[from, part, position, maxLength, expected] : cases) {
        Stream d("previous", 256, maxLength, RDSTREAM_TRUNCATE);
        ASSERT_EQ(0u, RDStreamDataMerge(&d, &from, position, &part));
        EXPECT_EQ(expected, d.Bytes()) << position;
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
    EXPECT_EQ("a\xC3\xA9\x62", d.Bytes());
    EXPECT_EQ(12305u, RDStreamDataMerge(&d, &base, 1, &bad));
}

TEST_F(StreamParts, TrimDropsTrailingBlanks) {
    const std::tuple<std::string, uint32_t, std::string> cases[] = {
        {"ab  ", 256, "ab"},
        {"    ", 256, ""},
        {"ab  ", RDKIND_BINARY, "ab  "},
        {rdxtest::Wide(u"ab  "), RDCHARSET_UNICODE, rdxtest::Wide(u"ab")},
        {"x  ", RDCHARSET_UNICODE, "x  "}}; // 0x20 0x20 is not a blank unit
    for (const auto &[text, charset, expected] : cases) {
        Stream s(text, charset);
        ASSERT_EQ(0u, RDStreamDataTrim(&s));
        EXPECT_EQ(expected, s.Bytes()) << text;
        EXPECT_TRUE(Terminated(s.s));
    }
    Stream source("ab  ", 256), borrowed;
    ASSERT_EQ(0u, RDStreamDataConvert(&borrowed, &source, RDCONVERT_BORROW, 0, nullptr, nullptr));
    EXPECT_EQ(12801u, RDStreamDataTrim(&borrowed));
    EXPECT_EQ(12808u, RDStreamDataTrim(nullptr));
}

} // namespace
