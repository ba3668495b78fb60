// SPDX-License-Identifier: Apache-2.0
// The copy bounds what a plug-in tells it: a source that makes no progress
// and a target that loses records without a failure end the copy with a
// status that says so, instead of spinning for ever or counting a success.
#include "run_test_env.h"

namespace rdruntest {
namespace {

class LiarTest : public RunTest {
  protected:
    static std::string LiarLink(const std::string &name, const std::string &lie) {
        return "[link." + name + "]\nconnector = \"rdliar\"\nLie = \"" + lie + "\"\n";
    }
    // Copies from the source link to the target link with OnError.
    Ran Copy(const std::string &links, const std::string &source, const std::string &target,
             const std::string &onError) {
        Define(links + CopyActivity("copy", {source, target, "t", "", 5, onError, false}));
        return Rdrun("--no-progress copy");
    }
};

TEST_F(LiarTest, SourcesThatMakeNoProgressEndTheCopy) {
    struct Case {
        const char *lie, *onError, *says;
    } const cases[] = {
        {"stall", "stop", "made no progress: 100 fetches in a row gave no record"},
        {"stall", "skip", "made no progress: 100 fetches in a row gave no record"},
        {"samefault", "skip", "made no progress: it reported the same bad record again"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.lie) + " " + c.onError);
        const Ran ran =
            Copy(LiarLink("liar", c.lie) + LiarLink("sink", "none"), "liar", "sink", c.onError);
        EXPECT_EQ(1, ran.status) << ran.out << ran.err;
        EXPECT_NE(std::string::npos, ran.out.find(c.says)) << ran.out;
    }
}

TEST_F(LiarTest, ATargetThatLosesRecordsFailsTheCopy) {
    MakeOrders(Path("orders.csv"), 12);
    for (const char *onError : {"stop", "skip"}) {
        SCOPED_TRACE(onError);
        const Ran ran =
            Copy(CsvLink("csv", Path("orders.csv"), kOrderColumns) + LiarLink("short", "short"),
                 "csv", "short", onError);
        EXPECT_EQ(1, ran.status) << ran.out << ran.err;
        EXPECT_NE(std::string::npos,
                  ran.out.find("wrote 4 of 5 records without reporting a failure"))
            << ran.out;
    }
}

// A count larger than asked is cut down to what was asked, and said.
TEST_F(LiarTest, CountsLargerThanAskedAreCutDown) {
    const Ran ran =
        Copy(LiarLink("huge", "huge") + LiarLink("sink", "none"), "huge", "sink", "stop");
    EXPECT_EQ(0, ran.status) << ran.out << ran.err;
    const std::string log = Log("copy");
    EXPECT_NE(std::string::npos,
              log.find("The link huge told 4294967295 records where 5 were asked for"))
        << log;
    EXPECT_NE(std::string::npos, log.find("5 records written.")) << log;
}

} // namespace
} // namespace rdruntest
