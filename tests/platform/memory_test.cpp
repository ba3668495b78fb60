// SPDX-License-Identifier: Apache-2.0
#include "platform_test.h"

#include <algorithm>

namespace {

TEST(Memory, SizeZeroGivesAUsableByteAndCallocZeroFills) {
    auto *block = static_cast<char *>(RDMemAlloc(0));
    ASSERT_NE(block, nullptr);
    block[0] = 'x';
    RDMemFree(block);
    auto *zeroed = static_cast<char *>(RDMemCalloc(4096));
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(std::count(zeroed, zeroed + 4096, 0), 4096);
    RDMemFree(zeroed);
    EXPECT_EQ(RDMemAlloc(-1), nullptr);
    EXPECT_EQ(RDMemCalloc(-1), nullptr);
    RDMemFree(nullptr);
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

TEST(Memory, HookFailsExactlyTheNthAllocationAndAFailedReallocKeepsTheBlock) {
    RDTestMemFailNth(3);
    EXPECT_EQ(RDTestMemFailPending(), 1);
    auto *first = static_cast<char *>(RDMemAlloc(4));
    void *second = RDMemCalloc(4);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
    std::memcpy(first, "abc", 4);
    EXPECT_EQ(RDMemRealloc(first, 4, 64), nullptr);
    EXPECT_STREQ(first, "abc");
    void *fourth = RDMemAlloc(4);
    EXPECT_NE(fourth, nullptr);
    EXPECT_EQ(RDTestMemFailPending(), 0);
    RDMemFree(first);
    RDMemFree(second);
    RDMemFree(fourth);
}

} // namespace
