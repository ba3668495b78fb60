// SPDX-License-Identifier: Apache-2.0
// Keyed writes into SQLite: an upsert updates the records whose Key exists
// and inserts the others, a delete-insert replaces them; both in the
// batch's transaction with the copy's mark, on real database files.
#include "sqlite_test_env.h"

namespace connectortest {
namespace {

constexpr uint32_t kCreateTable = 3;

class UpsertSqliteTest : public SqliteTest {
  protected:
    // The rows of table ordered by its first columns, as "a|b|c" joined by ";".
    std::string Table(const std::string &table, const std::string &columns = "id, name, n") {
        std::string concat;
        for (char c : columns)
            concat += c == ',' ? std::string(" || '|' || ") : std::string(1, c);
        return Query("SELECT group_concat(r, ';') FROM (SELECT " + concat + " AS r FROM " + table +
                     " ORDER BY " + columns + ")");
    }
    // Four records: ids 3 and 4 change rows that exist, 5 and 6 are new.
    void FillBatch(uint32_t list) {
        Fill(list, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"n", RDTYPE_INT}},
             {{"3", "c2", "30"}, {"4", "d2", "40"}, {"5", "e", "50"}, {"6", "f", "60"}});
    }
    std::unique_ptr<Connection> Keyed(const std::string &table, const std::string &mode,
                                      const std::string &key = "id") {
        return OpenDb({{"Table", table}, {"WriteMode", mode}, {"Key", key}});
    }
};

TEST_F(UpsertSqliteTest, UpsertUpdatesExistingKeysAndInsertsNewOnesIdempotently) {
    {
        auto setup = OpenDb({{"Create", "yes"}});
        ASSERT_EQ(0u,
                  Execute(*setup, "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, n INT);"
                                  "INSERT INTO t VALUES (1,'a',1),(2,'b',2),(3,'c',3),(4,'d',4)"));
    }
    auto db = Keyed("t", "upsert");
    EXPECT_EQ("upsert", db->Get("WriteMode"));
    EXPECT_EQ("id", db->Get("Key"));
    List in(4);
    FillBatch(in);
    ExpectInsertTwice(
        *db, in, 4, [&] { return Table("t"); }, "1|a|1;2|b|2;3|c2|30;4|d2|40;5|e|50;6|f|60");
    EXPECT_EQ(RDSTATUS_FREETEXT, db->Set("WriteMode", "merge"));
    EXPECT_NE(std::string::npos, db->LastError().find("delete-insert"));
}

// The key of the unique index may stand in another order; a table of key
// columns only keeps the row that exists and adds the new one.
TEST_F(UpsertSqliteTest, CompositeAndKeyOnlyTables) {
    {
        auto setup = OpenDb({{"Create", "yes"}});
        ASSERT_EQ(0u, Execute(*setup, "CREATE TABLE c (a INT, b TEXT, v INT, UNIQUE (b, a));"
                                      "INSERT INTO c VALUES (1,'x',1),(1,'y',2);"
                                      "CREATE TABLE k (a INT, b TEXT, PRIMARY KEY (a, b));"
                                      "INSERT INTO k VALUES (1,'x')"));
    }
    auto db = Keyed("c", "upsert", "a, b");
    List in(2);
    Fill(in, {{"a", RDTYPE_INT}, {"b", RDTYPE_TEXT}, {"v", RDTYPE_INT}},
         {{"1", "y", "20"}, {"2", "x", "3"}});
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(in, 1, 2, &done)) << db->LastError();
    EXPECT_EQ("1|x|1;1|y|20;2|x|3", Table("c", "a, b, v"));

    ASSERT_EQ(0u, db->Set("Table", "k"));
    List keys(2);
    Fill(keys, {{"a", RDTYPE_INT}, {"b", RDTYPE_TEXT}}, {{"1", "x"}, {"2", "y"}});
    ASSERT_EQ(0u, db->Insert(keys, 1, 2, &done)) << db->LastError();
    ASSERT_EQ(0u, db->Insert(keys, 1, 2, &done)) << db->LastError();
    EXPECT_EQ("1|x;2|y", Table("k", "a, b"));
}

// Neither a plain index, a partial unique one nor a unique index on more
// columns than the key lets an upsert find its rows: the table is refused
// as the target's fault, with what to do, before anything is written.
TEST_F(UpsertSqliteTest, TableWithoutUniqueKeyIsRefusedBeforeWriting) {
    {
        auto setup = OpenDb({{"Create", "yes"}});
        ASSERT_EQ(0u, Execute(*setup, "CREATE TABLE t (id INT, name TEXT, n INT);"
                                      "CREATE INDEX t_id ON t (id);"
                                      "CREATE UNIQUE INDEX t_part ON t (id) WHERE n > 0;"
                                      "CREATE UNIQUE INDEX t_wide ON t (id, name);"
                                      "INSERT INTO t VALUES (3,'c',3)"));
    }
    auto db = Keyed("t", "upsert");
    List in(4);
    FillBatch(in);
    uint32_t done = 9;
    EXPECT_EQ(RDSTATUS_FREETEXT, db->Insert(in, 1, 4, &done));
    EXPECT_EQ(0u, done);
    const std::string error = db->LastError();
    for (const char *says : {"table t", "(id)", "create a unique index", "\"delete-insert\""})
        EXPECT_NE(std::string::npos, error.find(says)) << says << " in " << error;
    EXPECT_EQ("3|c|3", Table("t"));

    // Without Key there is nothing to upsert by.
    ASSERT_EQ(0u, db->Set("Key", ""));
    EXPECT_EQ(RDSTATUS_FREETEXT, db->Insert(in, 1, 4, &done));
    EXPECT_NE(std::string::npos, db->LastError().find("property Key"));
}

