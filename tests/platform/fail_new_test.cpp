// SPDX-License-Identifier: Apache-2.0
#include "platform_test.h"

#include <memory>
#include <new>

namespace {

// The tests' operator new counts on the same failure as RDMemAlloc.
TEST(FailNew, TheCppHeapFailsOnTheSharedCountWhenSwitchedOn) {
    RDTestMemFailNth(1);
    delete new int(1); // not counted
    EXPECT_EQ(RDTestMemFailPending(), 1);

    const rdtest::CppHeapFailures on;
    RDTestMemFailNth(3);
    auto first = std::make_unique<int>(1);
    void *block = RDMemAlloc(8);
    EXPECT_NE(block, nullptr);
    EXPECT_THROW((void)std::make_unique<int[]>(4), std::bad_alloc);
    EXPECT_EQ(RDTestMemFailPending(), 0);
    RDMemFree(block);

    RDTestMemFailNth(1);
    EXPECT_EQ(new (std::nothrow) char[16], nullptr);
    RDTestMemFailNth(2);
    auto *counted = new (std::nothrow) char;
    EXPECT_NE(counted, nullptr);
    EXPECT_EQ(RDMemAlloc(4), nullptr) << "the C++ heap counted one";
    delete counted;
    RDTestMemFailNth(0);
    std::string grown(1000, 'x'); // disarmed: allocations go through
    EXPECT_EQ(grown.size(), 1000u);
}

} // namespace
