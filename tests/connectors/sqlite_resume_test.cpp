// SPDX-License-Identifier: Apache-2.0
// The SQLite connector's part in resuming a copy: the mark stored in the
// same transaction as the batch (or the table) it counts, read back at the
// next connect, saved on its own by the action, and selects ordered by
// OrderBy so that a rerun sees the records in the same order.
#include "sqlite_test_env.h"

namespace connectortest {
namespace {

constexpr uint32_t kSaveMark = 0x4D41524B, kRollback = 0x524F4C4C;

class SqliteResumeTest : public SqliteTest {
  protected:
    std::string StoredMark(const std::string &name) {
        return Query("SELECT mark FROM rdx_copy_marks WHERE name = '" + name + "'");
    }
};

TEST_F(SqliteResumeTest, MarkGoesWithTheTableAndTheBatchThatCommit) {
    auto db =
        OpenDb({{"Create", "yes"}, {"Table", "k"}, {"MarkName", "load"}, {"CommitRecords", "0"}});
    EXPECT_EQ("", db->Get("Mark"));
    List in(4);
    Fill(in, {{"id", RDTYPE_INT}}, {{"1"}, {"2"}, {"2"}, {"3"}});
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE other (n INTEGER)"));

    // A table made with a mark waiting carries it from the start; one that
    // cannot be made leaves no mark.
    ASSERT_EQ(0u, db->Set("Mark", "records=0"));
    ASSERT_EQ(0u, db->Set("Table", "other"));
    EXPECT_EQ(RDSTATUS_FREETEXT, sqlite_.RDXCreate(db->Private(), 3, in));
    EXPECT_EQ("0", Query("SELECT count(*) FROM sqlite_schema WHERE name = 'rdx_copy_marks'"));
    ASSERT_EQ(0u, db->Set("Table", "k"));
    ASSERT_EQ(0u, sqlite_.RDXCreate(db->Private(), 3, in)) << db->LastError();
    EXPECT_EQ("records=0", StoredMark("load"));

    uint32_t done = 0;
    ASSERT_EQ(0u, db->Set("Mark", "records=2"));
    ASSERT_EQ(0u, db->Insert(in, 1, 2, &done)) << db->LastError();
    // A batch without a new mark leaves the stored one as it is.
    ASSERT_EQ(0u, db->Insert(in, 4, 1, &done));
    EXPECT_EQ("records=2", StoredMark("load"));
    EXPECT_EQ("3", Query("SELECT count(*) FROM k"));
    ASSERT_EQ(0u, Execute(*db, "CREATE UNIQUE INDEX k_id ON k (id)"));

    // The duplicate rolls the batch back and its mark with it; the text
    // waits for the next batch that commits.
    ASSERT_EQ(0u, db->Set("Mark", "records=4"));
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(in, 2, 2, &done));
    EXPECT_EQ("records=2", StoredMark("load"));
    EXPECT_EQ("3", Query("SELECT count(*) FROM k"));
    EXPECT_EQ("records=4", db->Get("Mark"));
    ASSERT_EQ(0u, Execute(*db, "DELETE FROM k WHERE id = 3"));
    ASSERT_EQ(0u, db->Insert(in, 4, 1, &done)) << db->LastError();
    EXPECT_EQ("records=4", StoredMark("load"));
    EXPECT_EQ(0u, sqlite_.RDXAction(db->Private(), kRollback));
}

// The mark is read at connect for the copy's name only; a database that
// never had one reads as empty and is not changed by reading.
TEST_F(SqliteResumeTest, MarkReadBackAtConnectByName) {
    {
        auto db = OpenDb({{"Create", "yes"}, {"MarkName", "a"}});
        EXPECT_EQ("", db->Get("Mark"));
    }
    EXPECT_EQ("0", Query("SELECT count(*) FROM sqlite_schema"));
    {
        auto db = OpenDb({{"MarkName", "a"}});
        ASSERT_EQ(0u, db->Set("Mark", "offset=10;line=2"));
        ASSERT_EQ(0u, sqlite_.RDXAction(db->Private(), kSaveMark)) << db->LastError();
        ASSERT_EQ(0u, db->Disconnect());
        ASSERT_EQ(0u, db->Set("MarkName", "b"));
        ASSERT_EQ(0u, db->Connect());
        ASSERT_EQ(0u, db->Set("Mark", "b's"));
        ASSERT_EQ(0u, sqlite_.RDXAction(db->Private(), kSaveMark)) << db->LastError();
    }
    auto a = OpenDb({{"MarkName", "a"}});
    EXPECT_EQ("a", a->Get("MarkName"));
    EXPECT_EQ("offset=10;line=2", a->Get("Mark"));
    auto b = OpenDb({{"MarkName", "b"}});
    EXPECT_EQ("b's", b->Get("Mark"));
    auto none = OpenDb({{"MarkName", "c"}});
    EXPECT_EQ("", none->Get("Mark"));
    // Saving needs a name; text beyond the bound is refused.
    auto unnamed = OpenDb();
    EXPECT_EQ(RDSTATUS_FREETEXT, sqlite_.RDXAction(unnamed->Private(), kSaveMark));
    EXPECT_NE(std::string::npos, unnamed->LastError().find("MarkName")) << unnamed->LastError();
    EXPECT_EQ(RDSTATUS_FREETEXT, unnamed->Set("Mark", std::string(64 * 1024 + 1, 'x')));
    EXPECT_EQ(RDSTATUS_FREETEXT, unnamed->Set("MarkName", std::string("a\0b", 3)));
    // A database is no file to position in.
    uint32_t position = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&position, RDTYPE_TEXT, 1));
    EXPECT_EQ(RDSTATUS_BADPROPERTY, sqlite_.RDXSetProperty(unnamed->Private(), 0x0F03, position));
    RDFieldFree(position);
}

