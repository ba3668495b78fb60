// SPDX-License-Identifier: Apache-2.0
// LargeBuffer: whole steps, sizes in 64 bits, and nothing changed on refusal.
#include "rdplat_mem.h"
#include "rdx_csmgr.h"

#include <gtest/gtest.h>

namespace {

TEST(LargeBuffer, GrowsInWholeStepsOrRefusesUnchanged) {
    struct Case {
        uint32_t capacity, a, b, c, step, result, grown;
    } const cases[] = {
        {2048, 2000, 48, 1, 2048, 1, 4096},                 // one byte over: one step
        {2048, 2000, 48, 0, 2048, 1, 2048},                 // fits: nothing changes
        {2048, 5000, 0, 0, 2048, 1, 6144},                  // several steps at once
        {2048, 4000, 0, 0, 0, 0, 2048},                     // must grow but cannot step
        {2048, 100, 0, 0, 0, 1, 2048},                      // step 0 without growth
        {2048, 0xFFFFFFFFu, 0xFFFFFFFFu, 2, 2048, 0, 2048}, // sum past 32 bits
        {2048, 0x7FFFFFFFu, 0, 0, 2048, 0, 2048},           // larger than a block can be
    };
    for (const Case &c : cases) {
        uint32_t capacity = c.capacity;
        auto *block = static_cast<uint8_t *>(RDMemCalloc(static_cast<int32_t>(capacity)));
        uint8_t *const before = block;
        EXPECT_EQ(c.result, LargeBuffer(&block, &capacity, c.a, c.b, c.c, c.step)) << c.a;
        EXPECT_EQ(c.grown, capacity) << c.a;
        if (c.result == 0) {
            EXPECT_EQ(before, block);
        }
        for (uint32_t i = 0; i < capacity; ++i)
            ASSERT_EQ(0, block[i]) << "byte " << i << " of the grown block";
        RDMemFree(block);
    }
}

} // namespace
