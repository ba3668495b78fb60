// SPDX-License-Identifier: Apache-2.0
// The resume mark of a copy into MariaDB: stored in the transaction of the
// batch it counts and read at the next connect; a refused batch leaves it
// as it was, a second run that read the same mark cannot write after it,
// and a dropped table makes it count for nothing.
#include "mysql_test_env.h"

#include "connector_resume.h"

namespace connectortest {
namespace {

class MysqlMarkTest : public MysqlTest {
  protected:
    std::unique_ptr<Connection> OpenMarked() {
        return Open({{"Table", "t"}, {"MarkName", "load"}});
    }
    uint32_t InsertIds(Connection &c, const std::vector<std::string> &ids) {
        List list(static_cast<uint32_t>(ids.size()));
        std::vector<std::vector<std::string>> rows;
        for (const std::string &id : ids)
            rows.push_back({id});
        Fill(list, {{"id", RDTYPE_INT}}, rows);
        uint32_t done = 0;
        return c.Insert(list, 1, static_cast<uint32_t>(ids.size()), &done);
    }
};

TEST_F(MysqlMarkTest, StoredWithItsBatchAndReadAtTheNextConnect) {
    Sql("CREATE TABLE t (id INT PRIMARY KEY)");
    auto first = OpenMarked();
    EXPECT_EQ("", first->Get("Mark"));
    ASSERT_EQ(0u, first->Set("Mark", "after=2"));
    ASSERT_EQ(0u, InsertIds(*first, {"1", "2"})) << first->LastError();
    EXPECT_EQ("after=2", OpenMarked()->Get("Mark"));
    // A batch refused for a record keeps neither its rows nor its mark.
    ASSERT_EQ(0u, first->Set("Mark", "after=4"));
    EXPECT_EQ(RDSTATUS_RECORDFAULT, InsertIds(*first, {"3", "1"}));
    EXPECT_EQ("after=2", OpenMarked()->Get("Mark"));
    EXPECT_EQ(std::vector<std::string>{"2"}, Sql("SELECT count(*) FROM t"));
    // The next good batch stores the text set last.
    ASSERT_EQ(0u, InsertIds(*first, {"3", "4"})) << first->LastError();
    EXPECT_EQ("after=4", OpenMarked()->Get("Mark"));
    // Texts differing only in case are different marks.
    ASSERT_EQ(0u, first->Set("Mark", "AFTER=4"));
    ASSERT_EQ(0u, InsertIds(*first, {"5"})) << first->LastError();
    EXPECT_EQ("AFTER=4", OpenMarked()->Get("Mark"));
}

TEST_F(MysqlMarkTest, ASecondRunCannotWriteAfterTheSameMark) {
    Sql("CREATE TABLE t (id INT PRIMARY KEY)");
    auto setUp = OpenMarked();
    ASSERT_EQ(0u, setUp->Set("Mark", "m1"));
    ASSERT_EQ(0u, InsertIds(*setUp, {"1"})) << setUp->LastError();
    auto one = OpenMarked(), two = OpenMarked();
    ASSERT_EQ("m1", one->Get("Mark"));
    ASSERT_EQ("m1", two->Get("Mark"));
    ASSERT_EQ(0u, one->Set("Mark", "m2"));
    ASSERT_EQ(0u, InsertIds(*one, {"2"})) << one->LastError();
    ASSERT_EQ(0u, two->Set("Mark", "m2"));
    EXPECT_EQ(RDSTATUS_FREETEXT, InsertIds(*two, {"3"}));
    EXPECT_NE(std::string::npos, two->LastError().find("load")) << two->LastError();
    EXPECT_EQ(std::vector<std::string>{"1|2"},
              Sql("SELECT group_concat(id ORDER BY id SEPARATOR '|') FROM t"));
    EXPECT_EQ("m2", OpenMarked()->Get("Mark"));
    // The first mark of a name goes in only where none is.
    Sql("DELETE FROM rdx_copy_marks");
    auto fresh = OpenMarked(), late = OpenMarked();
    ASSERT_EQ(0u, fresh->Set("Mark", "n1"));
    ASSERT_EQ(0u, InsertIds(*fresh, {"4"})) << fresh->LastError();
    ASSERT_EQ(0u, late->Set("Mark", "n1"));
    EXPECT_EQ(RDSTATUS_FREETEXT, InsertIds(*late, {"5"}));
}

TEST_F(MysqlMarkTest, SavedAloneAndForgottenWithItsTable) {
    Sql("CREATE TABLE t (id INT PRIMARY KEY)");
    auto c = OpenMarked();
    ASSERT_EQ(0u, c->Set("Mark", "finished"));
    ASSERT_EQ(0u, maria_.RDXAction(c->Private(), rdxc::kActionSaveMark)) << c->LastError();
    EXPECT_EQ(0u, maria_.RDXAction(c->Private(), rdxc::kActionRollback));
    EXPECT_EQ("finished", OpenMarked()->Get("Mark"));
    // Without the table the mark counts for nothing, and a new table's
    // first batch replaces it.
    Sql("DROP TABLE t");
    auto again = OpenMarked();
    EXPECT_EQ("", again->Get("Mark"));
    Sql("CREATE TABLE t (id INT PRIMARY KEY)");
    ASSERT_EQ(0u, again->Set("Mark", "restart"));
    ASSERT_EQ(0u, InsertIds(*again, {"1"})) << again->LastError();
    EXPECT_EQ("restart", OpenMarked()->Get("Mark"));
    // A connection without a name reads and keeps no mark.
    EXPECT_EQ(0u, Open({{"Table", "t"}})->Set("Mark", "ignored"));
    EXPECT_EQ("restart", OpenMarked()->Get("Mark"));
}

} // namespace
} // namespace connectortest
