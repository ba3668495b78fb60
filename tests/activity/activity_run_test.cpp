// SPDX-License-Identifier: Apache-2.0
// RDActivityRunActivity: a request to the server manager and, when asked,
// the wait for the run, with the sleep and the clock replaced so that the
// 15-second polls pass at once.
#include "activity_peer_env.h"

#include "activity/activity_run.h"
#include "rdx_activity.h"

namespace rdxtest {
namespace {

constexpr uint32_t kDay = 2460000;

class RunTest : public PeerActivityTest {
  protected:
    void SetUp() override {
        PeerActivityTest::SetUp();
        Install("act_good");
        Serve(5, TextItem(0x30001, "act_good"));
        ASSERT_EQ(0u, RDActivityInit(&block_));
        saved_ = rdx::g_runWait;
        sleeps_ = 0;
        onSleep_ = nullptr;
        rdx::g_runWait = {Sleep, Now};
        Mark();
    }
    void TearDown() override {
        rdx::g_runWait = saved_;
        PeerActivityTest::TearDown();
    }
    // Each sleep moves the clock on by its seconds.
    static uint32_t Sleep(uint32_t seconds) {
        EXPECT_EQ(rdx::kRunPollSeconds, seconds);
        ++sleeps_;
        if (onSleep_ != nullptr) onSleep_();
        return 0;
    }
    static uint32_t Now(RDDatetime *now) {
        *now = RDDatetime{100000 + sleeps_ * rdx::kRunPollSeconds * 100, kDay};
        return 0;
    }
    static Reply Synced(uint32_t word, uint32_t status = 0) {
        Reply reply = Reply::Answer(status, "", 25);
        reply.bytes->replace(16, 4, Word(word));
        return reply;
    }
    std::size_t SyncCount() {
        std::size_t count = 0;
        for (uint32_t code : Codes())
            count += code == kSync;
        return count;
    }

    ActivityBlock block_{5, 0, {0, 0, 0}};
    rdx::RunWaitSeam saved_{};
    static inline uint32_t sleeps_ = 0;
    static inline void (*onSleep_)() = nullptr;
};

TEST_F(RunTest, WithoutWaitingTheServerManagersStatusIsTheResult) {
    Stream name("weekly", 256);
    peer_.Script(Reply::Answer(906));
    EXPECT_EQ(906u, RDActivityRunActivity(&name, 0, nullptr));
    const std::string request = peer_.LastRequest();
    EXPECT_EQ(kRun, WordAt(request, 0));
    EXPECT_EQ(0u, WordAt(request, 16));
    EXPECT_EQ(std::string("weekly\0", 7), request.substr(24, 7));
    EXPECT_EQ(12808u, RDActivityRunActivity(nullptr, 0, nullptr));
    EXPECT_EQ(0u, sleeps_);
}

TEST_F(RunTest, WaitingPollsUntilTheRunsHaveFinished) {
    Stream name("weekly", 256);
    peer_.Script(Reply::Answer(907)); // the run's own status is not examined
    peer_.Script(Synced(1));
    peer_.Script(Synced(1));
    peer_.Script(Synced(0));
    EXPECT_EQ(0u, RDActivityRunActivity(&name, RDRUN_WAIT, nullptr));
    EXPECT_EQ(5u, WordAt(peer_.Requests()[mark_], 16)); // the run names the waiting activity
    EXPECT_EQ(3u, SyncCount());
    EXPECT_EQ(2u, sleeps_);
}

TEST_F(RunTest, FailedSyncCheckEndsTheWait) {
    Stream name("weekly", 256);
    peer_.Script(Reply::Answer(0));
    peer_.Script(Synced(1));
    peer_.Script(Synced(0, 908));
    EXPECT_EQ(908u, RDActivityRunActivity(&name, RDRUN_WAIT, nullptr));
    EXPECT_EQ(1u, sleeps_);
}

TEST_F(RunTest, DeadlineEndsTheWait) {
    Stream name("weekly", 256);
    struct Case {
        uint32_t deadlineTicks, sleeps;
    } const cases[] = {{99000, 0}, {100000 + 4000, 3}};
    for (const Case &c : cases) {
        sleeps_ = 0;
        Mark();
        const RDDatetime deadline{c.deadlineTicks, kDay};
        // The server manager never reports the runs finished (its echo
        // carries the handle in the sync word).
        EXPECT_EQ(12322u, RDActivityRunActivity(&name, RDRUN_WAIT, &deadline));
        EXPECT_EQ(c.sleeps, sleeps_);
        EXPECT_EQ(c.sleeps + 1, SyncCount());
    }
}

TEST_F(RunTest, StopRequestDuringTheWaitEndsIt) {
    Stream name("weekly", 256);
    static ActivityBlock *block = nullptr;
    block = &block_;
    onSleep_ = [] { block->command = 2; };
    EXPECT_EQ(1543u, RDActivityRunActivity(&name, RDRUN_WAIT, nullptr));
    EXPECT_EQ(1u, sleeps_);
    EXPECT_EQ(1u, SyncCount());
    EXPECT_EQ(1543u, RDActivityRunActivity(&name, 0, nullptr));
    block_.command = 0;
}

} // namespace
} // namespace rdxtest
