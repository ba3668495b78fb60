// SPDX-License-Identifier: Apache-2.0
// Inserts of a whole connection in one COPY (Transaction "connection"):
// nothing is visible before the connection commits it, a refused row or a
// server that goes away in the middle rolls all of it back and says so,
// and a record that does not encode fails only its own batch.
#include "pg_test_env.h"

namespace connectortest {
namespace {

std::vector<std::vector<std::string>> Numbered(int from, int to) {
    std::vector<std::vector<std::string>> rows;
    for (int i = from; i <= to; ++i)
        rows.push_back({std::to_string(i)});
    return rows;
}

bool Says(Connection &c, const std::string &text) {
    return c.LastError().find(text) != std::string::npos;
}

TEST_F(PgTest, ConnectionTransactionCommitsAtTheEnd) {
    auto c = OpenPg({{"Table", "t"}, {"Transaction", "Connection"}});
    EXPECT_EQ("connection", c->Get("Transaction"));
    EXPECT_EQ(RDSTATUS_FREETEXT, c->Set("Transaction", "statement"));
    EXPECT_EQ("connection", c->Get("Transaction"));
    Sql("CREATE TABLE t (n integer)");
    List in(300);
    Fill(in, {{"n", RDTYPE_INT}}, Numbered(1, 300));
    uint32_t done = 0;
    for (uint32_t first : {1u, 101u, 201u}) {
        ASSERT_EQ(0u, c->Insert(in, first, 100, &done)) << c->LastError();
        EXPECT_EQ(100u, done);
    }
    EXPECT_EQ((std::vector<std::string>{"0"}), Sql("SELECT count(*) FROM t"));
    // Another operation ends the COPY first: the select sees every row.
    ASSERT_EQ(0u, c->Set("SQL", "SELECT count(*) FROM t"));
    List out(1);
    ASSERT_EQ(0u, c->Select(out, 1)) << c->LastError();
    uint32_t fetched = 0;
    ASSERT_EQ(0u, c->Fetch(out, 1, 1, &fetched));
    EXPECT_EQ((std::vector<std::string>{"300"}), Rows(out, 1, 1));
    ASSERT_EQ(0u, c->Set("SQL", ""));
    // A new COPY after it; one per batch from here on ends it first.
    ASSERT_EQ(0u, c->Insert(in, 1, 50, &done)) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"300"}), Sql("SELECT count(*) FROM t"));
    ASSERT_EQ(0u, c->Set("Transaction", "batch"));
    ASSERT_EQ(0u, c->Insert(in, 51, 10, &done)) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"360"}), Sql("SELECT count(*) FROM t"));
    // And back: committed by the disconnect.
    ASSERT_EQ(0u, c->Set("Transaction", "connection"));
    ASSERT_EQ(0u, c->Insert(in, 61, 10, &done)) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"360"}), Sql("SELECT count(*) FROM t"));
    EXPECT_EQ(0u, c->Disconnect()) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"370"}), Sql("SELECT count(*) FROM t"));
}

TEST_F(PgTest, ConnectionTransactionRefusedRowRollsEverythingBack) {
    auto c = OpenPg({{"Table", "keyed"}, {"Transaction", "connection"}});
    Sql("CREATE TABLE keyed (id integer PRIMARY KEY, amount smallint)");
    List in(6);
    Fill(in, {{"id", RDTYPE_INT}, {"amount", RDTYPE_INT}},
         {{"1", "1"}, {"2", "2"}, {"3", "3"}, {"2", "4"}, {"5", "70000"}, {"6", "6"}});
    uint32_t done = 0;
    ASSERT_EQ(0u, c->Insert(in, 1, 2, &done)) << c->LastError();
    // A value that does not fit fails its batch before anything is sent;
    // the COPY goes on.
    EXPECT_EQ(RDSTATUS_RECORDFAULT, c->Insert(in, 5, 2, &done));
    EXPECT_EQ(0u, done);
    EXPECT_TRUE(Says(*c, "record 5")) << c->LastError();
    ASSERT_EQ(0u, c->Insert(in, 3, 2, &done)) << c->LastError();
    EXPECT_EQ(2u, done);
    // The duplicate key is found when the COPY ends: the record and its
    // batch are named, and none of the rows is kept.
    EXPECT_EQ(RDSTATUS_FREETEXT, c->Disconnect());
    EXPECT_TRUE(Says(*c, "record 2 of batch 2")) << c->LastError();
    EXPECT_TRUE(Says(*c, "copy of 4 records was rolled back")) << c->LastError();
    EXPECT_TRUE(Says(*c, "23505")) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"0"}), Sql("SELECT count(*) FROM keyed"));
}