// A null key and a row the table refuses are faults of one record: the
// batch is rolled back, and written again record by record only the bad
// one fails, named.
TEST_F(UpsertSqliteTest, RefusedRecordsAreFoundOneByOne) {
    {
        auto setup = OpenDb({{"Create", "yes"}});
        ASSERT_EQ(0u, Execute(*setup, "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, "
                                      "n INT CHECK (n >= 0));"
                                      "INSERT INTO t VALUES (1,'a',1)"));
    }
    auto db = Keyed("t", "upsert");
    List in(3);
    Fill(in, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"n", RDTYPE_INT}},
         {{"1", "a2", "10"}, {"<null>", "x", "2"}, {"3", "c", "-1"}});
    uint32_t done = 9;
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(in, 1, 3, &done));
    EXPECT_EQ(0u, done);
    EXPECT_NE(std::string::npos, db->LastError().find("record 2: the key column id is null"))
        << db->LastError();
    EXPECT_EQ("1|a|1", Table("t"));

    std::vector<uint32_t> statuses;
    for (uint32_t r = 1; r <= 3; ++r)
        statuses.push_back(db->Insert(in, r, 1, &done));
    EXPECT_EQ((std::vector<uint32_t>{0, RDSTATUS_RECORDFAULT, RDSTATUS_RECORDFAULT}), statuses);
    EXPECT_NE(std::string::npos, db->LastError().find("record 3")) << db->LastError();
    EXPECT_EQ("1|a2|10", Table("t"));
}

// A table made while Key is set gets it as its primary key, and upserts
// into it straight away.
TEST_F(UpsertSqliteTest, TableMadeWithKeyGetsItsPrimaryKey) {
    auto db = OpenDb(
        {{"Create", "yes"}, {"Table", "made"}, {"WriteMode", "upsert"}, {"Key", "name, id"}});
    List in(4);
    FillBatch(in);
    ASSERT_EQ(0u, sqlite_.RDXCreate(db->Private(), kCreateTable, in)) << db->LastError();
    EXPECT_EQ("id,name", Query("SELECT group_concat(name) FROM (SELECT name FROM "
                               "pragma_table_info('made') WHERE pk > 0 ORDER BY name)"));
    EXPECT_EQ("name", Query("SELECT name FROM pragma_table_info('made') WHERE pk = 1"));
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(in, 1, 4, &done)) << db->LastError();
    ASSERT_EQ(0u, db->Insert(in, 1, 4, &done)) << db->LastError();
    EXPECT_EQ("4", Query("SELECT count(*) FROM made"));
    // A Key that names no field makes no table.
    ASSERT_EQ(0u, db->Set("Table", "other"));
    ASSERT_EQ(0u, db->Set("Key", "code"));
    EXPECT_EQ(RDSTATUS_FREETEXT, sqlite_.RDXCreate(db->Private(), kCreateTable, in));
    EXPECT_EQ("0", Query("SELECT count(*) FROM sqlite_schema WHERE name = 'other'"));
}

// A delete-insert needs no unique index: every row of a key in the batch
// goes, then the batch goes in.
TEST_F(UpsertSqliteTest, DeleteInsertReplacesEveryRowOfTheBatchKeys) {
    {
        auto setup = OpenDb({{"Create", "yes"}});
        ASSERT_EQ(0u, Execute(*setup, "CREATE TABLE t (id INT, name TEXT, n INT);"
                                      "INSERT INTO t VALUES (1,'a',1),(3,'c',3),(3,'c',33)"));
    }
    auto db = Keyed("t", "delete-insert");
    List in(4);
    FillBatch(in);
    ExpectInsertTwice(
        *db, in, 4, [&] { return Table("t"); }, "1|a|1;3|c2|30;4|d2|40;5|e|50;6|f|60");
    // Records of one key in a batch all go in.
    List twice(2);
    Fill(twice, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"n", RDTYPE_INT}},
         {{"1", "a2", "1"}, {"1", "a3", "2"}});
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(twice, 1, 2, &done)) << db->LastError();
    EXPECT_EQ("1|a2|1;1|a3|2", Query("SELECT group_concat(r, ';') FROM (SELECT id || '|' || name "
                                     "|| '|' || n AS r FROM t WHERE id = 1 ORDER BY n)"));
}

// The mark commits with the upserted batch; a batch that fails leaves
// neither its rows nor its mark.
TEST_F(UpsertSqliteTest, MarkCommitsWithTheBatchOrNotAtAll) {
    {
        auto setup = OpenDb({{"Create", "yes"}});
        ASSERT_EQ(0u, Execute(*setup, "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, "
                                      "n INT CHECK (n >= 0))"));
    }
    auto db = OpenDb({{"Table", "t"},
                      {"WriteMode", "upsert"},
                      {"Key", "id"},
                      {"MarkName", "m"},
                      {"CommitRecords", "0"}});
    List in(4);
    FillBatch(in);
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Set("Mark", "records=2"));
    ASSERT_EQ(0u, db->Insert(in, 1, 2, &done)) << db->LastError();
    EXPECT_EQ("records=2", Query("SELECT mark FROM rdx_copy_marks WHERE name = 'm'"));

    ASSERT_EQ(0u, Execute(*db, "DELETE FROM t; INSERT INTO t VALUES (3,'c',3)"));
    List bad(2);
    Fill(bad, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"n", RDTYPE_INT}},
         {{"3", "c3", "7"}, {"9", "z", "-9"}});
    ASSERT_EQ(0u, db->Set("Mark", "records=4"));
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(bad, 1, 2, &done));
    EXPECT_EQ("3|c|3", Table("t"));
    EXPECT_EQ("records=2", Query("SELECT mark FROM rdx_copy_marks WHERE name = 'm'"));
}

} // namespace
} // namespace connectortest
