// SPDX-License-Identifier: Apache-2.0
// Incremental copies run by rdrun again and again while their source
// changes: each run copies what changed since the bookmark the last one
// committed, records of one key value split across batches arrive whole,
// and runs killed at random moments leave the target with every record
// exactly once.
#include "run_test_env.h"

#include <cstdio>

namespace rdruntest {
namespace {

class IncrementalTest : public RunTest {
  protected:
    // A SQLite source table src (id, v, updated_at) and the copy "inc" of
    // it into the table dst of another database, by updated_at.
    void DefineSqlCopy(unsigned batch, const std::string &extra = "KeyColumn = \"id\"\n",
                       bool create = true) {
        Db(Path("src.db"))
            .Exec("CREATE TABLE IF NOT EXISTS src (id INTEGER PRIMARY KEY, v TEXT, "
                  "updated_at DATETIME)");
        Define(SqliteLink("from", Path("src.db")) + SqliteLink("to", Path("dst.db")) +
               CopyActivity("inc", {"from", "to", "dst", "SELECT id, v, updated_at FROM src", batch,
                                    "stop", create}) +
               "IncrementalKey = \"updated_at\"\n" + extra);
    }
    void Source(const std::string &sql) { Db(Path("src.db")).Exec(sql); }
    std::string Target(const std::string &sql) { return Db(Path("dst.db")).Query(sql); }
    Ran Run(const std::string &options = "") { return Rdrun("--no-progress " + options + " inc"); }
};

// Equal keys on both sides of a batch boundary, a row whose key moves
// forward, a new row with the bookmark's own value: each run copies
// exactly what is past what the earlier runs copied.
TEST_F(IncrementalTest, SqlSourceCopiesEachChangeOnce) {
    DefineSqlCopy(2);
    Source("INSERT INTO src VALUES (1,'a','2026-01-01 00:00:00'), (2,'b','2026-01-02 00:00:00'),"
           "(3,'c','2026-01-02 00:00:00'), (4,'d','2026-01-02 00:00:00'),"
           "(5,'e','2026-01-03 00:00:00')");
    Ran ran = Run();
    ASSERT_EQ(0, ran.status) << ran.out << ran.err << Log("inc");
    EXPECT_EQ("5\n", Target("SELECT count(*) FROM dst"));
    std::string log = Log("inc");
    EXPECT_NE(std::string::npos, log.find("Incremental by updated_at: first run")) << log;
    EXPECT_NE(std::string::npos, log.find("Bookmark: updated_at = 2026-01-03")) << log;

    Source("UPDATE src SET v = 'a2', updated_at = '2026-01-04 00:00:00' WHERE id = 1;"
           "INSERT INTO src VALUES (6,'f','2026-01-03 00:00:00'), (7,'g','2026-01-05 00:00:00')");
    ran = Run();
    ASSERT_EQ(0, ran.status) << ran.out << ran.err << Log("inc");
    EXPECT_NE(std::string::npos, ran.out.find("3 records written")) << ran.out;
    EXPECT_EQ("1|a\n1|a2\n2|b\n3|c\n4|d\n5|e\n6|f\n7|g\n",
              Target("SELECT id, v FROM dst ORDER BY id, v"));
    log = Log("inc");
    EXPECT_NE(std::string::npos, log.find("Incremental from updated_at > 2026-01-03")) << log;

    // Nothing changed: nothing is copied, the bookmark stays.
    ran = Run();
    ASSERT_EQ(0, ran.status) << ran.out << ran.err << Log("inc");
    EXPECT_NE(std::string::npos, ran.out.find("0 records written")) << ran.out;
    EXPECT_EQ("8\n", Target("SELECT count(*) FROM dst"));

    // A full refresh starts again: the table replaced by the source as it is.
    ran = Run("--full-refresh");
    ASSERT_EQ(0, ran.status) << ran.out << ran.err << Log("inc");
    EXPECT_EQ("1|a2\n2|b\n3|c\n4|d\n5|e\n6|f\n7|g\n", Target("SELECT id, v FROM dst ORDER BY id"));
}

// What an incremental copy cannot do is refused before anything is written,
// with what to do instead.
TEST_F(IncrementalTest, RefusesWhatItCannotPlace) {
    DefineSqlCopy(2, "");
    Source("INSERT INTO src VALUES (1,'a','2026-01-01 00:00:00')");
    Ran ran = Run();
    EXPECT_EQ(1, ran.status);
    EXPECT_NE(std::string::npos, ran.out.find("IncrementalKey needs KeyColumn")) << ran.out;

    DefineSqlCopy(2);
    Source("INSERT INTO src VALUES (2,'b',NULL)");
    ran = Run();
    EXPECT_EQ(1, ran.status);
    EXPECT_NE(std::string::npos, ran.out.find("has no value in updated_at")) << ran.out;

    DefineSqlCopy(2, "KeyColumn = \"id\"\nMode = \"replace\"\n", false);
    ran = Run();
    EXPECT_EQ(1, ran.status);
    EXPECT_NE(std::string::npos, ran.out.find("cannot use Mode \"replace\"")) << ran.out;
    EXPECT_EQ("0\n", Target("SELECT count(*) FROM dst"));
}

// A file source passes the records whose key is past the largest one the
// last run copied, wherever they stand in the file; IncrementalBy offset
// reads on from the byte where the last run ended.
TEST_F(IncrementalTest, FileSourcesByKeyAndByOffset) {
    rdtest::WriteFile(Path("k.csv"), "id,stamp\n3,30\n1,10\n2,20\n");
    rdtest::WriteFile(Path("o.csv"), "id,stamp\n1,10\n2,20\n");
    Define(CsvLink("k", Path("k.csv"), "id:int,stamp:int") +
           CsvLink("o", Path("o.csv"), "id:int,stamp:int") + SqliteLink("to", Path("dst.db")) +
           CopyActivity("bykey", {"k", "to", "bykey", "", 2, "stop", true}) +
           "IncrementalKey = \"stamp\"\n" +
           CopyActivity("byoffset", {"o", "to", "byoffset", "", 2, "stop", true}) +
           "IncrementalBy = \"offset\"\n");
    for (const char *name : {"bykey", "byoffset"}) {
        const Ran ran = Rdrun(std::string("--no-progress ") + name);
        ASSERT_EQ(0, ran.status) << ran.out << ran.err << Log("inc");
    }
    rdtest::WriteFile(Path("k.csv"), rdtest::ReadFile(Path("k.csv")) + "4,25\n5,40\n");
    rdtest::WriteFile(Path("o.csv"), rdtest::ReadFile(Path("o.csv")) + "3,5\n");
    for (const char *name : {"bykey", "byoffset"}) {
        const Ran ran = Rdrun(std::string("--no-progress ") + name);
        ASSERT_EQ(0, ran.status) << ran.out << ran.err << Log("inc");
        EXPECT_NE(std::string::npos, ran.out.find("1 record written")) << ran.out;
    }
    EXPECT_EQ("1\n2\n3\n5\n", Target("SELECT id FROM bykey ORDER BY id"));
    EXPECT_EQ("1\n2\n3\n", Target("SELECT id FROM byoffset ORDER BY id"));
    EXPECT_NE(std::string::npos, Log("byoffset").find("Incremental from byte 19 (line 4)"))
        << Log("byoffset");

    // The file rotated: a new one whose byte 23 starts a line is not read
    // on from there, but refused until a full refresh.
    rdtest::WriteFile(Path("o.new"), "id,stamp\n1234567,12345\n8,8\n");
    ASSERT_EQ(0, rename(Path("o.new").c_str(), Path("o.csv").c_str()));
    Ran ran = Rdrun("--no-progress byoffset");
    EXPECT_EQ(1, ran.status);
    EXPECT_NE(std::string::npos, ran.out.find("replaced or rotated")) << ran.out;
    ran = Rdrun("--no-progress --full-refresh byoffset");
    ASSERT_EQ(0, ran.status) << ran.out << ran.err;
    EXPECT_EQ("8\n1234567\n", Target("SELECT id FROM byoffset ORDER BY id"));
}

// Runs killed at random moments while rows keep arriving, many of them
// sharing a key value across batch boundaries: the target ends with each
// source row exactly once.
TEST_F(IncrementalTest, KillsWhileTheSourceGrowsLoseAndRepeatNothing) {
    DefineSqlCopy(100);
    const unsigned step = Setting("RDX_INCREMENTAL_ROWS", 20000);
    unsigned rows = 0;
    auto grow = [&] {
        Db db(Path("src.db"));
        db.Exec("BEGIN");
        for (unsigned i = 0; i < step; ++i, ++rows)
            db.Exec("INSERT INTO src VALUES (" + std::to_string(rows + 1) + ", 'v" +
                    std::to_string(rows) + "', datetime('2026-01-01', '+" +
                    std::to_string(rows / 7) + " seconds'))");
        db.Exec("COMMIT");
    };
    const int killed =
        KillRuns("--no-progress inc", Setting("RDX_INCREMENTAL_KILLS", 20), 200, [&](unsigned i) {
            if (i % 4 == 0) grow();
        });
    const Ran last = Run();
    ASSERT_EQ(0, last.status) << last.out << last.err;
    EXPECT_GT(killed, 0);
    const std::string n = std::to_string(rows);
    // Distinct ids from 1 to rows, as many as rows, each with its own value.
    EXPECT_EQ(n + "|" + n + "|1|" + n + "|0\n",
              Target("SELECT count(*), count(DISTINCT id), min(id), max(id), "
                     "sum(v <> 'v' || (id - 1)) FROM dst"));
}

// A second run of a copy while one is still at work (it lost its server
// manager, say) is refused: both would go on from the same bookmark.
TEST_F(IncrementalTest, SecondRunWhileOneWorksIsRefused) {
    DefineSqlCopy(50);
    Source("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
           "INSERT INTO src SELECT i, 'v' || (i - 1), datetime('2026-01-01', '+' || i || ' "
           "seconds') FROM n");
    const pid_t first = Start("rdrun", "--no-progress inc", "first");
    ASSERT_TRUE(WaitFor([&] { return Target("SELECT count(*) > 0 FROM dst") == "1\n"; }));
    const Ran second = Run();
    EXPECT_EQ(1, second.status);
    EXPECT_NE(std::string::npos, second.out.find("Another run of inc is copying")) << second.out;
    EXPECT_EQ(0, Ended(first));
    EXPECT_EQ("100000|100000\n", Target("SELECT count(*), count(DISTINCT id) FROM dst"));
}

// Upsert by id, read by updated_at: after each run the target holds the
// source as it is, an updated row once with its new value; a target table
// without a unique key on Key is refused before anything is written.
TEST_F(IncrementalTest, UpsertKeepsTheTargetEqualToTheSource) {
    DefineSqlCopy(2, "Mode = \"upsert\"\nKey = \"id\"\n", false);
    Source("INSERT INTO src VALUES (1,'a','2026-01-01 00:00:00'), (2,'b','2026-01-02 00:00:00'),"
           "(3,'c','2026-01-02 00:00:00')");
    Ran ran = Run();
    ASSERT_EQ(0, ran.status) << ran.out << ran.err << Log("inc");
    Source("UPDATE src SET v = 'b2', updated_at = '2026-01-05 00:00:00' WHERE id = 2;"
           "INSERT INTO src VALUES (4,'d','2026-01-02 00:00:00')");
    ran = Run();
    ASSERT_EQ(0, ran.status) << ran.out << ran.err << Log("inc");
    EXPECT_NE(std::string::npos, ran.out.find("2 records written")) << ran.out;
    EXPECT_EQ(Db(Path("src.db")).Query("SELECT id, v FROM src ORDER BY id"),
              Target("SELECT id, v FROM dst ORDER BY id"));

    Db(Path("dst.db")).Exec("CREATE TABLE plain (id INTEGER, v TEXT, updated_at DATETIME)");
    Define(SqliteLink("from", Path("src.db")) + SqliteLink("to", Path("dst.db")) +
           CopyActivity("plain", {"from", "to", "plain", "SELECT id, v, updated_at FROM src", 2,
                                  "stop", false}) +
           "Mode = \"upsert\"\nKey = \"id\"\n");
    ran = Rdrun("--no-progress plain");
    EXPECT_EQ(1, ran.status) << ran.out;
    EXPECT_NE(std::string::npos, ran.out.find("plain")) << ran.out;
    EXPECT_EQ("0\n", Target("SELECT count(*) FROM plain"));
}

// Upsert runs killed at random moments while rows arrive and others are
// updated: the target ends equal to the source, row for row.
TEST_F(IncrementalTest, UpsertKillsWhileTheSourceChangesEndEqual) {
    DefineSqlCopy(100, "Mode = \"upsert\"\nKey = \"id\"\n", false);
    const unsigned step = Setting("RDX_INCREMENTAL_ROWS", 20000);
    unsigned rows = 0, round = 0, tick = 0;
    // The clock of the source's changes: updated_at only grows, seven rows
    // (or one round of updates) to a second.
    auto at = [&] { return "datetime('2026-01-01', '+" + std::to_string(tick) + " seconds')"; };
    auto change = [&] {
        Db db(Path("src.db"));
        db.Exec("BEGIN");
        // Every 5th row so far gets a new value and a later key.
        db.Exec("UPDATE src SET v = v || '+', updated_at = " + at() +
                " WHERE id % 5 = " + std::to_string(round++ % 5));
        ++tick;
        for (unsigned i = 0; i < step; ++i, ++rows) {
            db.Exec("INSERT INTO src VALUES (" + std::to_string(rows + 1) + ", 'v" +
                    std::to_string(rows) + "', " + at() + ")");
            if (rows % 7 == 6) ++tick;
        }
        ++tick;
        db.Exec("COMMIT");
    };
    const int killed =
        KillRuns("--no-progress inc", Setting("RDX_INCREMENTAL_KILLS", 20), 200, [&](unsigned i) {
            if (i % 4 == 0) change();
        });
    const Ran last = Run();
    ASSERT_EQ(0, last.status) << last.out << last.err;
    EXPECT_GT(killed, 0);
    EXPECT_EQ(Db(Path("src.db")).Query("SELECT count(*), sum(length(v)), sum(id) FROM src"),
              Target("SELECT count(*), sum(length(v)), sum(id) FROM dst"));
    EXPECT_EQ(Db(Path("src.db")).Query("SELECT id, v FROM src ORDER BY id"),
              Target("SELECT id, v FROM dst ORDER BY id"));
}

} // namespace
} // namespace rdruntest