// The server session ends in the middle of a COPY (a trigger ends its own
// session at row 500): with one COPY per batch the batches before it stay
// and the failing one reports nothing written; with one COPY for the
// connection nothing stays, and no further insert is taken as written.
TEST_F(PgTest, ServerGoneInTheMiddleOfACopy) {
    Sql("CREATE TABLE doomed (n integer);"
        "CREATE FUNCTION end_at_500() RETURNS trigger AS $$ BEGIN "
        "IF NEW.n = 500 THEN PERFORM pg_terminate_backend(pg_backend_pid()); "
        "PERFORM pg_sleep(5); END IF; RETURN NEW; END $$ LANGUAGE plpgsql;"
        "CREATE TRIGGER doom BEFORE INSERT ON doomed FOR EACH ROW EXECUTE FUNCTION end_at_500()");
    List in(1000);
    Fill(in, {{"n", RDTYPE_INT}}, Numbered(1, 1000));
    for (const std::string mode : {"batch", "connection"}) {
        SCOPED_TRACE(mode);
        Sql("TRUNCATE doomed");
        auto c = OpenPg({{"Table", "doomed"}, {"Transaction", mode}});
        uint32_t done = 0, written = 0, failure = 0;
        for (uint32_t first = 1; first <= 1000 && failure == 0; first += 250) {
            failure = c->Insert(in, first, 250, &done);
            written += done;
        }
        if (failure == 0) failure = c->Disconnect();
        // Batch mode fails the batch; in connection mode the insert that
        // finds the server gone, or else the disconnect, fails.
        if (mode == "batch" || failure != RDSTATUS_NOTCONNECTED) {
            EXPECT_EQ(RDSTATUS_FREETEXT, failure);
        }
        EXPECT_TRUE(Says(*c, "terminat")) << c->LastError();
        // Batch mode reports exactly the batch that was committed.
        if (mode == "batch") {
            EXPECT_EQ(250u, written);
        }
        const std::string kept = mode == "batch" ? "250" : "0";
        EXPECT_EQ((std::vector<std::string>{kept}), Sql("SELECT count(*) FROM doomed"));
        if (mode == "connection") {
            EXPECT_TRUE(Says(*c, "rolled back")) << c->LastError();
            // Not a record's fault: a host that skips bad records stops.
            EXPECT_EQ(RDSTATUS_NOTCONNECTED, c->Insert(in, 1, 1, &done));
            EXPECT_EQ(0u, done);
        }
    }
}

// A host whose copy failed asks the connection to roll back what it holds:
// nothing of the open COPY is committed by the disconnect that follows.
TEST_F(PgTest, RollbackActionDiscardsTheOpenCopy) {
    auto c = OpenPg({{"Table", "t"}, {"Transaction", "connection"}});
    Sql("CREATE TABLE t (n integer)");
    List in(20);
    Fill(in, {{"n", RDTYPE_INT}}, Numbered(1, 20));
    uint32_t done = 0;
    ASSERT_EQ(0u, c->Insert(in, 1, 20, &done)) << c->LastError();
    EXPECT_EQ(0u, pg_.RDXAction(c->Private(), 0x524F4C4C));
    EXPECT_EQ(0u, c->Disconnect()) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"0"}), Sql("SELECT count(*) FROM t"));
    EXPECT_EQ(RDSTATUS_BADPATTERN, pg_.RDXAction(c->Private(), 2));
    EXPECT_EQ("PostgreSQL connections do not support this action", c->LastError());
}

// A FETCH sent ahead that fails on the server (division by zero in rows
// not read yet) does not leave the connection in a failed transaction.
TEST_F(PgTest, FailedRowsAheadDoNotBlockTheNextStatement) {
    auto c = OpenPg({{"SQL", "SELECT 10 / (x - 5) AS q FROM generate_series(1, 8) x"}});
    List out(4);
    ASSERT_EQ(0u, c->Select(out, 4)) << c->LastError();
    uint32_t fetched = 0;
    ASSERT_EQ(0u, c->Fetch(out, 1, 4, &fetched)) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"-2", "-3", "-5", "-10"}), Rows(out, 1, 4));
    uint32_t count = 0;
    EXPECT_EQ(0u, Execute(*c, "CREATE TABLE after_failure (n integer)", &count)) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"1"}),
              Sql("SELECT count(*) FROM pg_tables WHERE tablename = 'after_failure'"));
}

} // namespace
} // namespace connectortest
