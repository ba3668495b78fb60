// SPDX-License-Identifier: Apache-2.0
// The tool's subcommands go to the server manager that serves their
// database, and open the database themselves only when none does (or when
// it serves another one); an open for a run in the caller's own process is
// recorded as a run of that process.
#include "rdcsm_test_env.h"
#include "test_store.h"
#include "tool_env.h"

#include "rdx_status.h"

#include <sys/stat.h>

namespace rdcsmtest {
namespace {

class ToolServerTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        rdcsm::Store store;
        rdcsm::DbError error;
        ASSERT_TRUE(store.Open(home_.Path("rdcsm.db"), error)) << error.message;
        store.DefineObject(rdcsm::kActivity, "load", rdcsm::PackItems({IntItem(1, 1)}));
    }
    // Lets others write the database: the tool refuses to open it so, and
    // can only have been answered by the server manager that has it open.
    void ShareDatabase(bool shared) {
        ASSERT_EQ(0, chmod(home_.Path("rdcsm.db").c_str(), shared ? 0666 : 0600));
    }
};

TEST_F(ToolServerTest, TheServingServerManagerAnswersTheTool) {
    SKIP_ON_PG_STORE();
    ASSERT_TRUE(StartProgram());
    ShareDatabase(true);
    ToolRun run = RunTool(home_, "run load");
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ("queued run 1 of load\n", run.out);
    run = RunTool(home_, "list");
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ("activity load  (handle 1)  runs: 1 queued, 0 running, 0 ended, 0 failed, 0 "
              "stopped, 0 lost\n",
              run.out);
    run = RunTool(home_, "runs nothing");
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("rdcsm: no activity is named nothing\n", run.err);
    // A job file named from the tool's own folder is the one defined, and
    // named as the tool was given it.
    rdtest::WriteFile(home_.Path("job.toml"), "[activity.load]\n5 = 41\n[activity.more]\n6 = 1\n");
    run.status = rdtest::Shell("cd " + Quoted(home_.Dir()) + " && PATH=" + Quoted(home_.Dir()) +
                               ":\"$PATH\" " + Quoted(RDCSM_PROGRAM) + " --db rdcsm.db define " +
                               "job.toml >" + Quoted(home_.Path("define.out")) + " 2>&1");
    EXPECT_EQ(0, run.status) << rdtest::ReadFile(home_.Path("define.out"));
    EXPECT_EQ("defined 2 activities and links from job.toml\n",
              rdtest::ReadFile(home_.Path("define.out")));
    rdtest::WriteFile(home_.Path("bad.toml"), "[activity.a]\nNoSuchName = 1\n");
    EXPECT_NE(0,
              rdtest::Shell("cd " + Quoted(home_.Dir()) + " && " + Quoted(RDCSM_PROGRAM) +
                            " --db rdcsm.db define bad.toml 2>" + Quoted(home_.Path("bad.out"))));
    EXPECT_EQ(0u, rdtest::ReadFile(home_.Path("bad.out")).find("rdcsm: bad.toml:2: key"))
        << rdtest::ReadFile(home_.Path("bad.out"));
    // The server manager knows at once what the tool defined.
    ASSERT_EQ(0u, CSMgrInit(nullptr));
    uint32_t handle = 0;
    ASSERT_EQ(0u, CSMgrOpenActivity(&handle, &Stream("more", 256), 0));
    EXPECT_EQ(2u, handle);
    EXPECT_EQ(0u, CSMgrTerm());

    // Without a server manager the tool opens the database, and refuses it.
    EXPECT_EQ(0, StopProgram());
    run = RunTool(home_, "list");
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find("cannot open the database")) << run.err;
    ShareDatabase(false);
    run = RunTool(home_, "list");
    EXPECT_EQ(0, run.status) << run.err;
}

TEST_F(ToolServerTest, AnotherDatabaseThanTheServedOneIsOpenedByTheTool) {
    SKIP_ON_PG_STORE();
    ASSERT_TRUE(StartProgram());
    ShareDatabase(true);
    const std::string other = home_.Path("other.db");
    ASSERT_EQ(0, rdtest::Shell("PATH=" + Quoted(home_.Dir()) + ":\"$PATH\" " +
                               Quoted(RDCSM_PROGRAM) + " --db " + Quoted(other) + " list >" +
                               Quoted(home_.Path("other.out")) + " 2>&1"));
    EXPECT_EQ("", rdtest::ReadFile(home_.Path("other.out"))); // nothing defined there
    struct stat file {};
    EXPECT_EQ(0, stat(other.c_str(), &file)); // made by the tool itself
    ShareDatabase(false);
}

