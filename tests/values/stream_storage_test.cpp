// SPDX-License-Identifier: Apache-2.0
// Storage states, sizing, flags and the set/alloc/realloc operations.
#include "rdx_test_env.h"

#include <cstring>

using rdxtest::Fields;
using rdxtest::Stream;
using rdxtest::Terminated;

namespace {

class StreamStorage : public rdxtest::SystemTest {};

TEST(StreamNotReady, OperationsRefuseOrDoNothing) {
    RDStream s{5, 3, 7, 256, nullptr}, t{};
    char bytes[4] = "xyz";
    uint8_t *data = reinterpret_cast<uint8_t *>(bytes);
    uint32_t length = 9;
    int32_t order = 9;
    RDStreamClear(&s);
    RDStreamDataFree(&s);
    EXPECT_TRUE(s.maxLength == 5 && s.length == 3);
    EXPECT_EQ(0u, RDStreamDataGetFlags(&s) + RDStreamDataGetLength(&s));
    EXPECT_EQ(12320u, RDStreamCreate(&s, 0, 0, 256));
    EXPECT_EQ(12320u, RDStreamDataSet(&s, 256, "a", 1));
    EXPECT_EQ(12320u, RDStreamDataAlloc(&s, 256, 1, &data, &length));
    EXPECT_TRUE(data == nullptr && length == 0); // outputs are cleared before any check
    EXPECT_EQ(12320u, RDStreamDataConvert(&t, &s, 0, 0, &data, &length));
    EXPECT_EQ(12320u, RDStreamDataFetch(&s, 1, 1, bytes, &length));
    EXPECT_EQ(0, bytes[0]);
    EXPECT_EQ(12320u, RDStreamDataCompare(&s, &t, &order));
    EXPECT_EQ(0, order);
    EXPECT_EQ(12320u, RDStreamDataTrim(&s));
}

TEST_F(StreamStorage, CreateChoosesSharedOrPresizedStorage) {
    const std::tuple<uint32_t, uint32_t, bool> cases[] = {
        {0, 0, false}, {5, 0, true}, {10, 0, true}, {11, 0, false}, {40, RDSTREAM_FIXED, true}};
    Stream empty("", 256);
    for (const auto &[maxLength, flags, presized] : cases) {
        Stream s("", 300, maxLength, flags);
        EXPECT_EQ(presized, (RDStreamDataGetFlags(&s) & RDSTREAM_PRESIZED) != 0);
        EXPECT_EQ(presized, s.s.data != empty.s.data) << maxLength;
        EXPECT_TRUE(Terminated(s.s));
    }
    RDStream s;
    EXPECT_EQ(12808u, RDStreamCreate(nullptr, 0, RDSTREAM_FIXED, 256));
    EXPECT_EQ(12303u, RDStreamCreate(&s, 0, RDSTREAM_FIXED, 256));
    ASSERT_EQ(0u, RDStreamCreate(&s, 0, 0, 0)); // code 0 is accepted here
    EXPECT_EQ(12303u, RDStreamDataSetFlags(&s, RDSTREAM_FIXED));

    // Fixed storage no block can hold is refused, never sized by a wrapped sum.
    EXPECT_EQ(258u, RDStreamCreate(&s, 0xFFFFFFFFu, RDSTREAM_FIXED, 256));
    EXPECT_EQ(nullptr, s.data);
    ASSERT_EQ(0u, RDStreamCreate(&s, 0xFFFFFFFCu, 0, 256));
    ASSERT_EQ(0u, RDStreamDataSet(&s, 256, "hello", 5));
    EXPECT_EQ(258u, RDStreamDataSetFlags(&s, RDSTREAM_FIXED));
    ASSERT_EQ(0u, RDStreamDataSet(&s, 256, "hello!", 6));
    RDStreamDataFree(&s);
}

TEST_F(StreamStorage, EmptyStreamSurvivesASystemRestart) {
    RDStream s;
    ASSERT_EQ(0u, RDStreamCreate(&s, 0, 0, 256));
    RDSystemTerm();
    ASSERT_EQ(0u, RDSystemInit());
    RDStreamDataFree(&s); // still the shared empty data: nothing to free
    ASSERT_EQ(0u, RDStreamDataSet(&s, 256, "abc", 3));
    RDStreamDataFree(&s);
}

TEST_F(StreamStorage, PresizedStorageNeverMoves) {
    Stream small("", 256, 5), fixed("", 256, 64, RDSTREAM_FIXED);
    uint8_t *smallBlock = small.s.data, *fixedBlock = fixed.s.data;
    uint32_t flags = 99;
    RDStreamDataGetInfo(&small, nullptr, &flags, nullptr, nullptr, nullptr);
    EXPECT_EQ(0u, flags); // markers are not reported here
    for (uint32_t n : {3u, 5u, 0u, 64u, 11u}) {
        EXPECT_EQ(n <= 5 ? 0u : 12801u, RDStreamDataSet(&small, 256, "abcdefghijk", n));
        ASSERT_EQ(0u, RDStreamDataSet(&fixed, 256, std::string(n, 'q').data(), n));
        EXPECT_TRUE(smallBlock == small.s.data && fixedBlock == fixed.s.data) << n;
        EXPECT_TRUE(Terminated(small.s) && Terminated(fixed.s));
    }
    EXPECT_EQ("", small.Bytes()); // refused sets changed nothing
    EXPECT_EQ(std::string(11, 'q'), fixed.Bytes());
}

TEST_F(StreamStorage, MaximumLengthCutsOrRefuses) {
    const std::string twenty = "abcdefghijklmnopqrst";
    Stream strict("", 256, 16), cut("", 256, 16, RDSTREAM_TRUNCATE);
    EXPECT_EQ(12801u, RDStreamDataSet(&strict, 256, twenty.data(), 20));
    ASSERT_EQ(0u, RDStreamDataSet(&cut, 256, twenty.data(), 20));
    EXPECT_EQ(twenty.substr(0, 16), cut.Bytes());
    uint8_t *data = nullptr;
    uint32_t length = 0;
    ASSERT_EQ(0u, RDStreamDataAlloc(&cut, 300, 99, &data, &length));
    EXPECT_TRUE(length == 16 && cut.s.data == data && cut.s.charset == 300);
    EXPECT_EQ(12801u, RDStreamDataAlloc(&strict, 300, 17, &data, &length));
    EXPECT_TRUE(data == nullptr && strict.s.charset == 256);
}

TEST_F(StreamStorage, SetChecksInOrderAndGrows) {
    Stream s("", 256);
    EXPECT_EQ(12808u, RDStreamDataSet(nullptr, 0, nullptr, 1));
    EXPECT_EQ(12300u, RDStreamDataSet(&s, 0, nullptr, 1));
    EXPECT_EQ(12301u, RDStreamDataSet(&s, 256, nullptr, 1));
    EXPECT_EQ(12300u, RDStreamDataAlloc(&s, 0, 1, nullptr, nullptr));
    for (uint32_t n : {1u, 10u, 300u, 2u, 0u}) {
        const std::string text(n, static_cast<char>('a' + n % 26));
        ASSERT_EQ(0u, RDStreamDataSet(&s, 257, text.data(), n));
        EXPECT_EQ(text, s.Bytes());
        EXPECT_TRUE(Terminated(s.s));
    }
    EXPECT_EQ(257u, s.s.charset);
    // Bytes taken from the stream's own storage survive its resizing.
    const std::string own = std::string(40, 'a') + "tail";
    ASSERT_EQ(0u, RDStreamDataSet(&s, 256, own.data(), 44));
    ASSERT_EQ(0u, RDStreamDataSet(&s, 256, s.s.data + 40, 4));
    EXPECT_EQ("tail", s.Bytes());
}

// A stream holding the empty data takes the short way: every length of
// the inline copies and their edges, then a failed allocation, which loses
// the storage and keeps the character set as the general way does.
TEST_F(StreamStorage, SetIntoAnEmptyStream) {
    std::string text;
    for (int i = 0; i < 70; ++i)
        text += static_cast<char>('A' + i % 50);
    for (uint32_t n = 1; n <= 70; ++n) {
        Stream s("", 256);
        ASSERT_EQ(0u, RDStreamDataSet(&s, 257, text.data(), n)) << n;
        EXPECT_EQ(text.substr(0, n), s.Bytes()) << n;
        EXPECT_TRUE(Terminated(s.s)) << n;
        EXPECT_EQ(257u, s.s.charset);
    }
    Stream s("", 256);
    RDTestMemFailNth(1);
    EXPECT_EQ(258u, RDStreamDataSet(&s, 257, text.data(), 20));
    EXPECT_TRUE(s.s.data == nullptr && s.s.length == 0);
    EXPECT_EQ(256u, s.s.charset);
    ASSERT_EQ(0u, RDStreamDataSet(&s, 257, text.data(), 20)); // a cleared record is set anew
    EXPECT_EQ(text.substr(0, 20), s.Bytes());
}

TEST_F(StreamStorage, ReallocKeepsContents) {
    Stream s("abc", 256), limited("abc", 256, 4);
    uint8_t *data = nullptr;
    ASSERT_EQ(0u, RDStreamDataRealloc(&s, 200, &data));
    EXPECT_TRUE(s.s.data == data && std::memcmp(data, "abc", 3) == 0);
    ASSERT_EQ(0u, RDStreamDataRealloc(&s, 2, &data));
    EXPECT_EQ("ab", s.Bytes());
    EXPECT_TRUE(Terminated(s.s));
    EXPECT_EQ(12801u, RDStreamDataRealloc(&limited, 5, &data));
    EXPECT_EQ(limited.s.data, data);
    EXPECT_EQ(12808u, RDStreamDataRealloc(nullptr, 1, &data));
    EXPECT_EQ(nullptr, data);
}

TEST_F(StreamStorage, FreeAndInfo) {
    Stream s("hello world, a longer text", 300, 100, RDSTREAM_NOCASE | 0x800);
    uint32_t max = 0, flags = 0, charset = 0, length = 0;
    uint8_t *data = nullptr;
    ASSERT_EQ(0u, RDStreamDataGetInfo(&s, &max, &flags, &charset, &data, &length));
    EXPECT_EQ((Fields{100, 26, RDSTREAM_NOCASE | 0x800, 300}),
              (Fields{max, length, flags, charset}));
    EXPECT_EQ(s.s.data, data);
    EXPECT_EQ(12808u, RDStreamDataGetInfo(nullptr, &max, &flags, &charset, &data, &length));
    EXPECT_EQ(0u, max + flags + charset + length);
    RDStreamDataFree(&s);
    EXPECT_EQ(0u, RDStreamDataGetBuffer(&s, &charset, &data));
    EXPECT_TRUE(data[0] == 0 && charset == 300 && s.s.flags == (RDSTREAM_NOCASE | 0x800));
    RDStream cleared{};
    uint8_t *empty = nullptr;
    RDStreamDataGetBuffer(&cleared, nullptr, &empty);
    EXPECT_EQ(data, empty); // one shared empty area
    EXPECT_EQ(0u, RDStreamDataGetBuffer(nullptr, &charset, &data));
    EXPECT_EQ(nullptr, data);
}

TEST_F(StreamStorage, FixedFlagReallocatesPrivateStorage) {
    Stream s("abcdefghijkl", 256, 40), fixed("abc", 256, 30, RDSTREAM_FIXED);
    ASSERT_EQ(0u, RDStreamDataSetFlags(&s, RDSTREAM_FIXED | RDSTREAM_BORROWED));
    EXPECT_EQ(RDSTREAM_FIXED, RDStreamDataGetFlags(&s)); // caller's markers ignored
    ASSERT_EQ(0u, RDStreamDataSet(&s, 256, std::string(40, 'f').data(), 40));
    EXPECT_EQ(std::string(40, 'f'), s.Bytes());
    ASSERT_EQ(0u, RDStreamDataSetFlags(&fixed, RDSTREAM_NOCASE));
    EXPECT_EQ(RDSTREAM_NOCASE, RDStreamDataGetFlags(&fixed)); // no longer pre-sized
    EXPECT_EQ("abc", fixed.Bytes());
    ASSERT_EQ(0u, RDStreamDataSet(&fixed, 256, std::string(30, 't').data(), 30));
    EXPECT_TRUE(Terminated(fixed.s));
}

} // namespace
