// SPDX-License-Identifier: Apache-2.0
// Incremental copies with PostgreSQL on either side, run by rdrun while
// the source changes and killed at random moments: an upsert target ends
// equal to its source row for row, in batch and in connection transaction
// mode; sources through ODBC and delimited files read only what changed.
#include "pg_run_env.h"

namespace rdruntest {
namespace {

class PgIncrementalTest : public OdbcRunTest {
  protected:
    // The table src (id, v, updated_at) of the cluster, upserted into dst by
    // the copy "inc" with the target's transaction mode.
    void DefinePgCopy(const std::string &transaction) {
        rdtest::PgSql("CREATE TABLE IF NOT EXISTS src (id bigint PRIMARY KEY, v text, "
                      "updated_at timestamp(2))");
        Define(PgLink("from", "batch") + PgLink("to", transaction) +
               CopyActivity("inc", {"from", "to", "dst", "SELECT id, v, updated_at FROM src", 100,
                                    "stop", false}) +
               "IncrementalKey = \"updated_at\"\nMode = \"upsert\"\nKey = \"id\"\n");
    }
    // Updates every 5th row (by round) to a later time and adds `step` rows,
    // seven to a hundredth of a second: updated_at only grows.
    void Change(unsigned step) {
        rdtest::PgSql("BEGIN; UPDATE src SET v = v || '+', updated_at = " + At() +
                      " WHERE id % 5 = " + std::to_string(round_++ % 5) + "; COMMIT");
        ++tick_;
        rdtest::PgSql("INSERT INTO src SELECT g, 'v' || g, " + At() + " + ((g - " +
                      std::to_string(rows_ + 1) +
                      ") / 7) * interval '10 milliseconds' FROM generate_series(" +
                      std::to_string(rows_ + 1) + ", " + std::to_string(rows_ + step) + ") g");
        rows_ += step;
        tick_ += step / 7 + 2;
    }
    std::string At() const {
        return "timestamp '2026-01-01' + " + std::to_string(tick_) +
               " * interval '10 milliseconds'";
    }
    unsigned rows_ = 0, round_ = 0, tick_ = 0;
};

TEST_F(PgIncrementalTest, UpsertKilledInBothTransactionModesEndsEqual) {
    for (const char *transaction : {"batch", "connection"}) {
        SCOPED_TRACE(transaction);
        rdtest::PgSql("DROP TABLE IF EXISTS src, dst, rdx_copy_marks");
        rows_ = round_ = tick_ = 0;
        DefinePgCopy(transaction);
        const unsigned step = Setting("RDX_INCREMENTAL_ROWS", 20000);
        const int killed = KillRuns("--no-progress inc", Setting("RDX_INCREMENTAL_KILLS", 20), 300,
                                    [&](unsigned i) {
                                        if (i % 4 == 0) Change(step);
                                    });
        const Ran last = Rdrun("--no-progress inc");
        ASSERT_EQ(0, last.status) << last.out << last.err << Log("inc");
        EXPECT_GT(killed, 0);
        EXPECT_EQ(rdtest::PgSql("SELECT count(*), sum(id), sum(length(v)) FROM src"),
                  rdtest::PgSql("SELECT count(*), sum(id), sum(length(v)) FROM dst"));
        EXPECT_EQ(rdtest::PgSql("SELECT count(*) FROM src s JOIN dst d USING (id) "
                                "WHERE s.v = d.v AND s.updated_at = d.updated_at"),
                  rdtest::PgSql("SELECT count(*) FROM src"));
    }
}

// A SQLite table read through ODBC and a delimited file, each appended to
// a PostgreSQL table: the second run copies only what came since.
TEST_F(PgIncrementalTest, OdbcAndFileSourcesAppendOnlyWhatChanged) {
    Db src(Path("src.db"));
    // SQLite keeps date-times as texts, which compare as texts: through a
    // driver that writes its own form, a version number is the safe key.
    src.Exec("CREATE TABLE src (id INTEGER, amount NUMERIC(14,2), version INTEGER);"
             "INSERT INTO src VALUES (1, 1.50, 7), (2, -2.25, 7), (3, 3.00, 8)");
    rdtest::WriteFile(Path("src.csv"), "id,amount\n3,3.00\n1,-1.50\n2,10.25\n");
    Define(OdbcLink("odbc", Path("src.db")) +
           CsvLink("csv", Path("src.csv"), "id:int,amount:numeric(14,2)") + PgLink("pg", "batch") +
           CopyActivity("fromodbc", {"odbc", "pg", "a", "SELECT id, amount, version FROM src", 2,
                                     "stop", true}) +
           "IncrementalKey = \"version\"\nKeyColumn = \"id\"\n" +
           CopyActivity("fromfile", {"csv", "pg", "b", "", 2, "stop", true}) +
           "IncrementalKey = \"amount\"\n");
    for (const char *name : {"fromodbc", "fromfile"}) {
        const Ran ran = Rdrun(std::string("--no-progress ") + name);
        ASSERT_EQ(0, ran.status) << ran.out << ran.err << Log(name);
    }
    src.Exec("INSERT INTO src VALUES (4, 4.00, 8), (5, 5.00, 9)");
    rdtest::WriteFile(Path("src.csv"), rdtest::ReadFile(Path("src.csv")) + "4,10.24\n5,10.26\n");
    for (const char *name : {"fromodbc", "fromfile"}) {
        const Ran ran = Rdrun(std::string("--no-progress ") + name);
        ASSERT_EQ(0, ran.status) << ran.out << ran.err << Log(name);
        EXPECT_NE(std::string::npos,
                  ran.out.find(name[4] == 'o' ? "2 records written" : "1 record written"))
            << ran.out;
    }
    EXPECT_EQ((std::vector<std::string>{"1|1.50", "2|-2.25", "3|3.00", "4|4.00", "5|5.00"}),
              rdtest::PgSql("SELECT id, amount FROM a ORDER BY id"));
    EXPECT_EQ((std::vector<std::string>{"1|-1.50", "2|10.25", "3|3.00", "5|10.26"}),
              rdtest::PgSql("SELECT id, amount FROM b ORDER BY id"));
}

} // namespace
} // namespace rdruntest
