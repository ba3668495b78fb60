// SPDX-License-Identifier: Apache-2.0
// Job files checked when they are defined, through the rdcsm program with
// the real delimited-file and copy connectors: each fault refuses the whole
// file, naming the file, the line, the key and what would be right.
#include "tool_env.h"

#include <gtest/gtest.h>

namespace rdcsmtest {
namespace {

// A good job; each bad case replaces one of its lines (counted from 1).
const std::vector<std::string> kGoodJob = {
    "[link.orders_csv]",                         // 1
    "connector = \"rdcsv\"",                     // 2
    "Path = \"/tmp/orders.csv\"",                // 3
    "Header = \"no\"",                           // 4
    "Columns = \"id:int,amount:numeric(12,2)\"", // 5
    "InferRows = \"all\"",                       // 6
    "[link.orders_out]",                         // 7
    "connector = \"rdcsv\"",                     // 8
    "Path = \"/tmp/orders-out.csv\"",            // 9
    "Create = \"Yes\"",                          // 10
    "[activity.load]",                           // 11
    "connector = \"rdcopy\"",                    // 12
    "SourceLink = \"orders_csv\"",               // 13
    "TargetLink = \"orders_out\"",               // 14
    "BatchSize = 500",                           // 15
    "OnError = \"skip\"",                        // 16
    "CreateTarget = \"yes\"",                    // 17
};

// The good job with one line replaced; line 0: instead is the whole job.
std::string Job(std::size_t line = 0, const std::string &instead = "") {
    if (line == 0 && !instead.empty()) return instead;
    std::string text;
    for (std::size_t i = 0; i < kGoodJob.size(); ++i)
        text += (i + 1 == line ? instead : kGoodJob[i]) + "\n";
    return text;
}

class DefineCheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home_.WriteQuarryIni();
        InstallConnector(home_, RDCSM_CSV_CONNECTOR, "rdcsv");
        InstallConnector(home_, RDCSM_COPY_CONNECTOR, "rdcopy");
    }
    ToolRun Define(const std::string &job, const std::string &options = "") {
        rdtest::WriteFile(home_.Path("job.toml"), job);
        return RunTool(home_, "define " + options + Quoted(home_.Path("job.toml")));
    }
    std::string Exported() { return RunTool(home_, "export").out; }

    rdtest::TempHome home_;
};

struct BadCase {
    std::size_t line;
    const char *instead;
    const char *message; // after "rdcsm: PATH:"
};

TEST_F(DefineCheckTest, EachFaultRefusesTheWholeFileNamingLineKeyAndRemedy) {
    const BadCase cases[] = {
        // Connectors that do not load, or are of the other kind.
        {2, "connector = \"rdcvs\"",
         "3: key 'link.orders_csv.Path': unknown property (the connector `rdcvs` that would "
         "declare it cannot be loaded from the home directory; did you mean `rdcsv`?)"},
        {12, "connector = \"rdcpy\"",
         "13: key 'activity.load.SourceLink': unknown property (the connector `rdcpy`"},
        {8, "connector = \"rdcopy\"",
         "9: key 'link.orders_out.Path': unknown property (`rdcopy` is not a link connector)"},
        {0, "[link.l]\nconnector = \"rdcopy\"\nServer = \"s\"\n",
         "2: key 'link.l.connector': `rdcopy` is not a link connector"},
        {0, "[link.l]\n\nconnector = \"rdcvs\"\n",
         "3: key 'link.l.connector': the connector `rdcvs` cannot be loaded from the home "
         "directory (did you mean `rdcsv`?)"},
        {12, "connector = \"rdcsv\"",
         "13: key 'activity.load.SourceLink': unknown property (`rdcsv` is not an activity "
         "connector)"},
        // Keys the connector does not declare.
        {15, "BatchSze = 500",
         "15: key 'activity.load.BatchSze': unknown property (did you mean `BatchSize`?)"},
        {16, "Frobnicate = 1",
         "16: key 'activity.load.Frobnicate': unknown property (the connector declares "
         "SourceLink, TargetLink, SourceSelect, TargetTable, BatchSize"},
        // Types, and the words a yes/no property takes.
        {15, "BatchSize = 1.5",
         "15: key 'activity.load.BatchSize': the property is of type Int, not Float"},
        {17, "CreateTarget = \"maybe\"",
         "17: key 'activity.load.CreateTarget': the property is of type Int, not text"},
        {4, "Header = \"maybe\"",
         "4: key 'link.orders_csv.Header': An integer is missing or not valid."},
        // Values the connectors refuse themselves.
        {15, "BatchSize = 0",
         "15: key 'activity.load.BatchSize': rdcopy: BatchSize must be 1 or more, not 0."},
        {15, "BatchSize = -5",
         "15: key 'activity.load.BatchSize': rdcopy: BatchSize must be 1 or "
         "more, not -5."},
        {16, "OnError = \"ignore\"",
         "16: key 'activity.load.OnError': rdcopy: OnError must be \"stop\" or \"skip\", not "
         "\"ignore\"."},
        {5, "Columns = \"id:integr,name:text\"",
         "5: key 'link.orders_csv.Columns': Columns: column 1 has an unknown type \"integr\""},
        {9, "Delimiter = \";;\"",
         "9: key 'link.orders_out.Delimiter': the delimiter must be one character"},
        {6, "InferRows = \"some\"",
         "6: key 'link.orders_csv.InferRows': InferRows must be a number of records or \"all\""},
        // Links that an activity names.
        {13, "SourceLink = \"orders_cvs\"",
         "13: key 'activity.load.SourceLink': no link is named `orders_cvs` in this file or "
         "defined already (did you mean `orders_csv`?)"},
        {14, "TargetLink = \"elsewhere\"",
         "14: key 'activity.load.TargetLink': no link is named `elsewhere` in this file or "
         "defined already\n"},
    };
    for (const BadCase &c : cases) {
        const std::string job = Job(c.line, c.instead);
        for (const char *options : {"", "--check "}) {
            const ToolRun run = Define(job, options);
            EXPECT_EQ(1, run.status) << options << job;
            const std::string expected = "rdcsm: " + home_.Path("job.toml") + ":" + c.message;
            EXPECT_NE(std::string::npos, run.err.find(expected)) << expected << "\n" << run.err;
        }
    }
    EXPECT_EQ("", RunTool(home_, "list").out); // nothing of any file was defined
}

TEST_F(DefineCheckTest, GoodFilesAreStoredWithYesNoWordsAsIntegers) {
    ToolRun run = Define(Job(), "--check ");
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_NE(std::string::npos, run.out.find("defines 3 activities and links, all good"));
    EXPECT_EQ("", RunTool(home_, "list").out); // checked only

    run = Define(Job());
    ASSERT_EQ(0, run.status) << run.err;
    const std::string exported = Exported();
    for (const char *stored : {"Header = 0\n", "Create = 1\n", "CreateTarget = 1\n",
                               "0x00000007 = 'all'\n", "BatchSize = 500\n"})
        EXPECT_NE(std::string::npos, exported.find(stored)) << stored << "\n" << exported;

    // An activity may name links defined before, by another file.
    run = Define("[activity.again]\nconnector = \"rdcopy\"\nSourceLink = \"orders_out\"\n"
                 "TargetLink = \"orders_csv\"\nOnError = \"STOP\"\n");
    EXPECT_EQ(0, run.status) << run.err;
    // Without a connector, properties by number are taken as written.
    run = Define("[link.raw]\n0x00000005 = \"anything\"\n");
    EXPECT_EQ(0, run.status) << run.err;
}

} // namespace
} // namespace rdcsmtest
