// SPDX-License-Identifier: Apache-2.0
// The life of an activity from both doors: a host's RDActivityInit with the
// block it received, and any program's RDActivityAlloc, against a stand-in
// server manager and test activity connectors.
#include "activity_peer_env.h"

#include "rdx_activity.h"

namespace rdxtest {
namespace {

const std::string kGood = TextItem(0x30001, "act_good");

class LifecycleTest : public PeerActivityTest {
  protected:
    rdx::ActivityState &State() { return rdx::Context()->activity; }
    bool Active() { return RDActivityGetCommand() != RDSTATUS_NOACTIVITY; }
};

TEST_F(LifecycleTest, StandAloneActivityTalksToNobody) {
    ASSERT_EQ(0u, RDActivityAlloc(0, nullptr, 0));
    EXPECT_EQ(7u, State().activityMode);
    EXPECT_EQ(0u, State().activityBlock->handle);
    EXPECT_EQ(257u, RDActivityLaunch());
    EXPECT_EQ(RDSTATUS_NOHANDLE, RDActivityLog(RDSTATUS_NOHANDLE)); // logged, not sent
    EXPECT_EQ(0u, RDActivityFree());
    EXPECT_FALSE(Active());
    EXPECT_EQ(0u, peer_.Count());
    // The host's platform and system context outlive the activity.
    EXPECT_EQ(home_.Dir(), std::string(RDFileExeDir()));
    ASSERT_NE(nullptr, rdx::Context());
    EXPECT_EQ(1u, rdx::Context()->refCount);
}

TEST_F(LifecycleTest, EmptyNameCountsAsNone) {
    ASSERT_EQ(0u, RDActivityAlloc(0, "", 0));
    EXPECT_EQ(7u, State().activityMode);
    EXPECT_EQ(0u, RDActivityFree());
    EXPECT_EQ(0u, peer_.Count());
}

TEST_F(LifecycleTest, AllocNestsUntilTheLastFree) {
    ASSERT_EQ(0u, RDActivityAlloc(0, nullptr, 0));
    ASSERT_EQ(0u, RDActivityAlloc(0, "ignored", 0));
    EXPECT_EQ(2u, State().activityNesting);
    EXPECT_EQ(0u, RDActivityFree());
    EXPECT_TRUE(Active());
    EXPECT_EQ(0u, RDActivityFree());
    EXPECT_FALSE(Active());
    EXPECT_EQ(RDSTATUS_NOACTIVITY, RDActivityFree());
    EXPECT_EQ(0u, peer_.Count());
}

TEST_F(LifecycleTest, AllocStartsAndStopsThePlatformItStarted) {
    RDSystemTerm();
    RDPlatTerm();
    ASSERT_STREQ("", RDFileExeDir());
    ASSERT_EQ(0u, RDActivityAlloc(0, nullptr, 0));
    EXPECT_EQ(home_.Dir(), std::string(RDFileExeDir()));
    EXPECT_EQ(0u, RDActivityFree());
    EXPECT_STREQ("", RDFileExeDir());
    EXPECT_EQ(nullptr, rdx::Context());
}

TEST_F(LifecycleTest, NamedActivityRunsWithItsConnector) {
    Install("act_good");
    Serve(5, kGood + TextItem(0x30004, "from the description"));
    ASSERT_EQ(0u, RDActivityAlloc(0, "nightly", 0));
    EXPECT_EQ((std::vector<uint32_t>{kAttach, kInfo, kOpen, kGetDesc}), Codes());
    const std::string open = Last(kOpen);
    EXPECT_EQ(1u, WordAt(open, 20));
    EXPECT_EQ(std::string("nightly\0", 8), open.substr(24, 8));
    EXPECT_EQ(5u, WordAt(Last(kGetDesc), 20));
    EXPECT_EQ(1u, State().activityMode);
    EXPECT_STREQ("act_good", State().connectorName);
    // The name is the one asked for, not the description's.
    Stream name;
    EXPECT_EQ(0u, RDActivityGetPropertyStream(0x30004, 256, &name));
    EXPECT_EQ("nightly", name.Bytes());
    EXPECT_EQ(257u, RDActivityLaunch()); // only a host's activity launches
    Mark();
    EXPECT_EQ(0u, RDActivityFree());
    EXPECT_EQ((std::vector<uint32_t>{kLog, kDone, kDetach}), Codes());
    EXPECT_EQ(2u, WordAt(Last(kLog), 16)); // the statistics record
    EXPECT_EQ(5u, WordAt(Last(kDone), 16));
    EXPECT_EQ(0u, WordAt(Last(kDone), 28));
}

TEST_F(LifecycleTest, FailedActivityEndsWithTheEndCodeAndSendsItsLog) {
    Install("act_good");
    Serve(5, kGood);
    ASSERT_EQ(0u, RDActivityAlloc(0, "nightly", 0));
    Mark();
    EXPECT_EQ(RDSTATUS_NOHANDLE, RDActivityLog(RDSTATUS_NOHANDLE));
    ASSERT_EQ((std::vector<uint32_t>{kLog}), Codes());
    EXPECT_EQ(1u, WordAt(Last(kLog), 16)); // a text entry
    EXPECT_EQ(RDSTATUS_NOHANDLE, WordAt(Last(kLog), 100));
    EXPECT_EQ(0u, RDActivityFree());
    EXPECT_EQ(RDSTATUS_ENDCODE, WordAt(Last(kDone), 28));
    // The next activity starts without the last entry or the status word.
    ASSERT_EQ(0u, RDActivityAlloc(0, nullptr, 0));
    Stream text("stale", 256);
    EXPECT_EQ(0u, RDActivityGetLogLast(&text, nullptr, nullptr));
    EXPECT_EQ("", text.Bytes());
    EXPECT_EQ(0u, RDActivityGetStatus());
    EXPECT_EQ(0u, RDActivityFree());
}

// Each failure of loading the activity's connector, from both doors.
struct LoadCase {
    const char *what;
    std::string items;
    const char *install;
    uint32_t init, alloc;
};

std::vector<LoadCase> LoadCases() {
    return {
        {"good", kGood, "act_good", 0, 0},
        {"no connector property", IntItem(0x30002, 1), nullptr, 1538, 0},
        {"connector name not a text", IntItem(0x30001, 1), nullptr, 1538, 0},
        {"library missing", TextItem(0x30001, "act_absent"), nullptr, 1539, 1539},
        {"name with a slash", TextItem(0x30001, "../act_good"), "act_good", 1539, 1539},
        {"no launch", TextItem(0x30001, "act_nolaunch"), "act_nolaunch", 1540, 0},
        {"no identify", TextItem(0x30001, "act_noidentify"), "act_noidentify", 1540, 1540},
        {"link connector", TextItem(0x30001, "act_link"), "act_link", 1540, 1540},
        {"old version", TextItem(0x30001, "act_oldversion"), "act_oldversion", 1541, 1541},
        {"identify refuses", TextItem(0x30001, "act_refuses"), "act_refuses", 777, 777},
    };
}

TEST_F(LifecycleTest, InitReportsEveryLoadFailureAndLeavesNoActivity) {
    for (const LoadCase &c : LoadCases()) {
        if (c.install != nullptr) Install(c.install);
        Serve(5, c.items);
        ActivityBlock block{5, 0, {0, 0, 0}};
        Mark();
        EXPECT_EQ(c.init, RDActivityInit(&block)) << c.what;
        if (c.init == 0) {
            EXPECT_TRUE(Active()) << c.what;
            EXPECT_EQ(0u, RDActivityTerm()) << c.what;
        }
        EXPECT_FALSE(Active()) << c.what;
        // A host's activity leaves the attachment and the end to the host.
        std::vector<uint32_t> expected{kGetDesc};
        if (c.init == 1539 || c.init == 1540) expected.push_back(kLog);
        expected.push_back(kLog); // the statistics
        EXPECT_EQ(expected, Codes()) << c.what;
    }
}

TEST_F(LifecycleTest, AllocReportsLoadFailuresAndClosesTheAttachment) {
    for (const LoadCase &c : LoadCases()) {
        if (c.install != nullptr) Install(c.install);
        Serve(5, c.items);
        Mark();
        EXPECT_EQ(c.alloc, RDActivityAlloc(0, "nightly", 0)) << c.what;
        if (c.alloc == 0) {
            EXPECT_EQ(0u, RDActivityFree()) << c.what;
        }
        EXPECT_FALSE(Active()) << c.what;
        std::vector<uint32_t> codes = Codes();
        ASSERT_GE(codes.size(), 3u) << c.what;
        EXPECT_EQ(kDone, codes[codes.size() - 2]) << c.what;
        EXPECT_EQ(kDetach, codes.back()) << c.what;
        const bool logged = c.alloc == 1539 || c.alloc == 1540;
        EXPECT_EQ(c.alloc != 0 && logged ? RDSTATUS_ENDCODE : 0u, WordAt(Last(kDone), 28))
            << c.what;
    }
}

TEST_F(LifecycleTest, LoadFailureIsLoggedWithTheConnectorsName) {
    Serve(5, TextItem(0x30001, "act_absent"));
    ActivityBlock block{5, 0, {0, 0, 0}};
    EXPECT_EQ(1539u, RDActivityInit(&block));
    const std::vector<std::string> requests = peer_.Requests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ(kLog, WordAt(requests[1], 0));
    EXPECT_EQ(1539u, WordAt(requests[1], 100));
    EXPECT_EQ("ERROR: The activity connector act_absent could not be loaded.",
              std::string(requests[1].c_str() + 104));
}

TEST_F(LifecycleTest, DescriptionWithoutConnectorIsAnActivityWithoutDescription) {
    Serve(5, IntItem(0x30002, 1));
    ASSERT_EQ(0u, RDActivityAlloc(0, "nightly", 0));
    EXPECT_EQ(3u, State().activityMode);
    uint32_t number = 0;
    Stream name("field", 256);
    EXPECT_EQ(12319u, RDActivityAddProperty(&name, 1, &number));
    EXPECT_EQ(0u, RDActivityFree());
}

// A failed attach, open or an open without handle leaves no block to read
// through, sends no statistics and no end, and closes the attachment.
TEST_F(LifecycleTest, FailedAttachOrOpenLeavesNothingOpen) {
    struct Case {
        const char *what;
        Reply attach, open;
        uint32_t status;
        std::vector<uint32_t> codes;
    } const cases[] = {
        {"attach fails", Reply::Answer(901), Opened(5), 901, {kAttach, kDetach}},
        {"open fails", Reply::Answer(0), Opened(0, 903), 903, {kAttach, kInfo, kOpen, kDetach}},
        {"open without handle", Reply::Answer(0), Opened(0), 0, {kAttach, kInfo, kOpen, kDetach}},
    };
    for (const Case &c : cases) {
        peer_.Standing(kAttach, c.attach);
        peer_.Standing(kOpen, c.open);
        Mark();
        EXPECT_EQ(c.status, RDActivityAlloc(0, "nightly", 0)) << c.what;
        if (c.status == 0) {
            EXPECT_EQ(3u, State().activityMode) << c.what;
            EXPECT_EQ(0u, RDActivityFree()) << c.what;
        }
        EXPECT_FALSE(Active()) << c.what;
        EXPECT_EQ(c.codes, Codes()) << c.what;
    }
}

TEST_F(LifecycleTest, HostActivityLaunchesAndEndsOnlyWithTerm) {
    Install("act_good");
    Serve(5, kGood + TextItem(0x30004, "Nightly Load"));
    ActivityBlock block{5, 0, {0, 0, 0}};
    EXPECT_EQ(RDSTATUS_NULLARG1, RDActivityInit(nullptr));
    ActivityBlock noHandle{};
    EXPECT_EQ(1537u, RDActivityInit(&noHandle));
    ASSERT_EQ(0u, RDActivityInit(&block));
    EXPECT_EQ(257u, RDActivityInit(&block));
    const ScopedEnv launch("RDTEST_LAUNCH_STATUS", "4321");
    EXPECT_EQ(4321u, RDActivityLaunch());
    Stream name;
    EXPECT_EQ(0u, RDActivityGetPropertyStream(0x30004, 256, &name));
    EXPECT_EQ("Nightly Load", name.Bytes());
    // RDActivityFree and RDActivityAlloc leave a host's activity alone.
    EXPECT_EQ(0u, RDActivityFree());
    EXPECT_TRUE(Active());
    Mark();
    EXPECT_EQ(0u, RDActivityTerm());
    EXPECT_FALSE(Active());
    EXPECT_EQ((std::vector<uint32_t>{kLog}), Codes());
    EXPECT_EQ(0u, RDActivityTerm());
    EXPECT_EQ(RDSTATUS_NOACTIVITY, RDActivityLaunch());
}

TEST_F(LifecycleTest, TermSendsThePutBackValuesAndReturnsTheStatus) {
    Install("act_good");
    Serve(5, kGood);
    ActivityBlock block{5, 0, {0, 0, 0}};
    ASSERT_EQ(0u, RDActivityInit(&block));
    const int32_t count = 42;
    ASSERT_EQ(0u, RDActivitySetPropertyInt(1, &count));
    peer_.Standing(kPutDesc, Reply::Answer(904));
    Mark();
    EXPECT_EQ(904u, RDActivityTerm());
    EXPECT_EQ((std::vector<uint32_t>{kPutDesc, kLog}), Codes());
    const std::string put = Last(kPutDesc);
    EXPECT_EQ(IntItem(1, 42), put.substr(24, 20));
}

TEST_F(LifecycleTest, CommandsOfTheServerManagerStopTheFunctions) {
    Install("act_good");
    Serve(5, kGood);
    ActivityBlock stopped{5, 1, {0, 0, 0}};
    EXPECT_EQ(1542u, RDActivityInit(&stopped));
    EXPECT_FALSE(Active());
    ActivityBlock block{5, 0, {0, 0, 0}};
    ASSERT_EQ(0u, RDActivityInit(&block));
    int32_t value = 0;
    for (const auto &[command, status] : {std::pair{0u, 0u}, {1u, 1542u}, {2u, 1543u}, {3u, 0u}}) {
        block.command = command;
        EXPECT_EQ(status, RDActivityGetCommand()) << command;
        if (status != 0) {
            EXPECT_EQ(status, RDActivityGetPropertyInt(1, &value)) << command;
        }
    }
    EXPECT_EQ(0u, RDActivityTerm());
    EXPECT_EQ(RDSTATUS_NOACTIVITY, RDActivityGetCommand());
}

TEST_F(LifecycleTest, AllocSurvivesAllocationFailures) {
    Install("act_good");
    Serve(5, kGood);
    int failures = ForEachAllocationFailure(
        [&] {
            const uint32_t status = RDActivityAlloc(0, "nightly", 0);
            if (status == 0) RDActivityFree();
            return status;
        },
        [&](uint32_t status) {
            // 0 when the failure hit the end, whose sends are not checked.
            EXPECT_TRUE(status == 0 || status == 258 || status == 782 || status == 783) << status;
            EXPECT_FALSE(Active());
        });
    EXPECT_GT(failures, 3);
}

TEST_F(LifecycleTest, InitSurvivesAllocationFailures) {
    Install("act_good");
    Serve(5, kGood + TextItem(0x30004, "Nightly Load"));
    ActivityBlock block{5, 0, {0, 0, 0}};
    int failures = ForEachAllocationFailure(
        [&] {
            const uint32_t status = RDActivityInit(&block);
            if (status == 0) RDActivityTerm();
            return status;
        },
        [&](uint32_t status) {
            EXPECT_TRUE(status == 0 || status == 258 || status == 782 || status == 783 ||
                        status == 1539)
                << status;
            EXPECT_FALSE(Active());
        });
    EXPECT_GT(failures, 3);
}

} // namespace
} // namespace rdxtest
