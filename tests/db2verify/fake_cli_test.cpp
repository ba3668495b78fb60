// The program linked against the fake CLI: call order and arguments, every failure path,
// and the handling of awkward input.
#include "expected_output.h"
#include "program_runner.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace db2test {
namespace {

class FakeCli : public ::testing::Test {
  protected:
    ProgramResult Run(const std::string &input, const std::string &mode = "") {
        return RunProgram(DB2VERIFY_FAKECLI_PATH, input,
                          {"FAKECLI_MODE=" + mode, "FAKECLI_LOG=" + dir_.Path() + "/calls.log"});
    }
    std::string Calls() const { return dir_.Read("calls.log"); }

    TempDir dir_;
};

TEST_F(FakeCli, OneAttemptCallsTheCliInOrderWithTextLengths) {
    ProgramResult r = Run("mydb\nbob\npw\n");
    EXPECT_EQ(r.output, kBanner + Prompts("", "", false) + Verified("mydb", "bob") + kTryAgain);
    EXPECT_EQ(Calls(), "SQLAllocEnv\n"
                       "SQLAllocConnect env\n"
                       "SQLConnect dbc mydb:4 bob:3 pw:2\n"
                       "SQLDisconnect dbc\n"
                       "SQLFreeConnect dbc\n"
                       "SQLFreeEnv env\n");
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
        std::remove((dir_.Path() + "/calls.log").c_str());
        ProgramResult r = Run("db\nu\np\n", c.mode);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.output, kBanner + Prompts("", "", false) +
                                Failed("db", "u", c.message, c.connected) + kTryAgain);
        EXPECT_EQ(Calls(), c.calls);
    }
}

TEST_F(FakeCli, ConnectWithInfoCountsAsSuccess) {
    ProgramResult r = Run("db\nu\np\n", "info");
    EXPECT_EQ(r.output, kBanner + Prompts("", "", false) + Verified("db", "u") + kTryAgain);
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
    std::string round = "SQLAllocEnv\nSQLAllocConnect env\nSQLConnect dbc " + db + ":99 " + user +
                        ":99 " + password +
                        ":99\nSQLDisconnect dbc\nSQLFreeConnect dbc\nSQLFreeEnv env\n";
    EXPECT_EQ(Calls(), round + round);
}

// Wherever the input ends, the round finishes with the values given so far and the program
// ends with status 0 instead of prompting forever.
TEST_F(FakeCli, EndOfInputAtAnyPromptEndsCleanly) {
    struct Case {
        const char *input;
        const char *connect;
    };
    const Case cases[] = {
        {"", ":0 :0 :0"},
        {"db", "db:2 :0 :0"},
        {"db\n", "db:2 :0 :0"},
        {"db\nu", "db:2 u:1 :0"},
        {"db\nu\n", "db:2 u:1 :0"},
        {"db\nu\np", "db:2 u:1 p:1"},
        {"db\nu\np\n", "db:2 u:1 p:1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.input);
        std::remove((dir_.Path() + "/calls.log").c_str());
        ProgramResult r = Run(c.input);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_TRUE(r.output.ends_with(kTryAgain)) << r.output;
        EXPECT_EQ(Calls().find("SQLAllocEnv"), Calls().rfind("SQLAllocEnv")) << "one round only";
        EXPECT_NE(Calls().find(std::string("SQLConnect dbc ") + c.connect + "\n"),
                  std::string::npos)
            << Calls();
    }
}

} // namespace
} // namespace db2test
