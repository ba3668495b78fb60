// SPDX-License-Identifier: Apache-2.0
// The command-line tool: job files defined and exported, their faults,
// and the reports of what a server manager stored.
#include "rdcsm_test_env.h"
#include "test_store.h"

#include "rdplat_ipc.h"
#include "rdx_status.h"

#include <unistd.h>

#include <sstream>

namespace rdcsmtest {
namespace {

// Runs rdcsm with the arguments on the test's database; its exit status,
// and its output (standard output and error) in out.
int Tool(const rdtest::TempHome &home, const std::string &arguments, std::string &out) {
    const std::string output = home.Path("tool.out");
    // The home's quarry.ini is found on PATH.
    const int status = rdtest::Shell("PATH='" + home.Dir() + "':\"$PATH\" '" + RDCSM_PROGRAM +
                                     "' " + StoreOption(home.Path("rdcsm.db")) + " " + arguments +
                                     " >'" + output + "' 2>&1");
    out = rdtest::ReadFile(output);
    return status;
}

constexpr const char *kJob = R"(# a job
[activity.load]
connector = "copier"
Link = "source"
0x00000005 = 41
6 = -1.25
0x00000007 = { currency = "-12.5" }
0x00000008 = 2026-12-07T05:00:00+01:00
0x00000009 = 2026-12-07
0x0000000A = { richtext = "rich" }
0x0000000B = { type = 7, charset = 9, hex = "010200" }
0x0000000C = "text with \"quotes\" and ümlauts"

[link.source]
Server = "db1"
Userid = "me"
)";

TEST_F(ServerTest, JobFileRoundTripsThroughDefineAndExport) {
    // A connector that a job names must load.
    ASSERT_EQ(0, rdtest::Shell(std::string("cp '") + RDCSM_TEST_CONNECTOR + "' '" +
                               home_.Path("copier.rdx") + "'"));
    std::string out;
    rdtest::WriteFile(home_.Path("job.toml"), kJob);
    ASSERT_EQ(0, Tool(home_, "define '" + home_.Path("job.toml") + "'", out)) << out;
    std::string exported;
    ASSERT_EQ(0, Tool(home_, "export -o '" + home_.Path("out.toml") + "'", exported)) << exported;
    exported = rdtest::ReadFile(home_.Path("out.toml"));
    EXPECT_NE(std::string::npos, exported.find("Link = 'source'")) << exported;
    EXPECT_NE(std::string::npos, exported.find("connector = 'copier'")) << exported;
    EXPECT_NE(std::string::npos, exported.find("2026-12-07T04:00:00Z")) << exported;
    // The exported file defines the same again: a second export is equal.
    rdtest::WriteFile(home_.Path("job.toml"), exported);
    ASSERT_EQ(0, Tool(home_, "define '" + home_.Path("job.toml") + "'", out)) << out;
    ASSERT_EQ(0, Tool(home_, "export", out)) << out;
    EXPECT_EQ(exported, out);

    // What the client reads is what the file said.
    uint32_t handle = 0;
    ASSERT_EQ(0u, CSMgrOpenActivity(&handle, &Stream("load", 256), 1));
    Set description;
    ASSERT_EQ(0u, CSMgrGetDescription(handle, description.set));
    EXPECT_EQ(11u, rdx::PropertySetCount(description.set)); // and the name
    EXPECT_EQ(41, rdx::PropertySetReadInt(description.set, 5));
    uint32_t type = 0;
    void *value = nullptr;
    ASSERT_EQ(0u, rdx::PropertySetFind(description.set, 8, &type, &value));
    EXPECT_EQ(5u, type);
    EXPECT_EQ(4u * 360000, static_cast<RDDatetime *>(value)->ticks);
    ASSERT_EQ(0u, Tool(home_, "show source", out));
    EXPECT_NE(std::string::npos, out.find("0x00010001 Server = 'db1'")) << out;
}

struct BadJob {
    const char *file;
    const char *message;
};

TEST_F(ServerTest, JobFileFaultsNameTheFileLineAndKey) {
    const BadJob cases[] = {
        {"[activity.a]\nNoSuchName = 1\n", "job.toml:2: key 'activity.a.NoSuchName': unknown"},
        {"[activity.a]\nconnector = 5\n",
         "job.toml:2: key 'activity.a.connector': the property is of type text, not Int"},
        {"[activity.a]\n5 = 4294967296\n", "job.toml:2: key 'activity.a.5': the integer"},
        {"[activity.a]\n5 = 1\n0x5 = 2\n",
         "job.toml:3: key 'activity.a.0x5': the property is given twice"},
        {"[activity.a]\n\n5 = [1, 2]\n", "job.toml:3: key 'activity.a.5': an array"},
        {"[activity.a]\n5 = { type = 1, hex = \"0102\" }\n",
         "job.toml:2: key 'activity.a.5': the bytes"},
        {"[activity.a]\n5 = { currency = \"1.23456\" }\n",
         "job.toml:2: key 'activity.a.5': the currency"},
        {"[activity.a]\n5 = { size = 1 }\n", "job.toml:2: key 'activity.a.5': an inline table"},
        {"[job.a]\n5 = 1\n", "job.toml:1: key 'job': expected [activity.NAME]"},
        {"[activity]\na = 1\n", "job.toml:2: key 'activity.a': expected a table"},
        {"[activity.a]\n5 = \n", "job.toml:2: "},
    };
    for (const BadJob &c : cases) {
        rdtest::WriteFile(home_.Path("job.toml"), c.file);
        std::string out;
        EXPECT_NE(0, Tool(home_, "define '" + home_.Path("job.toml") + "'", out)) << c.file;
        EXPECT_NE(std::string::npos, out.find(c.message)) << out;
    }
    std::string out;
    ASSERT_EQ(0, Tool(home_, "list", out));
    EXPECT_EQ("", out); // nothing was defined
}

TEST_F(ServerTest, ToolReportsLogStatisticsAndQueuesRuns) {
    const uint32_t handle = Define(rdcsm::kActivity, "load", {});
    std::string out;
    ASSERT_EQ(0, Tool(home_, "run load", out)) << out;
    EXPECT_NE(0, Tool(home_, "run nothing", out));
    NextActivityRecord next{};
    ASSERT_EQ(0u, CSMgrNextActivity(&next));
    EXPECT_EQ(handle, next.words[0]);
    EXPECT_EQ(0u, CSMgrLog(next.handle, RDSTATUS_EXCHANGE, &Stream("while reading", 256)));
    uint32_t statistics[CSMGR_STATISTICS_COUNT] = {};
    statistics[0] = 1234;
    statistics[18] = 99;
    EXPECT_EQ(0u, CSMgrDataLog(next.handle, statistics));
    EXPECT_EQ(0u, CSMgrDoneActivity(next.handle, 7));

    ASSERT_EQ(0, Tool(home_, "log load", out)) << out;
    EXPECT_NE(std::string::npos, out.find("  783  while reading\n")) << out;
    ASSERT_EQ(0, Tool(home_, "stats load", out)) << out;
    EXPECT_NE(std::string::npos, out.find("ended")) << out;
    EXPECT_NE(std::string::npos, out.find("end code 7")) << out;
    EXPECT_NE(std::string::npos, out.find("calls:   connect 1,234\n")) << out;
    EXPECT_NE(std::string::npos, out.find("records: catalog 99\n")) << out;
    ASSERT_EQ(0, Tool(home_, "list", out)) << out;
    EXPECT_NE(std::string::npos, out.find("0 queued, 0 running, 0 ended, 1 failed")) << out;
    EXPECT_NE(0, Tool(home_, "show nothing", out));

    ASSERT_EQ(0, Tool(home_, "status", out)) << out;
    EXPECT_NE(std::string::npos, out.find("server manager running")) << out;
    ASSERT_EQ(0, Tool(home_, "stop", out)) << out;
    thread_.join();
    EXPECT_NE(0, Tool(home_, "status", out));
    EXPECT_NE(0, Tool(home_, "stop", out));
    // Detached, the server runs on after the tool has returned.
    ASSERT_EQ(0, Tool(home_, "serve --detach --timeout-ms 500", out)) << out;
    ASSERT_EQ(0, Tool(home_, "status", out)) << out;
    EXPECT_NE(std::string::npos,
              out.find("  runs: 0 queued, 0 running\n  defined: 1 activity, 0 links\n"))
        << out;
    ASSERT_EQ(0, Tool(home_, "stop", out)) << out;
    for (int i = 0; i < 300 && RDIPCExists("RDCSMP", 0) != 0; ++i)
        usleep(10000);
    StartServer(); // for the fixture's own stop
}

TEST_F(ServerTest, JobFilesNameWhatTheConnectorDeclares) {
    ASSERT_EQ(0, rdtest::Shell(std::string("cp '") + RDCSM_TEST_CONNECTOR + "' '" +
                               home_.Path("declarer.rdx") + "'"));
    std::string out;
    rdtest::WriteFile(home_.Path("job.toml"), "[activity.a]\nconnector = \"declarer\"\n"
                                              "Rows = 12\nTargetTable = \"orders\"\n"
                                              "Server = \"db\"\n0x00000007 = 3\n");
    ASSERT_EQ(0, Tool(home_, "define '" + home_.Path("job.toml") + "'", out)) << out;
    ASSERT_EQ(0, Tool(home_, "export", out)) << out;
    EXPECT_NE(std::string::npos, out.find("Rows = 12")) << out;
    EXPECT_NE(std::string::npos, out.find("TargetTable = 'orders'")) << out;
    EXPECT_NE(std::string::npos, out.find("0x00000007 = 3")) << out;
    uint32_t handle = 0;
    ASSERT_EQ(0u, CSMgrOpenActivity(&handle, &Stream("a", 256), 1));
    Set description;
    ASSERT_EQ(0u, CSMgrGetDescription(handle, description.set));
    EXPECT_EQ(12, rdx::PropertySetReadInt(description.set, 5));

    const BadJob cases[] = {
        {"[activity.a]\nconnector = \"declarer\"\nRows = \"many\"\n",
         "job.toml:3: key 'activity.a.Rows': the property is of type Int, not text"},
        {"[activity.a]\nconnector = \"declarer\"\nColumns = 1\n",
         "job.toml:3: key 'activity.a.Columns': unknown property"},
        {"[activity.a]\nconnector = \"missing\"\nRows = 1\n",
         "key 'activity.a.Rows': unknown property (the connector `missing`"},
    };
    for (const BadJob &c : cases) {
        rdtest::WriteFile(home_.Path("job.toml"), c.file);
        EXPECT_NE(0, Tool(home_, "define '" + home_.Path("job.toml") + "'", out)) << c.file;
        EXPECT_NE(std::string::npos, out.find(c.message)) << out;
    }
}

// Every subcommand and option that --help lists is in the manual page.
TEST(RdcsmHelp, AgreesWithTheManualPage) {
    rdtest::TempHome home;
    const std::string page = rdtest::ReadFile(RDCSM_MANPAGE);
    std::string out;
    for (const char *command : {"", "serve", "export"}) {
        ASSERT_EQ(0, Tool(home, std::string(command) + " --help", out));
        std::istringstream lines(out);
        std::string line;
        bool subcommands = false;
        while (std::getline(lines, line)) {
            if (line.rfind("Subcommands:", 0) == 0) subcommands = true;
            std::istringstream words(line);
            std::string first;
            words >> first;
            if (first.empty() || line[0] != ' ' || (!subcommands && first[0] != '-')) continue;
            std::string name = subcommands ? first : first.substr(first.rfind(',') + 1);
            if (name == "--help") continue;
            EXPECT_NE(std::string::npos, page.find("*" + name + "*")) << name;
        }
    }
}

} // namespace
} // namespace rdcsmtest
