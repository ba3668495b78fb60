// SPDX-License-Identifier: Apache-2.0
// When the SQLite connector commits inserts: a copy's target (MarkName set)
// commits its first insert at once and holds later ones in one transaction
// across inserts until CommitRecords records or CommitSeconds, with the copy's mark stored in it;
// any other operation, the disconnect and saving the mark commit first; a failing batch undoes only
// itself; a rollback discards the span and Uncommitted tells how many.
#include "sqlite_test_env.h"

#include <thread>

namespace connectortest {
namespace {

constexpr uint32_t kSaveMark = 0x4D41524B, kRollback = 0x524F4C4C;

class SqliteCommitTest : public SqliteTest {
  protected:
    // A copy's target of table k (id unique) with the given commit settings.
    std::unique_ptr<Connection> Target(const std::string &records, const std::string &seconds) {
        {
            auto setup = OpenDb({{"Create", "yes"}});
            EXPECT_EQ(0u, Execute(*setup, "CREATE TABLE IF NOT EXISTS k (id INTEGER UNIQUE)"));
        }
        return OpenDb({{"Table", "k"},
                       {"MarkName", "load"},
                       {"CommitRecords", records},
                       {"CommitSeconds", seconds}});
    }
    // Inserts records first..first+count-1 of ids_ with the mark "m=LAST".
    uint32_t Insert(Connection &c, uint32_t first, uint32_t count) {
        EXPECT_EQ(0u, c.Set("Mark", "m=" + std::to_string(first + count - 1)));
        uint32_t done = 0;
        const uint32_t status = c.Insert(*ids_, first, count, &done);
        EXPECT_EQ(status == 0 ? count : 0u, done);
        return status;
    }
    std::string Rows() { return Query("SELECT count(*) FROM k"); }
    std::string Stored() { return Query("SELECT mark FROM rdx_copy_marks WHERE name = 'load'"); }
    // What the table and the mark hold as another connection sees them.
    std::string Seen() { return Rows() + " " + Stored(); }
    void SetUp() override {
        SqliteTest::SetUp();
        std::vector<std::vector<std::string>> rows;
        for (int i = 1; i <= 10; ++i)
            rows.push_back({std::to_string(i)});
        rows.push_back({"3"}); // 11: a duplicate
        ids_ = std::make_unique<List>(11);
        Fill(*ids_, {{"id", RDTYPE_INT}}, rows);
    }

