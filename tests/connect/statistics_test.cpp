// SPDX-License-Identifier: Apache-2.0
// The statistics read while an activity runs: its checks, a partial copy of
// the record, and that reading leaves the counts for the activity's end.
#include "connect_test_env.h"

#include <algorithm>

namespace connecttest {
namespace {

constexpr uint32_t kFill = 0xA5A5A5A5u;

TEST_F(ConnectTest, StatisticsNeedAnActivityAndARecord) {
    uint32_t record[RDSTATISTICS_WORDS];
    std::fill(std::begin(record), std::end(record), kFill);
    EXPECT_EQ(12302u, RDActivityGetStatistics(nullptr, 1));
    EXPECT_EQ(0u, RDActivityGetStatistics(nullptr, 0));
    EndActivity();
    EXPECT_EQ(12321u, RDActivityGetStatistics(record, RDSTATISTICS_WORDS));
    EXPECT_EQ(12321u, RDActivityGetStatistics(nullptr, 1));
    EXPECT_EQ(kFill, record[0]);
}

TEST_F(ConnectTest, StatisticsCopyTheFirstWordsAndLeaveTheCounts) {
    Install({"linka"});
    const uint32_t handle = OpenConnected("linka");
    List list(10);
    uint32_t n = 0;
    ASSERT_EQ(0u, RDConnectFetch(handle, list.handle, 1, 3, &n));
    ASSERT_EQ(0u, RDConnectInsert(handle, list.handle, 1, 4, &n));
    // Word 0 counts connects, 4 fetches; 14 and 15 the records fetched
    // and inserted.
    const struct Case {
        uint32_t words;
        uint32_t copied;
    } cases[] = {{1, 1}, {5, 5}, {15, 15}, {19, 19}, {25, 19}};
    for (const Case &c : cases) {
        uint32_t record[25];
        std::fill(std::begin(record), std::end(record), kFill);
        ASSERT_EQ(0u, RDActivityGetStatistics(record, c.words)) << c.words;
        const uint32_t expected[RDSTATISTICS_WORDS] = {1, 0, 0, 0, 1, 1, 0, 0, 0, 0,
                                                       0, 0, 0, 0, 3, 4, 0, 0, 0};
        for (uint32_t i = 0; i < 25; ++i)
            EXPECT_EQ(i < c.copied ? expected[i] : kFill, record[i]) << c.words << " word " << i;
    }
    // Reading does not take the counts: the activity's end still reports them.
    uint32_t taken[rdx::kStatisticsWords];
    rdx::ConnectTakeStatistics(taken);
    EXPECT_EQ(3u, taken[14]);
    EXPECT_EQ(4u, taken[15]);
}

} // namespace
} // namespace connecttest
