// SPDX-License-Identifier: Apache-2.0
// Log entries of a second thread held until the activity's thread makes
// them: nothing sent, no status word and no statistics until then; made in
// their order with their operation, or dropped; the thread's connector
// still reads its own last entry.
#include "activity/log_hold.h"
#include "activity_test_env.h"
#include "connect/connection.h"
#include "rdx_connector.h"

#include <thread>

namespace {

using rdxtest::Stream;

class LogHoldTest : public rdxtest::ActivityTest {
  protected:
    // Runs work on a thread that holds its entries in hold_.
    template <class Work> void OnHoldingThread(Work work) {
        std::thread thread([&] {
            ASSERT_EQ(0u, RDActivityHoldBegin(&hold_));
            work();
            RDActivityHoldEnd();
        });
        thread.join();
    }
    void TearDown() override {
        RDActivityHoldFree(hold_);
        rdxtest::ActivityTest::TearDown();
    }
    RDLogHold *hold_ = nullptr;
};

TEST_F(LogHoldTest, EntriesWaitForTheActivitysThreadAndKeepTheirOrder) {
    rdxtest::FakeConnection connection{};
    RDStreamDataSet(&connection.name, 256, "src", 3);
    uint32_t lastOnThread = 0;
    std::string textOnThread;
    OnHoldingThread([&] {
        rdx::ThreadLog().current = {connection.Record(), RDXENTRY_FETCH, 0};
        RDStream text{};
        RDStreamDataSet(&text, 256, "line 3: bad", 11);
        EXPECT_EQ(RDSTATUS_FREETEXT, RDActivityLogStream(0, &text, 12806));
        RDStreamDataFree(&text);
        // The fault the connector logged is not logged again.
        EXPECT_EQ(RDSTATUS_RECORDFAULT, RDActivityLog(RDSTATUS_RECORDFAULT));
        EXPECT_EQ(1546u, RDActivityLog(1546));
        lastOnThread = RDActivityGetLogLast(nullptr, nullptr, nullptr);
        rdx::CountCall(RDXENTRY_FETCH);
        rdx::CountRecords(RDXENTRY_FETCH, 40);
        rdx::ThreadLog().current = {};
    });
    EXPECT_EQ(1546u, lastOnThread);
    // Nothing made yet: not sent, no status word, no last entry, no counts.
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(0u, RDActivityGetStatus());
    EXPECT_EQ(0u, RDActivityGetLogLast(nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, rdx::Connections().recordCounts[RDXENTRY_FETCH]);
    EXPECT_EQ(0u, RDActivityHoldRelease(hold_, 1));
    ASSERT_EQ(2u, sent().size());
    EXPECT_NE(std::string::npos, sent()[0].text.find("line 3: bad")) << sent()[0].text;
    EXPECT_NE(std::string::npos, sent()[0].text.find("connection src")) << sent()[0].text;
    EXPECT_EQ(1546u, sent()[1].message);
    EXPECT_EQ(1546u, RDActivityGetStatus());
    EXPECT_EQ(1u, rdx::Connections().callCounts[RDXENTRY_FETCH]);
    EXPECT_EQ(40u, rdx::Connections().recordCounts[RDXENTRY_FETCH]);
    // Released once: a second release makes nothing.
    EXPECT_EQ(0u, RDActivityHoldRelease(hold_, 1));
    EXPECT_EQ(2u, sent().size());
    RDStreamDataFree(&connection.name);
}

TEST_F(LogHoldTest, DroppedEntriesAreNeverMade) {
    OnHoldingThread([] {
        EXPECT_EQ(1546u, RDActivityLog(1546));
        rdx::CountRecords(RDXENTRY_FETCH, RDX_COUNT_UNKNOWN);
    });
    EXPECT_EQ(0u, RDActivityHoldRelease(hold_, 0));
    EXPECT_EQ(0u, RDActivityHoldRelease(hold_, 1));
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(0u, RDActivityGetStatus());
    EXPECT_EQ(0u, rdx::Connections().recordCounts[RDXENTRY_FETCH]);
}

TEST_F(LogHoldTest, MisuseIsRefused) {
    EXPECT_EQ(RDSTATUS_NOSTREAM, RDActivityHoldBegin(nullptr));
    EXPECT_EQ(RDSTATUS_NOSTREAM, RDActivityHoldRelease(nullptr, 1));
    OnHoldingThread([this] {
        RDLogHold *second = reinterpret_cast<RDLogHold *>(1);
        EXPECT_EQ(RDSTATUS_NOTREADY, RDActivityHoldBegin(&second));
        EXPECT_EQ(nullptr, second); // cleared first
        // Only the activity's thread makes the entries.
        EXPECT_EQ(RDSTATUS_NOTREADY, RDActivityHoldRelease(hold_, 1));
    });
    // Without an activity nothing is held.
    rdx::ActivityState saved = rdx::Context()->activity;
    rdx::Context()->activity = rdx::ActivityState{};
    RDLogHold *none = nullptr;
    EXPECT_EQ(RDSTATUS_NOACTIVITY, RDActivityHoldBegin(&none));
    EXPECT_EQ(nullptr, none);
    rdx::Context()->activity = saved;
}

} // namespace
