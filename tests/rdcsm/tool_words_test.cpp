// SPDX-License-Identifier: Apache-2.0
// What status, stop and stats tell a person (and stats --json a script):
// states in words, counts labelled by name with thousands separators, and
// a count that a select could not tell shown as unknown.
#include "rdcsm_test_env.h"
#include "tool_env.h"

#include "rdx_csmgr.h"

namespace rdcsmtest {
namespace {

constexpr std::size_t npos = std::string::npos;

using StatusWordsTest = ServerTest;

TEST_F(StatusWordsTest, StatusTellsTheServerInWordsAndStopSaysItStopped) {
    Define(rdcsm::kActivity, "load", {});
    Define(rdcsm::kLink, "source", {});
    Define(rdcsm::kLink, "target", {});
    ToolRun run = RunTool(home_, "status");
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(0u, run.out.find("server manager running in process " + std::to_string(getpid()) +
                               " for the home " + home_.Dir() + "\n"))
        << run.out;
    EXPECT_NE(npos, run.out.find("  runs: 0 queued, 0 running\n")) << run.out;
    EXPECT_NE(npos, run.out.find("  defined: 1 activity, 2 links\n")) << run.out;
    // No client set a state value: none is shown, and never a bare number.
    EXPECT_EQ(npos, run.out.find("state")) << run.out;
    ASSERT_EQ(0u, CSMgrServerState(7));
    run = RunTool(home_, "status");
    EXPECT_NE(npos, run.out.find("  state value set by a client: 7\n")) << run.out;

    run = RunTool(home_, "stop");
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ("stopped the server manager of the home " + home_.Dir() + "\n", run.out);
    thread_.join();
    run = RunTool(home_, "stop");
    EXPECT_EQ(1, run.status);
    EXPECT_NE(npos, run.err.find("no server manager is running for the home")) << run.err;
}

// Statistics sent for a run as a host sends them: words 0-11 call counts,
// 12-18 record counts.
class StatsWordsTest : public ServerTest {
  protected:
    // A run of a new activity taken as a host takes it; its handle.
    uint32_t TakeRun(const std::string &name) {
        const uint32_t handle = Define(rdcsm::kActivity, name, {});
        EXPECT_EQ(0, RunTool(home_, "run " + Quoted(name)).status);
        NextActivityRecord next{};
        EXPECT_EQ(0u, CSMgrNextActivity(&next));
        EXPECT_EQ(handle, next.words[0]);
        return next.handle;
    }
    void SendStatistics(const std::string &name, const uint32_t (&words)[19]) {
        const uint32_t run = TakeRun(name);
        ASSERT_EQ(0u, CSMgrDataLog(run, words));
        ASSERT_EQ(0u, CSMgrDoneActivity(run, 0));
    }
};

TEST_F(StatsWordsTest, CountsAreLabelledGroupedAndUnknownIsSaid) {
    uint32_t words[19] = {};
    words[0] = 2;            // connect
    words[4] = 1234567;      // fetch calls
    words[13] = 0xFFFFFFFFu; // select records: not told
    words[14] = 4294967294u; // fetch records: the largest real count
    words[15] = 1000;        // insert records
    SendStatistics("load", words);
    const ToolRun run = RunTool(home_, "stats load");
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_NE(npos, run.out.find("run 1  ended  queued ")) << run.out;
    EXPECT_NE(npos, run.out.find("  run 1  statistics:\n"
                                 "  calls:   connect 2 fetch 1,234,567\n"
                                 "  records: select unknown fetch 4,294,967,294 insert 1,000\n"))
        << run.out;
    EXPECT_EQ(npos, run.out.find("4294967295")) << run.out;

    const uint32_t none[19] = {};
    SendStatistics("idle", none);
    const ToolRun idle = RunTool(home_, "stats idle");
    EXPECT_NE(npos, idle.out.find("  calls:   none\n  records: none\n")) << idle.out;
}

TEST_F(StatsWordsTest, JsonGivesEveryCountWithUnknownAsNull) {
    uint32_t words[19] = {};
    words[0] = 2;
    words[13] = 0xFFFFFFFFu;
    words[14] = 874200;
    // A name that must be escaped in JSON, and one control that is shown.
    const std::string name = "a\"b\\c\td";
    SendStatistics(name, words);
    const ToolRun run = RunTool(home_, "stats --json " + Quoted(name));
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(0u, run.out.find("{\"name\": \"a\\\"b\\\\c\\\\td\",\n \"runs\": [\n  {\"run\": 1, "
                               "\"state\": \"ended\", \"queued\": \""))
        << run.out;
    EXPECT_NE(npos, run.out.find("\"end_code\": 0}],\n \"statistics\": [\n  {\"time\": "))
        << run.out;
    EXPECT_NE(npos, run.out.find(
                        "\"run\": 1, \"calls\": {\"connect\": 2, \"disconnect\": 0, \"execute\": "
                        "0, \"select\": 0, \"fetch\": 0, \"insert\": 0, \"update\": 0, "
                        "\"remove\": 0, \"action\": 0, \"catalog\": 0, \"create\": 0, \"drop\": "
                        "0}, \"records\": {\"execute\": 0, \"select\": null, \"fetch\": 874200, "
                        "\"insert\": 0, \"update\": 0, \"remove\": 0, \"catalog\": 0}}],\n "
                        "\"bookmark\": null}\n"))
        << run.out;
    // An activity without runs is still one object.
    Define(rdcsm::kActivity, "new", {});
    EXPECT_EQ("{\"name\": \"new\",\n \"runs\": [],\n \"statistics\": [],\n \"bookmark\": null}\n",
              RunTool(home_, "stats new --json").out);
}

// A log record with a number alone is told by the message's text, its
// unfilled markup left out.
TEST_F(StatsWordsTest, ALogRecordWithoutTextReadsAsWords) {
    const uint32_t run = TakeRun("load");
    ASSERT_EQ(0u, CSMgrLog(run, 1539, &Stream("", 256)));
    ASSERT_EQ(0u, CSMgrLog(run, 1546, &Stream("", 256)));
    const ToolRun log = RunTool(home_, "log load");
    EXPECT_NE(npos, log.out.find("  1539  The activity connector could not be loaded.\n"))
        << log.out;
    EXPECT_NE(npos, log.out.find("  1546  The link connector could not be loaded.\n")) << log.out;
}

} // namespace
} // namespace rdcsmtest
