// SPDX-License-Identifier: Apache-2.0
// rdrun --layout FILE: the fields a copy's source gives and the CREATE TABLE
// of its target, read without copying, storing or creating anything.
#include "run_test_env.h"

namespace rdruntest {
namespace {

class LayoutTest : public RunTest {
  protected:
    Ran Layout(const std::string &description) {
        rdtest::WriteFile(Path("ends.txt"), description);
        return Rdrun("--layout " + Path("ends.txt"));
    }
    std::string SqliteTarget(const std::string &table) const {
        return "[target]\nconnector=rdsqlite\nDatabase=" + Path("new.db") + "\nTable=" + table +
               "\n";
    }
};

TEST_F(LayoutTest, SelectOfADatabaseGivesItsColumnsAndTheTargetsStatement) {
    {
        Db db(Path("shop.db"));
        db.Exec("CREATE TABLE orders (id INTEGER, amount NUMERIC(12,2), note TEXT);"
                "INSERT INTO orders VALUES (1, 12.5, 'a')");
    }
    const Ran ran =
        Layout("[source]\nconnector=rdsqlite\ndatabase=" + Path("shop.db") +
               "\nselect=SELECT id, note AS remark FROM orders\n" + SqliteTarget("picked"));
    ASSERT_EQ(0, ran.status) << ran.err << ran.out;
    EXPECT_EQ("The source gives 2 fields:\n"
              "  id      int\n"
              "  remark  text\n"
              "The target would make its table with:\n"
              "  CREATE TABLE \"picked\" (\"id\" INTEGER, \"remark\" TEXT);\n",
              ran.out);
    EXPECT_FALSE(rdtest::FileExists(Path("new.db")));
    EXPECT_EQ("1|12.5|a\n", Db(Path("shop.db")).Query("SELECT * FROM orders"));
}

// Declared CSV columns come out as declared; without a [target] only the
// fields are shown.
TEST_F(LayoutTest, CsvSourceWithoutTarget) {
    MakeOrders(Path("orders.csv"), 3);
    const Ran ran = Layout("[source]\nconnector=rdcsv\nPath=" + Path("orders.csv") +
                           "\nColumns=" + kOrderColumns + "\n");
    ASSERT_EQ(0, ran.status) << ran.err;
    EXPECT_EQ("The source gives 4 fields:\n"
              "  id          int\n"
              "  amount      numeric(12,2)\n"
              "  ordered_at  datetime\n"
              "  customer    text\n",
              ran.out);
}

TEST_F(LayoutTest, FaultsAreToldAndNothingIsMade) {
    MakeOrders(Path("orders.csv"), 3);
    const std::string csv = "[source]\nconnector=rdcsv\nPath=" + Path("orders.csv") + "\n";
    const struct Case {
        std::string description, reason;
    } cases[] = {
        {"Path=/x\n", "line 1 is not KEY=VALUE under [source] or [target]"},
        {"[source]\nPath=/x\n", "the [source] names no connector"},
        {"[source]\nconnector=nosuch\n", "the connector nosuch gives no connection"},
        {csv + "Colour=red\n", "the connector has no property Colour"},
        {"[source]\nconnector=rdcsv\nPath=" + Path("gone.csv") + "\n",
         "the source cannot be read: "},
        {csv + "[target]\nconnector=rdcsv\nPath=" + Path("t.csv") + "\n",
         "the target cannot describe its table: "},
        {csv + "[target]\nconnector=rdsqlite\nDatabase=" + Path("new.db") + "\n",
         "the target cannot describe its table: no table is named"},
    };
    for (const Case &c : cases) {
        const Ran ran = Layout(c.description);
        EXPECT_EQ(1, ran.status) << c.description;
        EXPECT_NE(std::string::npos, ran.err.find("rdrun: " + c.reason)) << ran.err;
        EXPECT_EQ("", ran.out) << c.description;
    }
    EXPECT_FALSE(rdtest::FileExists(Path("t.csv")));
    EXPECT_FALSE(rdtest::FileExists(Path("new.db")));

    EXPECT_EQ(1, Rdrun("--layout " + Path("none.txt")).status);
    for (const char *refused : {"--layout F load", "--layout F --serve", "--layout F --resume"})
        EXPECT_EQ(64, Rdrun(refused).status) << refused;
}

} // namespace
} // namespace rdruntest