// Two runs of one copy (one taken over by another machine while the first
// still writes) read the same mark; the first to commit changes it, and the
// other's batches and saves are refused, so no record goes in twice.
TEST_F(SqliteResumeTest, SecondRunOfACopyIsRefusedOnceTheFirstCommitted) {
    auto first =
        OpenDb({{"Create", "yes"}, {"Table", "k"}, {"MarkName", "load"}, {"CommitRecords", "0"}});
    ASSERT_EQ(0u, Execute(*first, "CREATE TABLE k (id INTEGER)"));
    auto second = OpenDb({{"Table", "k"}, {"MarkName", "load"}, {"CommitRecords", "0"}});
    List in(4);
    Fill(in, {{"id", RDTYPE_INT}}, {{"1"}, {"2"}, {"3"}, {"4"}});
    uint32_t done = 0;
    // No mark yet: the first mark of the name goes in once.
    ASSERT_EQ(0u, first->Set("Mark", "records=2"));
    ASSERT_EQ(0u, first->Insert(in, 1, 2, &done)) << first->LastError();
    ASSERT_EQ(0u, second->Set("Mark", "records=2"));
    EXPECT_EQ(RDSTATUS_FREETEXT, second->Insert(in, 1, 2, &done));
    EXPECT_EQ(0u, done);
    EXPECT_NE(std::string::npos,
              second->LastError().find("Another run of load has written to table k since this "
                                       "run read its mark; this run's batch is not written."))
        << second->LastError();
    EXPECT_EQ("1,2", Query("SELECT group_concat(id) FROM k"));
    EXPECT_EQ("records=2", StoredMark("load"));

    // Both read the stored mark again: the first batch that commits wins,
    // the other run can neither write nor save, the winner goes on.
    first = OpenDb({{"Table", "k"}, {"MarkName", "load"}, {"CommitRecords", "0"}});
    second = OpenDb({{"Table", "k"}, {"MarkName", "load"}, {"CommitRecords", "0"}});
    auto reader = OpenDb({{"Table", "k"}, {"MarkName", "load"}, {"CommitRecords", "0"}});
    EXPECT_EQ("records=2", reader->Get("Mark"));
    ASSERT_EQ(0u, second->Set("Mark", "records=3"));
    ASSERT_EQ(0u, second->Insert(in, 3, 1, &done)) << second->LastError();
    ASSERT_EQ(0u, first->Set("Mark", "records=3"));
    EXPECT_EQ(RDSTATUS_FREETEXT, first->Insert(in, 3, 1, &done));
    EXPECT_EQ(RDSTATUS_FREETEXT, sqlite_.RDXAction(first->Private(), kSaveMark));
    EXPECT_NE(std::string::npos, first->LastError().find("this run's mark is not written"))
        << first->LastError();
    ASSERT_EQ(0u, second->Set("Mark", "records=4"));
    ASSERT_EQ(0u, second->Insert(in, 4, 1, &done)) << second->LastError();
    EXPECT_EQ("1,2,3,4", Query("SELECT group_concat(id) FROM k"));
    EXPECT_EQ("records=4", StoredMark("load"));

    // A table replaced by the run itself keeps its mark its own: the next
    // batch is stored over the mark of the replacement.
    ASSERT_EQ(0u, second->Set("Mark", "records=0"));
    ASSERT_EQ(0u, sqlite_.RDXCreate(second->Private(), 0x0F11, in)) << second->LastError();
    ASSERT_EQ(0u, second->Set("Mark", "records=1"));
    ASSERT_EQ(0u, second->Insert(in, 1, 1, &done)) << second->LastError();
    EXPECT_EQ("records=1", StoredMark("load"));
    // A dropped table makes the mark read as empty; the row still there is
    // what a new run replaces.
    ASSERT_EQ(0u, Execute(*second, "DROP TABLE k"));
    auto fresh = OpenDb({{"Table", "k"}, {"MarkName", "load"}, {"CommitRecords", "0"}});
    EXPECT_EQ("", fresh->Get("Mark"));
    ASSERT_EQ(0u, fresh->Set("Mark", "records=0"));
    ASSERT_EQ(0u, sqlite_.RDXCreate(fresh->Private(), 3, in)) << fresh->LastError();
    EXPECT_EQ("records=0", StoredMark("load"));
}

