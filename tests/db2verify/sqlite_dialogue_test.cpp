// SPDX-License-Identifier: Apache-2.0
// The real program through the driver manager and the SQLite ODBC driver.
#include "expected_output.h"
#include "program_runner.h"
#include "temp_home.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace db2test {
namespace {

const std::string kDriverManagerNotFound =
    "[unixODBC][Driver Manager]Data source name not found and no default driver specified";

class SqliteDialogue : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_STRNE(SQLITE_ODBC_DRIVER, "") << "SQLite ODBC driver not found at configure time";
        rdtest::WriteFile(home_.Path("odbcinst.ini"),
                          std::string("[SQLite3]\nDriver=") + SQLITE_ODBC_DRIVER + "\n");
        WriteDataSource("rdxtest");
    }
    // The one data source, on an SQLite file named after it.
    void WriteDataSource(const std::string &name) const {
        rdtest::WriteFile(home_.Path("odbc.ini"),
                          "[" + name + "]\nDriver=SQLite3\nDatabase=" + DbFile(name) + "\n");
    }
    std::string DbFile(const std::string &name) const { return home_.Path(name + ".db"); }

    ProgramResult Run(const std::string &input) const {
        std::vector<std::string> env = {"ODBCSYSINI=" + home_.Dir(),
                                        "ODBCINI=" + home_.Path("odbc.ini")};
        if (std::string keep = DB2VERIFY_KEEP_LOADED; !keep.empty()) {
            const char *asan = std::getenv("ASAN_OPTIONS");
            env.push_back("LD_PRELOAD=" + keep);
            env.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                          ":verify_asan_link_order=0");
        }
        return RunProgram(DB2VERIFY_PATH, input, env);
    }

    rdtest::TempHome home_;
};

TEST_F(SqliteDialogue, VerifiesDataSourceAndOffersPreviousValues) {
    ProgramResult r = Run("rdxtest\nalice\nsecret\ny\n\n\n\nY\nnosuch\nbob\npw2\nn\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, kBanner + Prompts("", "", false) + Verified("rdxtest", "alice") +
                            kTryAgain + Prompts("rdxtest", "alice", true) +
                            Verified("rdxtest", "alice") + kTryAgain +
                            Prompts("rdxtest", "alice", true) +
                            Failed("nosuch", "bob", kDriverManagerNotFound) + kTryAgain);
    EXPECT_TRUE(rdtest::FileExists(DbFile("rdxtest"))) << "the driver never opened the file";
}

// Enter at every prompt connects with three empty values, i.e. the default data source.
TEST_F(SqliteDialogue, EmptyAnswersConnectToDefaultDataSource) {
    WriteDataSource("Default");
    ProgramResult r = Run("\n\n\n\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, kBanner + Prompts("", "", false) + Verified("", "") + kTryAgain);
    EXPECT_TRUE(rdtest::FileExists(DbFile("Default")));
}

TEST_F(SqliteDialogue, TryAgainRepeatsOnlyForAnswersStartingWithY) {
    struct Case {
        const char *answer;
        int attempts;
    };
    const Case cases[] = {{"y\n", 2},  {"Y\n", 2}, {"yes\n", 2}, {"Yellow\r\n", 2},
                          {"n\n", 1},  {"N\n", 1}, {"\n", 1},    {" y\n", 1},
                          {"no\n", 1}, {"", 1},    {"x\n", 1}};
    for (const Case &c : cases) {
        // The second round, if any, ends at the end of input.
        ProgramResult r = Run(std::string("rdxtest\nu\np\n") + c.answer);
        SCOPED_TRACE(c.answer);
        EXPECT_EQ(r.exitStatus, 0);
        std::string round = Verified("rdxtest", "u") + kTryAgain;
        std::string expected = kBanner + Prompts("", "", false) + round;
        if (c.attempts == 2) expected += Prompts("rdxtest", "u", true) + round;
        EXPECT_EQ(r.output, expected);
    }
}

} // namespace
} // namespace db2test