    std::unique_ptr<List> ids_; // ids 1 to 10, then 3 again
};

TEST_F(SqliteCommitTest, DefaultsByWhetherTheConnectionKeepsAMark) {
    auto plain = OpenDb({{"Create", "yes"}});
    EXPECT_EQ("0", plain->Get("CommitRecords"));
    EXPECT_EQ("1", plain->Get("CommitSeconds"));
    EXPECT_EQ("0", plain->Get("Uncommitted"));
    auto copy = OpenDb({{"MarkName", "load"}});
    EXPECT_EQ("100000", copy->Get("CommitRecords"));
    EXPECT_EQ(RDSTATUS_FREETEXT, copy->Set("CommitRecords", "-1"));
    EXPECT_NE(std::string::npos, copy->LastError().find("cannot be negative"));
    EXPECT_EQ(RDSTATUS_FREETEXT, copy->Set("CommitSeconds", "-5"));
    EXPECT_EQ("100000", copy->Get("CommitRecords"));
    // Read only.
    EXPECT_NE(0u, copy->Set("Uncommitted", "3"));
}

// Inserts stay invisible to others, with the mark, until the span holds
// CommitRecords records; then rows and mark appear together.
TEST_F(SqliteCommitTest, SpanCommitsWithItsMarkOnceFull) {
    auto db = Target("5", "0");
    // The first insert is committed at once.
    ASSERT_EQ(0u, Insert(*db, 1, 1)) << db->LastError();
    EXPECT_EQ("0", db->Get("Uncommitted"));
    EXPECT_EQ("1 m=1", Seen());
    ASSERT_EQ(0u, Insert(*db, 2, 2));
    EXPECT_EQ("2", db->Get("Uncommitted"));
    EXPECT_EQ("1 m=1", Seen());
    ASSERT_EQ(0u, Insert(*db, 4, 2));
    EXPECT_EQ("4", db->Get("Uncommitted"));
    EXPECT_EQ("1 m=1", Seen());
    ASSERT_EQ(0u, Insert(*db, 6, 1));
    EXPECT_EQ("0", db->Get("Uncommitted"));
    EXPECT_EQ("6 m=6", Seen());
    // The next span stores over the committed mark.
    ASSERT_EQ(0u, Insert(*db, 7, 4));
    EXPECT_EQ("6 m=6", Seen());
    EXPECT_EQ(0u, db->Disconnect());
    EXPECT_EQ("10 m=10", Seen());
}

// batches before it, and its mark the last one's text.
TEST_F(SqliteCommitTest, RefusedBatchUndoesOnlyItself) {
    auto db = Target("100", "0");
    ASSERT_EQ(0u, Insert(*db, 1, 1));
    ASSERT_EQ(0u, Insert(*db, 2, 2));
    EXPECT_EQ(RDSTATUS_RECORDFAULT, Insert(*db, 10, 2)); // 10, then 3 again
    EXPECT_NE(std::string::npos, db->LastError().find("UNIQUE constraint failed"))
        << db->LastError();
    EXPECT_EQ("2", db->Get("Uncommitted"));
    ASSERT_EQ(0u, Insert(*db, 4, 1)) << db->LastError();
    EXPECT_EQ("3", db->Get("Uncommitted"));
    EXPECT_EQ("1 m=1", Seen());
    ASSERT_EQ(0u, sqlite_.RDXAction(db->Private(), kSaveMark)) << db->LastError();
    EXPECT_EQ("0", db->Get("Uncommitted"));
    EXPECT_EQ("4 m=4", Seen());
    EXPECT_EQ("1,2,3,4", Query("SELECT group_concat(id, ',') FROM (SELECT id FROM k ORDER BY id)"));
}

// lost until the next insert, and the committed mark is stored over again.
TEST_F(SqliteCommitTest, RollbackDiscardsTheSpan) {
    auto db = Target("3", "0");
    ASSERT_EQ(0u, Insert(*db, 1, 3));
    EXPECT_EQ("3 m=3", Seen());
    ASSERT_EQ(0u, Insert(*db, 4, 2));
    ASSERT_EQ(0u, sqlite_.RDXAction(db->Private(), kRollback));
    EXPECT_EQ("2", db->Get("Uncommitted"));
    EXPECT_EQ("3 m=3", Seen());
    ASSERT_EQ(0u, Insert(*db, 4, 3)) << db->LastError();
    EXPECT_EQ("0", db->Get("Uncommitted"));
    EXPECT_EQ("6 m=6", Seen());
}

// Any other operation on the connection, and its disconnect, commit first.
TEST_F(SqliteCommitTest, OtherOperationsAndTheDisconnectCommitFirst) {
    auto db = Target("100", "0");
    ASSERT_EQ(0u, Insert(*db, 1, 1));
    ASSERT_EQ(0u, Insert(*db, 2, 1));
    EXPECT_EQ("1 m=1", Seen());
    ASSERT_EQ(0u, db->Set("SQL", "SELECT id FROM k"));
    List out(4);
    ASSERT_EQ(0u, db->Select(out, 4)) << db->LastError();
    EXPECT_EQ("2 m=2", Seen());
    ASSERT_EQ(0u, Insert(*db, 3, 2));
    EXPECT_EQ(0u, Execute(*db, "UPDATE k SET id = id WHERE 0"));
    EXPECT_EQ("4 m=4", Seen());
    ASSERT_EQ(0u, Insert(*db, 5, 2));
    EXPECT_EQ("4 m=4", Seen());
    EXPECT_EQ(0u, db->Disconnect());
    EXPECT_EQ("6 m=6", Seen());
}

// began, however few records it holds.
TEST_F(SqliteCommitTest, OldSpanCommitsAtTheNextInsert) {
    auto db = Target("1000000", "1");
    ASSERT_EQ(0u, Insert(*db, 1, 1));
    ASSERT_EQ(0u, Insert(*db, 2, 1));
    EXPECT_EQ("1 m=1", Seen());
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_EQ(0u, Insert(*db, 3, 1));
    EXPECT_EQ("3 m=3", Seen());
}

// its own commit would have refused it.
TEST_F(SqliteCommitTest, DeferredConstraintRefusesTheBatchInASpan) {
    auto setup = OpenDb({{"Create", "yes"}});
    ASSERT_EQ(0u, Execute(*setup, "CREATE TABLE p (id INTEGER PRIMARY KEY); INSERT INTO p "
                                  "VALUES (1), (2); CREATE TABLE c (id INTEGER REFERENCES p (id) "
                                  "DEFERRABLE INITIALLY DEFERRED)"));
    auto db = OpenDb({{"Table", "c"},
                      {"MarkName", "load"},
                      {"CommitRecords", "100"},
                      {"Setup", "PRAGMA foreign_keys = ON"}});
    List rows(3);
    Fill(rows, {{"id", RDTYPE_INT}}, {{"1"}, {"9"}, {"2"}});
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(rows, 1, 1, &done)) << db->LastError();
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(rows, 2, 1, &done));
    EXPECT_NE(std::string::npos, db->LastError().find("FOREIGN KEY constraint failed"))
        << db->LastError();
    ASSERT_EQ(0u, db->Insert(rows, 3, 1, &done)) << db->LastError();
    EXPECT_EQ("1", db->Get("Uncommitted"));
    EXPECT_EQ(0u, db->Disconnect());
    EXPECT_EQ("1,2", Query("SELECT group_concat(id, ',') FROM c"));
}

// A span whose commit fails is lost as a whole: the failure is the
// target's, and Uncommitted tells the records of the earlier inserts.
TEST_F(SqliteCommitTest, FailedCommitLosesTheSpan) {
    auto db = Target("2", "0");
    ASSERT_EQ(0u, Insert(*db, 1, 1));
    ASSERT_EQ(0u, Insert(*db, 2, 1));
    // A reader holding a shared lock keeps the commit from writing.
    sqlite3 *reader = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(Path("test.db").c_str(), &reader));
    ASSERT_EQ(SQLITE_OK,
              sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM k", nullptr, nullptr, nullptr));
    ASSERT_EQ(0u, db->SetInt("BusyTimeout", 50));
    EXPECT_EQ(RDSTATUS_FREETEXT, Insert(*db, 3, 1));
    EXPECT_NE(std::string::npos, db->LastError().find("cannot be committed; they were rolled back"))
        << db->LastError();
    // The record of the earlier insert, which was reported done, is lost.
    EXPECT_EQ("1", db->Get("Uncommitted"));
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(reader);
    EXPECT_EQ("1 m=1", Seen());
    ASSERT_EQ(0u, Insert(*db, 2, 2)) << db->LastError();
    EXPECT_EQ("3 m=3", Seen());
}

} // namespace
} // namespace connectortest
