// SPDX-License-Identifier: Apache-2.0
// A copy's target table replaced or emptied through RDXCreate on each SQL
// connector: the change and the copy's mark commit together, and a change
// that fails half-way (the new table cannot be made after the old one was
// dropped) leaves the old table and its rows as they were.
#include "odbc_test_env.h"
#include "pg_test_env.h"
#include "sqlite_test_env.h"

#include "connector_actions.h"

namespace connectortest {
namespace {

// Two fields of one name: the database refuses the new table.
void TwinFields(uint32_t list) {
    Fill(list, {{"id", RDTYPE_INT}, {"id", RDTYPE_TEXT}}, {});
}
void GoodFields(uint32_t list) {
    Fill(list, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}}, {});
}

TEST_F(SqliteTest, ReplaceCommitsWithTheMarkOrLeavesTheOldTable) {
    {
        auto db = OpenDb({{"Create", "yes"}, {"Table", "orders"}});
        ASSERT_EQ(0u, Execute(*db, "CREATE TABLE orders (id int, note text); INSERT INTO orders "
                                   "VALUES (7, 'old'); CREATE INDEX orders_note ON orders (note)"));
        List twins(1);
        TwinFields(twins);
        EXPECT_NE(0u, sqlite_.RDXCreate(db->Private(), rdxc::kReplaceTable, twins));
        EXPECT_EQ("7|old", Query("SELECT id || '|' || note FROM orders"));
        EXPECT_EQ("1", Query("SELECT count(*) FROM sqlite_master WHERE name = 'orders_note'"));
    }
    auto db = OpenDb({{"Table", "orders"}, {"MarkName", "load"}});
    ASSERT_EQ(0u, db->Set("Mark", "start"));
    List good(1);
    GoodFields(good);
    ASSERT_EQ(0u, sqlite_.RDXCreate(db->Private(), rdxc::kReplaceTable, good)) << db->LastError();
    EXPECT_EQ("0", Query("SELECT count(*) FROM orders"));
    EXPECT_EQ("name", Query("SELECT name FROM pragma_table_info('orders') WHERE cid = 1"));
    EXPECT_EQ("start", Query("SELECT mark FROM rdx_copy_marks WHERE name = 'load'"));
}

TEST_F(PgTest, ReplaceCommitsWithTheMarkOrLeavesTheOldTable) {
    Sql("CREATE TABLE orders (id int, note text); INSERT INTO orders VALUES (7, 'old')");
    {
        auto db = OpenPg({{"Table", "orders"}});
        List twins(1);
        TwinFields(twins);
        EXPECT_NE(0u, pg_.RDXCreate(db->Private(), rdxc::kReplaceTable, twins));
        EXPECT_EQ((std::vector<std::string>{"7|old"}), Sql("SELECT id, note FROM orders"));
        // The connection is usable after the rolled-back change.
        ASSERT_EQ(0u, pg_.RDXCreate(db->Private(), rdxc::kEmptyTable, twins)) << db->LastError();
        EXPECT_EQ((std::vector<std::string>{"0"}), Sql("SELECT count(*) FROM orders"));
    }
    auto db = OpenPg({{"Table", "orders"}, {"MarkName", "load"}});
    ASSERT_EQ(0u, db->Set("Mark", "start"));
    List good(1);
    GoodFields(good);
    ASSERT_EQ(0u, pg_.RDXCreate(db->Private(), rdxc::kReplaceTable, good)) << db->LastError();
    EXPECT_EQ((std::vector<std::string>{"id", "name"}),
              Sql("SELECT column_name FROM information_schema.columns WHERE table_name = "
                  "'orders' ORDER BY ordinal_position"));
    EXPECT_EQ((std::vector<std::string>{"start"}),
              Sql("SELECT mark FROM rdx_copy_marks WHERE name = 'load'"));
}

TEST_F(OdbcTest, ReplaceLeavesTheOldTableWhenTheNewOneCannotBeMade) {
    auto db = Open({{"Table", "orders"}});
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE orders (id int, note text)"));
    ASSERT_EQ(0u, Execute(*db, "INSERT INTO orders VALUES (7, 'old')"));
    List twins(1);
    TwinFields(twins);
    EXPECT_NE(0u, odbc_.RDXCreate(db->Private(), rdxc::kReplaceTable, twins));
    EXPECT_EQ("7|old", Query("SELECT id || '|' || note FROM orders"));
    List good(1);
    GoodFields(good);
    ASSERT_EQ(0u, odbc_.RDXCreate(db->Private(), rdxc::kReplaceTable, good)) << db->LastError();
    EXPECT_EQ("0", Query("SELECT count(*) FROM orders"));
    EXPECT_EQ("name", Query("SELECT name FROM pragma_table_info('orders') WHERE cid = 1"));
}

} // namespace
} // namespace connectortest
