// SPDX-License-Identifier: Apache-2.0
// What rdrun tells a person who names the wrong thing: a link, a name
// longer than the server manager keeps, an activity whose connector is gone;
// and counts with thousands separators in its progress and report.
#include "run_test_env.h"

#include <unistd.h>

namespace rdruntest {
namespace {

constexpr std::size_t npos = std::string::npos;

class RunWordsTest : public RunTest {
  protected:
    void SetUp() override {
        RunTest::SetUp();
        MakeOrders(Path("orders.csv"), 1500);
        Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + SqliteLink("db", Path("o.db")) +
               CopyActivity("load", {"csv", "db", "orders", "", 0, "stop"}));
    }
};

TEST_F(RunWordsTest, ALinkOrATooLongNameIsToldAsSuch) {
    Ran ran = Rdrun("csv");
    EXPECT_EQ(1, ran.status);
    EXPECT_EQ("rdrun: csv is a link, not an activity: run an activity that uses it (`rdcsm "
              "list` shows them)\n",
              ran.err);
    // 511 bytes is a name like any other; one more is too long.
    ran = Rdrun(std::string(511, 'n'));
    EXPECT_EQ(1, ran.status);
    EXPECT_NE(npos, ran.err.find("(status 786): The server manager knows no activity or link "
                                 "of that name.\n"))
        << ran.err;
    ran = Rdrun(std::string(512, 'n'));
    EXPECT_EQ(1, ran.status);
    EXPECT_EQ("rdrun: the activity name is too long: 512 bytes, at most 511\n", ran.err);
}

// The connector was there when the activity was defined and is gone when
// it runs: the status is told in words, without the log's markup.
TEST_F(RunWordsTest, AStatusWithoutItsValuesReadsAsWords) {
    ASSERT_EQ(0, symlink(RDTEST_RDCOPY, Path("vanishing.rdx").c_str()));
    Define("[activity.orphan]\nconnector = \"vanishing\"\n");
    ASSERT_EQ(0, unlink(Path("vanishing.rdx").c_str()));
    const Ran ran = Rdrun("orphan");
    EXPECT_EQ(1, ran.status);
    EXPECT_EQ("rdrun: cannot run the activity orphan (status 1539): The activity connector could "
              "not be loaded.\n",
              ran.err);
}

TEST_F(RunWordsTest, CountsCarryThousandsSeparators) {
    const Ran ran = Rdrun("load");
    ASSERT_EQ(0, ran.status) << ran.out << ran.err;
    EXPECT_NE(npos, ran.err.find("1,500 read, 1,500 written, ")) << ran.err;
    EXPECT_NE(npos, ran.out.find("\n  records: fetch 1,500 insert 1,500\n")) << ran.out;
    const std::string stats = Program("rdcsm", "stats load").out;
    EXPECT_NE(npos, stats.find("  records: select unknown fetch 1,500 insert 1,500\n")) << stats;
}

} // namespace
} // namespace rdruntest
