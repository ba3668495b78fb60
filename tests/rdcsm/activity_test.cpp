// SPDX-License-Identifier: Apache-2.0
// A whole activity run by a host against rdcsm: the run queued, taken with
// CSMgrNextActivity, started, launched and ended through the library's
// activity functions with a real activity connector.
#include "rdcsm_test_env.h"

#include "rdx_status.h"

namespace rdcsmtest {
namespace {

TEST_F(ServerTest, HostRunsAQueuedActivity) {
    ASSERT_EQ(0, rdtest::Shell(std::string("cp '") + RDCSM_ACTIVITY_CONNECTOR + "' '" +
                               home_.Path("act_good.rdx") + "'"));
    Define(rdcsm::kActivity, "job", {TextItem(0x30001, "act_good"), IntItem(1, 41)});
    ASSERT_EQ(0u, CSMgrRunActivity(0, &Stream("job", 256)));

    ASSERT_EQ(0u, CSMgrInit(nullptr));
    NextActivityRecord next{};
    ASSERT_EQ(0u, CSMgrNextActivity(&next));
    ActivityBlock block{next.handle, next.command, {next.words[0], next.words[1], next.words[2]}};
    ASSERT_EQ(0u, RDActivityInit(&block));
    int32_t count = 0;
    ASSERT_EQ(0u, RDActivityGetPropertyInt(1, &count)); // "Count", from the description
    EXPECT_EQ(41, count);
    EXPECT_EQ(0u, RDActivityLaunch());
    const int32_t result = 42;
    ASSERT_EQ(0u, RDActivitySetPropertyInt(1, &result));
    EXPECT_EQ(0u, RDActivityGetStatus());
    EXPECT_EQ(0u, RDActivityTerm());
    EXPECT_EQ(0u, CSMgrDoneActivity(next.handle, 0));
    EXPECT_EQ(0u, CSMgrTerm());

    // The run ended, its statistics arrived and the result was put back.
    std::lock_guard guard(state_->lock);
    rdcsm::Statement run(state_->store.Db(), "SELECT state, end_code FROM runs");
    ASSERT_TRUE(run.Step());
    EXPECT_EQ(2, run.Int(0));
    EXPECT_EQ(0, run.Int(1));
    rdcsm::Statement stats(state_->store.Db(), "SELECT run FROM stats");
    ASSERT_TRUE(stats.Step());
    EXPECT_EQ(next.handle - rdcsm::kRunBase, stats.Int(0));
    rdcsm::Statement description(state_->store.Db(),
                                 "SELECT description FROM objects WHERE name = 'job'");
    ASSERT_TRUE(description.Step());
    const std::string bytes = description.Blob(0);
    std::vector<rdcsm::Item> items;
    ASSERT_TRUE(rdcsm::ParseItems({reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()},
                                  0, items, false));
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ(IntItem(1, 42).value, items[1].value);
}

} // namespace
} // namespace rdcsmtest
