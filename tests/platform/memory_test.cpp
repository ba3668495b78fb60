#include "rdplat.h"
#include "rdplat_test.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Memory, SizeZeroGivesAUsableByte) {
    auto *block = static_cast<char *>(RDMemAlloc(0));
    ASSERT_NE(block, nullptr);
    block[0] = 'x';
    RDMemFree(block);
    auto *zeroed = static_cast<char *>(RDMemCalloc(0));
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(zeroed[0], 0);
    RDMemFree(zeroed);
    EXPECT_EQ(RDMemAlloc(-1), nullptr);
    EXPECT_EQ(RDMemCalloc(-1), nullptr);
    RDMemFree(nullptr);
}

TEST(Memory, CallocZeroFills) {
    auto *block = static_cast<unsigned char *>(RDMemCalloc(4096));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 4096; ++i)
        ASSERT_EQ(block[i], 0) << i;
    RDMemFree(block);
}

TEST(Memory, ReallocKeepsContentAndTreatsNullAndZero) {
    EXPECT_EQ(RDMemRealloc(nullptr, 0, 16), nullptr);
    auto *block = static_cast<char *>(RDMemAlloc(8));
    std::memcpy(block, "abcdefg", 8);
    block = static_cast<char *>(RDMemRealloc(block, 8, 100000));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "abcdefg");
    block = static_cast<char *>(RDMemRealloc(block, 100000, 0));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[0], 'a');
    RDMemFree(block);
}

TEST(Memory, FailureHookFailsExactlyTheNthAllocation) {
    RDTestMemFailNth(3);
    EXPECT_EQ(RDTestMemFailPending(), 1);
    void *first = RDMemAlloc(4);
    void *second = RDMemCalloc(4);
    void *third = RDMemAlloc(4);
    void *fourth = RDMemAlloc(4);
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(third, nullptr);
    EXPECT_NE(fourth, nullptr);
    EXPECT_EQ(RDTestMemFailPending(), 0);
    RDMemFree(first);
    RDMemFree(second);
    RDMemFree(fourth);
}

TEST(Memory, FailedReallocLeavesTheOldBlock) {
    auto *block = static_cast<char *>(RDMemAlloc(4));
    std::memcpy(block, "abc", 4);
    RDTestMemFailNth(1);
    EXPECT_EQ(RDMemRealloc(block, 4, 64), nullptr);
    EXPECT_STREQ(block, "abc");
    RDMemFree(block);
    RDTestMemFailNth(0);
    EXPECT_EQ(RDTestMemFailPending(), 0);
}

} // namespace
