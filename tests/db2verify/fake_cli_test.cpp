// SPDX-License-Identifier: Apache-2.0
// The program linked against the fake CLI: call order and arguments, every failure path,
// and the handling of awkward input.
#include "expected_output.h"
#include "program_runner.h"
#include "temp_home.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace db2test {
namespace {

// The calls of one successful round; args are those of SQLConnect.
std::string Round(const std::string &args) {
    return "SQLAllocEnv\nSQLAllocConnect env\nSQLConnect dbc " + args +
           "\nSQLDisconnect dbc\nSQLFreeConnect dbc\nSQLFreeEnv env\n";
}

class FakeCli : public ::testing::Test {
  protected:
    // Runs with a fresh call log.
    ProgramResult Run(const std::string &input, const std::string &mode = "") const {
        std::remove(home_.Path("calls.log").c_str());
        return RunProgram(DB2VERIFY_FAKECLI_PATH, input,
                          {"FAKECLI_MODE=" + mode, "FAKECLI_LOG=" + home_.Path("calls.log")});
    }
    std::string Calls() const { return rdtest::ReadFile(home_.Path("calls.log")); }
    rdtest::TempHome home_;
};

// A connect with information counts as a success.
TEST_F(FakeCli, OneAttemptCallsTheCliInOrderWithTextLengths) {
    for (const char *mode : {"", "info"}) {
        ProgramResult r = Run("mydb\nbob\npw\n", mode);
        EXPECT_EQ(r.output, kBanner + Prompts("", "", false) + Verified("mydb", "bob") + kTryAgain);
        EXPECT_EQ(Calls(), Round("mydb:4 bob:3 pw:2")) << mode;
    }
}

// Each failure is reported with the CLI's one message, and only the handles that were
// allocated are freed.
TEST_F(FakeCli, FailuresReportTheCliMessageAndFreeWhatWasAllocated) {
    struct Case {
        const char *mode;
        std::string message;
        bool connected;
        std::string calls;
    };
    const std::string connect = "SQLAllocEnv\nSQLAllocConnect env\nSQLConnect dbc db:2 u:1 p:1\n";
    const std::string freeBoth = "SQLFreeConnect dbc\nSQLFreeEnv env\n";
    const Case cases[] = {
        {"env-fail", "", false, "SQLAllocEnv\nSQLError null null null 1023\n"},
        {"connect-alloc-fail", "[fakecli]no connection", false,
         "SQLAllocEnv\nSQLAllocConnect env\nSQLError env null null 1023\nSQLFreeEnv env\n"},
        {"connect-fail", "[fakecli]connection refused", false,
         connect + "SQLError env dbc null 1023\n" + freeBoth},
        // A connect that worked does not make up for a failed disconnect.
        {"disconnect-fail", "[fakecli]disconnect refused", true,
         connect + "SQLDisconnect dbc\nSQLError env dbc null 1023\n" + freeBoth},
        {"info,disconnect-fail", "[fakecli]disconnect refused", true,
         connect + "SQLDisconnect dbc\nSQLError env dbc null 1023\n" + freeBoth},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        ProgramResult r = Run("db\nu\np\n", c.mode);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.output, kBanner + Prompts("", "", false) +
                                Failed("db", "u", c.message, c.connected) + kTryAgain);
        EXPECT_EQ(Calls(), c.calls);
    }
}

TEST_F(FakeCli, LongErrorMessageIsCutTo1023Characters) {
    ProgramResult r = Run("db\nu\np\n", "connect-fail,long-error");
    std::string message;
    for (int i = 0; i < 1023; ++i)
        message += static_cast<char>('0' + i % 10);
    EXPECT_EQ(r.output, kBanner + Prompts("", "", false) + Failed("db", "u", message) + kTryAgain);
}

// An answer of more than 99 characters keeps its first 99; the rest of its line is not
// taken as the next answer. The same holds for the "Try Again?" answer.
TEST_F(FakeCli, LongAnswersAreCutAndTheirRestConsumed) {
    const std::string db(99, 'd'), user(99, 'u'), password(99, 'p');
    std::string input = db + std::string(50, 'D') + "\n" + user + std::string(300, 'U') + "\n" +
                        password + "PPP\n" + "y" + std::string(200, 'e') + "\n\n\n\nn\n";
    ProgramResult r = Run(input);
    EXPECT_EQ(r.output, kBanner + Prompts("", "", false) + Verified(db, user) + kTryAgain +
                            Prompts(db, user, true) + Verified(db, user) + kTryAgain);
    std::string round = Round(db + ":99 " + user + ":99 " + password + ":99");
    EXPECT_EQ(Calls(), round + round);
}

// Wherever the input ends, the round finishes with the values given so far and the program
// ends with status 0 instead of prompting forever.
TEST_F(FakeCli, EndOfInputAtAnyPromptEndsCleanly) {
    struct Case {
        const char *input;
        const char *connect;
    };
    const Case cases[] = {{"", ":0 :0 :0"},
                          {"db", "db:2 :0 :0"},
                          {"db\n", "db:2 :0 :0"},
                          {"db\nu", "db:2 u:1 :0"},
                          {"db\nu\n", "db:2 u:1 :0"},
                          {"db\nu\np", "db:2 u:1 p:1"},
                          {"db\nu\np\n", "db:2 u:1 p:1"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.input);
        ProgramResult r = Run(c.input);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_TRUE(r.output.ends_with(kTryAgain)) << r.output;
        EXPECT_EQ(Calls(), Round(c.connect)) << "one round with the values given so far";
    }
}

} // namespace
} // namespace db2test