TEST_F(ToolServerTest, AnOpenForADirectRunIsARunOfTheCaller) {
    SKIP_ON_PG_STORE();
    ASSERT_TRUE(StartProgram());
    ASSERT_EQ(0u, CSMgrInit(nullptr));
    uint32_t run = 0, activity = 0;
    ASSERT_EQ(0u, CSMgrOpenActivity(&run, &Stream("load", 256), 1));
    EXPECT_EQ(rdcsm::kRunBase + 1, run);
    ASSERT_EQ(0u, CSMgrOpenActivity(&activity, &Stream("load", 256), 0));
    EXPECT_EQ(1u, activity);
    // The run's log goes to it; the activity's handle ends the caller's own run.
    EXPECT_EQ(0u, CSMgrLog(run, 7, &Stream("direct", 256)));
    EXPECT_EQ(0u, CSMgrDoneActivity(activity, 0));
    EXPECT_EQ(0u, CSMgrDoneActivity(activity, 4148)); // none left: nothing happens
    EXPECT_EQ(0u, CSMgrTerm());
    ToolRun runs = RunTool(home_, "runs");
    ASSERT_EQ(0, runs.status) << runs.err;
    EXPECT_EQ(0u, runs.out.find("run 1  load  ended  started ")) << runs.out;
    EXPECT_EQ(std::string::npos, runs.out.find("records")) << runs.out; // none told
    runs = RunTool(home_, "log load");
    EXPECT_NE(std::string::npos, runs.out.find("  run 1  7  direct\n")) << runs.out;
}

// A tool that tells what it was asked.
rdcsm::ToolAnswer Echo(rdcsm::Store &, const rdcsm::ToolCommand &command) {
    return {3,
            command.command + "|" + command.name + "|" + command.shownFile + "|" +
                (command.json ? "json" : "") + (command.resume ? "resume" : ""),
            "err"};
}

TEST_F(ServerTest, ToolRequestsAreCheckedAndRunOnlyForTheServedDatabase) {
    state_->tool = Echo;
    state_->database = "/served.db";
    rdcsm::ToolCommand command;
    command.command = "stats";
    command.name = "load";
    command.json = true;
    std::string request = rdcsm::EncodeToolRequest("/served.db", command);
    request.replace(0, 8, Word(rdcsm::kToolRequest) + Word(uint32_t(request.size())));
    std::string answer = Raw(request);
    ASSERT_EQ(0u, WordAt(answer, 12));
    EXPECT_EQ(1u, WordAt(answer, 16)); // served
    EXPECT_EQ(3u, WordAt(answer, 20));
    EXPECT_EQ(std::string("stats|load||json"), answer.substr(28, WordAt(answer, 24)));
    EXPECT_EQ("err", answer.substr(28 + WordAt(answer, 24)));
    // Another database: not served, the tool opens it itself.
    std::string other = rdcsm::EncodeToolRequest("/other.db", command);
    other.replace(0, 8, Word(rdcsm::kToolRequest) + Word(uint32_t(other.size())));
    answer = Raw(other);
    ASSERT_EQ(28u, answer.size());
    EXPECT_EQ(0u, WordAt(answer, 12));
    EXPECT_EQ(0u, WordAt(answer, 16));
    // Texts without their NUL, flags missing or too many: refused unrun.
    for (const std::string &bad :
         {request.substr(0, 20), request.substr(0, request.size() - 1), request + "1",
          std::string(request.substr(0, 16)) + std::string(64, 'x')}) {
        std::string image = bad;
        image.replace(4, 4, Word(uint32_t(image.size())));
        answer = Raw(image);
        EXPECT_EQ(16u, answer.size());
        EXPECT_EQ(RDSTATUS_CSMBADREQUEST, WordAt(answer, 12)) << bad.size();
    }
    // A server without the tool answers as for an unknown code.
    state_->tool = nullptr;
    EXPECT_EQ(RDSTATUS_CSMUNKNOWNCODE, WordAt(Raw(request), 12));
}

} // namespace
} // namespace rdcsmtest
