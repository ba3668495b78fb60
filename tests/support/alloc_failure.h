// SPDX-License-Identifier: Apache-2.0
// Looping an operation through every allocation it makes: RDMemAlloc and the
// C++ heap (see fail_new.h) fail on one shared count.
#pragma once

#include "fail_new.h"
#include "rdplat_test.h"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>

namespace rdtest {

// Runs attempt() with the n-th allocation failing, n = 1, 2, ..., until it
// returns 0 with the failure unfired; failed(status) checks each failed run
// (and undoes what a run may leave for the next one). attempt() must build
// every text it hands over before it is called: the test's own allocations
// count too. Returns the number of failed runs.
inline int ForEachAllocationFailure(const std::function<uint32_t()> &attempt,
                                    const std::function<void(uint32_t)> &failed) {
    const CppHeapFailures cppHeap;
    for (uint32_t n = 1; n < 10000; ++n) {
        RDTestMemFailNth(n);
        const uint32_t status = attempt();
        const bool fired = RDTestMemFailPending() == 0;
        RDTestMemFailNth(0);
        if (!fired) {
            EXPECT_EQ(0u, status) << "after " << n - 1 << " failed runs";
            return static_cast<int>(n - 1);
        }
        failed(status);
    }
    ADD_FAILURE() << "the operation never completed";
    return -1;
}

} // namespace rdtest
