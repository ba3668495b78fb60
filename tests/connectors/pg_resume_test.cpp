// SPDX-License-Identifier: Apache-2.0
// The PostgreSQL connector's part in resuming a copy: the mark upserted in
// the transaction of each batch's COPY, or of the connection's one COPY, so
// that a refused batch, a rollback or a session that dies leaves the rows
// and the mark as they were; read back at connect; selects ordered by
// OrderBy.
#include "pg_test_env.h"

namespace connectortest {
namespace {

constexpr uint32_t kSaveMark = 0x4D41524B, kRollback = 0x524F4C4C;

std::vector<std::vector<std::string>> Keys(int from, int to) {
    std::vector<std::vector<std::string>> rows;
    for (int i = from; i <= to; ++i)
        rows.push_back({std::to_string(i)});
    return rows;
}

class PgResumeTest : public PgTest {
  protected:
    // The stored mark of name, "<none>" without a row or a mark table.
    std::string StoredMark(const std::string &name) {
        if (Sql("SELECT to_regclass('rdx_copy_marks') IS NOT NULL") !=
            std::vector<std::string>{"t"})
            return "<none>";
        const auto rows = Sql("SELECT mark FROM rdx_copy_marks WHERE name = '" + name + "'");
        return rows.empty() ? "<none>" : rows[0];
    }
    std::string Count(const std::string &table) {
        return Sql("SELECT count(*) FROM " + table).at(0);
    }
    uint32_t Action(Connection &c, uint32_t action) { return pg_.RDXAction(c.Private(), action); }
};

TEST_F(PgResumeTest, BatchModeStoresTheMarkWithTheBatchAndTheTable) {
    auto c = OpenPg({{"Table", "t"}, {"MarkName", "load"}});
    EXPECT_EQ("", c->Get("Mark"));
    // Reading a mark makes no table.
    EXPECT_EQ("<none>", StoredMark("load"));
    List in(4);
    Fill(in, {{"id", RDTYPE_INT}}, Keys(1, 4));
    ASSERT_EQ(0u, c->Set("Mark", "records=0"));
    ASSERT_EQ(0u, pg_.RDXCreate(c->Private(), 3, in)) << c->LastError();
    EXPECT_EQ("records=0", StoredMark("load"));
    Sql("ALTER TABLE t ADD PRIMARY KEY (id)");

    uint32_t done = 0;
    ASSERT_EQ(0u, c->Set("Mark", "records=2"));
    ASSERT_EQ(0u, c->Insert(in, 1, 2, &done)) << c->LastError();
    EXPECT_EQ("records=2", StoredMark("load"));
    // A refused batch leaves the rows and the mark of the last good one.
    ASSERT_EQ(0u, c->Set("Mark", "records=4"));
    EXPECT_EQ(RDSTATUS_RECORDFAULT, c->Insert(in, 2, 3, &done));
    EXPECT_EQ(0u, done);
    EXPECT_EQ("records=2", StoredMark("load"));
    EXPECT_EQ("2", Count("t"));
    // The mark's table gone, the batch cannot keep its mark: neither stays.
    Sql("ALTER TABLE rdx_copy_marks RENAME TO gone");
    EXPECT_EQ(RDSTATUS_FREETEXT, c->Insert(in, 3, 2, &done));
    EXPECT_NE(std::string::npos, c->LastError().find("mark cannot be stored")) << c->LastError();
    EXPECT_EQ("2", Count("t"));
    Sql("ALTER TABLE gone RENAME TO rdx_copy_marks");
    ASSERT_EQ(0u, c->Insert(in, 3, 2, &done)) << c->LastError();
    EXPECT_EQ("records=4", StoredMark("load"));
    EXPECT_EQ("4", Count("t"));

    // Saved on its own at once; read back by name at the next connect.
    ASSERT_EQ(0u, c->Set("Mark", "done"));
    ASSERT_EQ(0u, Action(*c, kSaveMark)) << c->LastError();
    EXPECT_EQ("done", StoredMark("load"));
    EXPECT_EQ("done", OpenPg({{"MarkName", "load"}})->Get("Mark"));
    EXPECT_EQ("", OpenPg({{"MarkName", "other"}})->Get("Mark"));
    auto unnamed = OpenPg();
    EXPECT_EQ(RDSTATUS_FREETEXT, Action(*unnamed, kSaveMark));
}

// One transaction for the connection: the mark is stored only when the
// connection's COPY commits, and a rollback, a refused row or a session
// that dies leaves neither rows nor mark.
TEST_F(PgResumeTest, ConnectionModeCommitsTheMarkWithTheCopy) {
    Sql("CREATE TABLE t (id integer PRIMARY KEY)");
    List in(10);
    Fill(in, {{"id", RDTYPE_INT}}, Keys(1, 10));
    auto open = [&] {
        return OpenPg({{"Table", "t"}, {"Transaction", "connection"}, {"MarkName", "load"}});
    };
    uint32_t done = 0;
    {
        auto c = open();
        ASSERT_EQ(0u, c->Set("Mark", "records=3"));
        ASSERT_EQ(0u, c->Insert(in, 1, 3, &done)) << c->LastError();
        ASSERT_EQ(0u, c->Set("Mark", "records=5"));
        ASSERT_EQ(0u, c->Insert(in, 4, 2, &done)) << c->LastError();
        EXPECT_EQ("5", c->Get("Uncommitted"));
        ASSERT_EQ(0u, Action(*c, kSaveMark)) << c->LastError();
        EXPECT_EQ("<none>", StoredMark("load"));
        EXPECT_EQ("0", Count("t"));
        ASSERT_EQ(0u, c->Disconnect()) << c->LastError();
        EXPECT_EQ("records=5", StoredMark("load"));
        EXPECT_EQ("5", Count("t"));
    }
    // Rolled back by the action: the old mark stays.
    {
        auto c = open();
        EXPECT_EQ("records=5", c->Get("Mark"));
        ASSERT_EQ(0u, c->Set("Mark", "records=7"));
        ASSERT_EQ(0u, c->Insert(in, 6, 2, &done)) << c->LastError();
        ASSERT_EQ(0u, Action(*c, kRollback));
        EXPECT_EQ("0", c->Get("Uncommitted"));
        EXPECT_EQ(0u, c->Disconnect()) << c->LastError();
    }
    EXPECT_EQ("records=5", StoredMark("load"));
    EXPECT_EQ("5", Count("t"));
    // A duplicate found when the COPY ends (here by another statement): the
    // mark is not saved after it either.
    {
        auto c = open();
        ASSERT_EQ(0u, c->Set("Mark", "records=7"));
        ASSERT_EQ(0u, c->Insert(in, 5, 2, &done)) << c->LastError();
        EXPECT_EQ(RDSTATUS_FREETEXT, Execute(*c, "SELECT 1"));
        EXPECT_NE(std::string::npos, c->LastError().find("rolled back")) << c->LastError();
        EXPECT_EQ(RDSTATUS_FREETEXT, Action(*c, kSaveMark));
        EXPECT_EQ(0u, c->Disconnect());
    }
    EXPECT_EQ("records=5", StoredMark("load"));
    // The session ends in the middle, as when the process is killed.
    {
        auto c = open();
        ASSERT_EQ(0u, c->Set("Mark", "records=7"));
        ASSERT_EQ(0u, c->Insert(in, 6, 2, &done)) << c->LastError();
        Sql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = "
            "'rdpg'");
        EXPECT_NE(0u, c->Disconnect());
    }
    EXPECT_EQ("records=5", StoredMark("load"));
    EXPECT_EQ("5", Count("t"));
    // What commits brings its mark along.
    {
        auto c = open();
        ASSERT_EQ(0u, c->Set("Mark", "records=10"));
        ASSERT_EQ(0u, c->Insert(in, 6, 5, &done)) << c->LastError();
        ASSERT_EQ(0u, c->Disconnect()) << c->LastError();
    }
    EXPECT_EQ("records=10", StoredMark("load"));
    EXPECT_EQ("10", Count("t"));
}

// Two runs of one copy (one taken over by another machine while the first
// still writes) read the same mark; the first to commit changes it, and the
// other's batches are refused with their records, in each way a batch
// commits: a COPY per batch, a staged upsert, the connection's one COPY.
TEST_F(PgResumeTest, SecondRunOfACopyIsRefusedOnceTheFirstCommitted) {
    const std::string says = "Another run of load has written to table t since this run read "
                             "its mark; this run's batch is not written.";
    List in(6);
    Fill(in, {{"id", RDTYPE_INT}}, Keys(1, 6));
    uint32_t done = 0;
    for (const std::string mode : {"insert", "upsert"}) {
        SCOPED_TRACE(mode);
        Sql("DROP TABLE IF EXISTS t; DROP TABLE IF EXISTS rdx_copy_marks; "
            "CREATE TABLE t (id integer PRIMARY KEY)");
        auto open = [&] {
            return OpenPg(
                {{"Table", "t"}, {"MarkName", "load"}, {"WriteMode", mode}, {"Key", "id"}});
        };
        // No mark yet, not even its table: the first mark goes in once.
        auto first = open(), second = open();
        ASSERT_EQ(0u, first->Set("Mark", "records=2"));
        ASSERT_EQ(0u, first->Insert(in, 1, 2, &done)) << first->LastError();
        ASSERT_EQ(0u, second->Set("Mark", "records=2"));
        EXPECT_EQ(RDSTATUS_FREETEXT, second->Insert(in, 1, 2, &done));
        EXPECT_EQ(0u, done);
        EXPECT_NE(std::string::npos, second->LastError().find(says)) << second->LastError();
        // Both read the stored mark: the second commits first this time.
        first = open();
        second = open();
        ASSERT_EQ(0u, second->Set("Mark", "records=3"));
        ASSERT_EQ(0u, second->Insert(in, 3, 1, &done)) << second->LastError();
        ASSERT_EQ(0u, first->Set("Mark", "records=3"));
        EXPECT_EQ(RDSTATUS_FREETEXT, first->Insert(in, 3, 1, &done));
        EXPECT_NE(std::string::npos, first->LastError().find(says)) << first->LastError();
        EXPECT_EQ(RDSTATUS_FREETEXT, Action(*first, kSaveMark));
        ASSERT_EQ(0u, second->Set("Mark", "records=4"));
        ASSERT_EQ(0u, second->Insert(in, 4, 1, &done)) << second->LastError();
        EXPECT_EQ((std::vector<std::string>{"1", "2", "3", "4"}),
                  Sql("SELECT id FROM t ORDER BY id"));
        EXPECT_EQ("records=4", StoredMark("load"));
    }
    // The connection's one COPY: refused at its commit, all of it (the key
    // dropped, so that nothing but the mark keeps record 5 from going in
    // twice).
    Sql("ALTER TABLE t DROP CONSTRAINT t_pkey");
    auto open = [&] {
        return OpenPg({{"Table", "t"}, {"Transaction", "connection"}, {"MarkName", "load"}});
    };
    auto first = open(), second = open();
    ASSERT_EQ(0u, second->Set("Mark", "records=5"));
    ASSERT_EQ(0u, second->Insert(in, 5, 1, &done)) << second->LastError();
    ASSERT_EQ(0u, second->Disconnect()) << second->LastError();
    ASSERT_EQ(0u, first->Set("Mark", "records=6"));
    ASSERT_EQ(0u, first->Insert(in, 5, 2, &done)) << first->LastError();
    EXPECT_EQ(RDSTATUS_FREETEXT, first->Disconnect());
    EXPECT_NE(std::string::npos,
              first->LastError().find("this run's copy of 2 records is not written"))
        << first->LastError();
    EXPECT_EQ("5", Count("t"));
    EXPECT_EQ("records=5", StoredMark("load"));
    // A table replaced by the run itself: its next batch goes on over the
    // mark of the replacement.
    auto again = OpenPg({{"Table", "t"}, {"MarkName", "load"}});
    ASSERT_EQ(0u, again->Set("Mark", "records=0"));
    ASSERT_EQ(0u, pg_.RDXCreate(again->Private(), 0x0F11, in)) << again->LastError();
    ASSERT_EQ(0u, again->Set("Mark", "records=1"));
    ASSERT_EQ(0u, again->Insert(in, 1, 1, &done)) << again->LastError();
    EXPECT_EQ("records=1", StoredMark("load"));
    EXPECT_EQ("1", Count("t"));
    // A dropped table makes the mark read as empty; the row still there is
    // what a new run replaces.
    Sql("DROP TABLE t");
    auto fresh = OpenPg({{"Table", "t"}, {"MarkName", "load"}});
    EXPECT_EQ("", fresh->Get("Mark"));
    ASSERT_EQ(0u, fresh->Set("Mark", "records=0"));
    ASSERT_EQ(0u, pg_.RDXCreate(fresh->Private(), 3, in)) << fresh->LastError();
    EXPECT_EQ("records=0", StoredMark("load"));
}

TEST_F(PgResumeTest, OrderByOnTheTableAndOnASelectText) {
    Sql("CREATE TABLE t (g integer, \"Mixed \"\"Case\" text); INSERT INTO t VALUES (2, 'b'), "
        "(1, 'z'), (2, 'a'), (1, 'y')");
    auto c = OpenPg({{"Table", "t"}});
    EXPECT_EQ((std::vector<std::string>{"1|y", "1|z", "2|a", "2|b"}),
              ReadOrdered(*c, "g, Mixed \"Case"));
    ASSERT_EQ(0u, c->Set("SQL", "SELECT \"Mixed \"\"Case\" AS n, g FROM t WHERE g = 2;"));
    EXPECT_EQ((std::vector<std::string>{"a|2", "b|2"}), ReadOrdered(*c, "n"));
    for (const std::string odd : {"n,", " , n", "G"}) {
        ASSERT_EQ(0u, c->Set("OrderBy", odd));
        List out(1);
        EXPECT_EQ(RDSTATUS_FREETEXT, c->Select(out, 1)) << odd;
        const std::string says = odd == "G" ? "column \"G\" does not exist" : "OrderBy";
        EXPECT_NE(std::string::npos, c->LastError().find(says)) << c->LastError();
    }
}

} // namespace
} // namespace connectortest