TEST_F(SqliteResumeTest, OrderByOnTheTableAndOnASelectText) {
    auto db = OpenDb({{"Create", "yes"}, {"Table", "t"}});
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE t (g INTEGER, \"we`ird\" TEXT, n NUMERIC(5,1)); "
                               "INSERT INTO t VALUES (2, 'b', 1.5), (1, 'z', 2.5), (2, 'a', 3.5), "
                               "(1, 'y', 4.5)"));
    ASSERT_EQ(0u, db->Set("SQL", ""));
    EXPECT_EQ((std::vector<std::string>{"1|y|4.5", "1|z|2.5", "2|a|3.5", "2|b|1.5"}),
              ReadOrdered(*db, " g , we`ird "));
    EXPECT_EQ("g:1,we`ird:6,n:4", [&] {
        List out(1);
        EXPECT_EQ(0u, db->Select(out, 1));
        return Layout(out);
    }());
    // A select text is ordered as a whole, a comment on its last line or a
    // semicolon at its end no matter.
    for (const std::string end : {" -- the big ones", ";\n"}) {
        ASSERT_EQ(0u, db->Set("SQL", "SELECT n, g FROM t WHERE n > 2" + end));
        EXPECT_EQ((std::vector<std::string>{"2.5|1", "4.5|1", "3.5|2"}), ReadOrdered(*db, "g,n"));
    }
    // Names are columns, quoted whole: a direction is no part of one.
    for (const std::string odd : {"g,,n", "g,", "g\tx", "g DESC"}) {
        EXPECT_EQ(0u, db->Set("OrderBy", odd));
        List out(1);
        EXPECT_EQ(RDSTATUS_FREETEXT, db->Select(out, 1)) << odd;
        const std::string says = odd == "g DESC" ? "no such column: g DESC" : "OrderBy";
        EXPECT_NE(std::string::npos, db->LastError().find(says)) << db->LastError();
    }
}

} // namespace
} // namespace connectortest
