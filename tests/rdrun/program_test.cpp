// SPDX-License-Identifier: Apache-2.0
// The program itself: its exit status, what it prints on a pipe, --quiet,
// an unknown activity.
#include "run_test_env.h"

namespace rdruntest {
namespace {

// A good copy and one whose source file is missing.
class ProgramTest : public RunTest {
  protected:
    void SetUp() override {
        RunTest::SetUp();
        MakeOrders(Path("orders.csv"), 50);
        Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) +
               CsvLink("gone", Path("gone.csv"), kOrderColumns) + SqliteLink("db", Path("o.db")) +
               CopyActivity("load", {"csv", "db", "orders", "", 20, "stop"}) +
               CopyActivity("broken", {"gone", "db", "orders", "", 0, "stop"}));
    }
};

TEST_F(ProgramTest, ExitStatus) {
    const struct Case {
        const char *arguments;
        int status;
    } cases[] = {
        {"load", 0},        {"broken", 1},
        {"nosuch", 1},      {"", 64},
        {"load extra", 64}, {"--bogus load", 64},
        {"--help", 0},      {"-q load", 0},
        {"-q broken", 1},   {"--no-progress load", 0},
    };
    for (const Case &c : cases) {
        std::remove(Path("o.db").c_str());
        const Ran ran = Rdrun(c.arguments);
        EXPECT_EQ(c.status, ran.status) << c.arguments << "\n" << ran.out << ran.err;
    }
}

TEST_F(ProgramTest, PlainProgressAndReportOnAPipe) {
    const Ran ran = Rdrun("load");
    ASSERT_EQ(0, ran.status) << ran.out << ran.err;
    // No terminal: no carriage returns or escape sequences, whole lines,
    // the last one with the final counts.
    EXPECT_EQ(std::string::npos, ran.err.find_first_of("\r\033")) << ran.err;
    ASSERT_FALSE(ran.err.empty());
    EXPECT_EQ('\n', ran.err.back());
    EXPECT_NE(std::string::npos, ran.err.find("50 read, 50 written, ")) << ran.err;
    EXPECT_NE(std::string::npos, ran.err.find(" records/s, ")) << ran.err;
    // The report: the counts that are not 0, a select's unknown count left out.
    EXPECT_EQ(0u, ran.out.find("Statistics of load:\n  calls:   connect 2 disconnect 2 select 1 "))
        << ran.out;
    EXPECT_NE(
        std::string::npos,
        ran.out.find("\n  records: fetch 50 insert 50\nEnded successfully: 50 records written.\n"))
        << ran.out;
    std::remove(Path("o.db").c_str());
    const Ran silent = Rdrun("--no-progress load");
    EXPECT_EQ("", silent.err);
    EXPECT_EQ(ran.out, silent.out);
}

TEST_F(ProgramTest, QuietPrintsOnlyAFailure) {
    Ran ran = Rdrun("--quiet load");
    EXPECT_EQ(0, ran.status);
    EXPECT_EQ("", ran.out + ran.err);
    ran = Rdrun("--quiet broken");
    EXPECT_EQ(1, ran.status);
    EXPECT_EQ("", ran.err);
    EXPECT_NE(std::string::npos, ran.out.find(Path("gone.csv"))) << ran.out;
}

// The program of the build has no quarry.ini beside it: --config names the home.
TEST_F(ProgramTest, ConfigFolderNamesTheHome) {
    Ran ran = Program(RDTEST_RDRUN, "--config '" + home_.Dir() + "' -q load");
    EXPECT_EQ(0, ran.status) << ran.out << ran.err;
    EXPECT_EQ("50\n", Db(Path("o.db")).Query("SELECT count(*) FROM orders"));
    ran = Program(RDTEST_RDRUN, "-c '" + Path("nowhere") + "' load");
    EXPECT_EQ(1, ran.status);
    EXPECT_EQ("rdrun: no readable quarry.ini in " + Path("nowhere") + "\n", ran.err);
}

TEST_F(ProgramTest, UnknownActivityIsNamed) {
    const Ran ran = Rdrun("nosuch");
    EXPECT_EQ(1, ran.status);
    EXPECT_EQ("", ran.out);
    EXPECT_EQ(0u, ran.err.find("rdrun: cannot run the activity nosuch (status ")) << ran.err;
}

} // namespace
} // namespace rdruntest
