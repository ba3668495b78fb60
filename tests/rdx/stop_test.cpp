// SPDX-License-Identifier: Apache-2.0
// A stop signal sent to rdx reaches the rdrun it runs, and --resume goes
// on from where that run stopped.
#include "rdx_test_env.h"

#include <csignal>
#include <unistd.h>

namespace rdxtest {
namespace {

// Enough single-record batches that the copy is still at work when the
// stop comes: a copy's SQLite target commits them in spans, quickly.
constexpr int kRecords = 50000;

TEST_F(RdxTest, StopReachesRdrunAndResumeFinishesTheCopy) {
    std::string csv = "id,amount,customer\n";
    for (int id = 1; id <= kRecords; ++id)
        csv += std::to_string(id) + ",1.00,c" + std::to_string(id) + "\n";
    rdtest::WriteFile(Path("many.csv"), csv);
    const std::vector<std::string> args = {
        "copy",      Path("many.csv"), "sqlite:" + Path("m.db"), "--batch", "1",
        "--columns", kOrderColumns};
    const pid_t rdx = StartRdx(args);
    // Waits until the copy has committed records, then stops rdx alone.
    std::string rows;
    for (int i = 0; i < 6000 && (rows.empty() || rows[0] < '1' || rows[0] > '9'); ++i) {
        usleep(10000);
        rows = SqliteRows(Path("m.db"), "SELECT count(*) FROM many");
    }
    ASSERT_EQ(0, kill(rdx, SIGTERM));
    EXPECT_EQ(128 + SIGTERM, Ended(rdx)) << rdtest::ReadFile(Path("rdx.err"));
    EXPECT_NE(std::string::npos, rdtest::ReadFile(Path("rdx.out")).find("--resume"));
    const std::string stopped = SqliteRows(Path("m.db"), "SELECT count(*) FROM many");
    EXPECT_NE(std::to_string(kRecords) + "\n", stopped);

    std::vector<std::string> again = args;
    again.push_back("--resume");
    Ran resumed = Rdx(again);
    ASSERT_EQ(0, resumed.status) << resumed.err << resumed.out;
    EXPECT_EQ(std::to_string(kRecords) + "|" + std::to_string(kRecords) + "\n",
              SqliteRows(Path("m.db"), "SELECT count(*), count(DISTINCT id) FROM many"));
}

} // namespace
} // namespace rdxtest
