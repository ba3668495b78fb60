// SPDX-License-Identifier: Apache-2.0
// Keyed writes into PostgreSQL: the records COPYed into a stage table and
// merged into the table (upsert or delete-insert) in the batch's
// transaction with the copy's mark, or in the connection's one.
#include "pg_test_env.h"

namespace connectortest {
namespace {

constexpr uint32_t kCreateTable = 3, kRollback = 0x524F4C4C;

class UpsertPgTest : public PgTest {
  protected:
    // The rows of table ordered by columns, each as "a|b|c".
    std::vector<std::string> Table(const std::string &table,
                                   const std::string &columns = "id, name, n") {
        return Sql("SELECT " + columns + " FROM " + table + " ORDER BY " + columns);
    }
    // Four records: ids 3 and 4 change rows that exist, 5 and 6 are new.
    void FillBatch(uint32_t list) {
        Fill(list, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"n", RDTYPE_INT}},
             {{"3", "c2", "30"}, {"4", "d2", "40"}, {"5", "e", "50"}, {"6", "f", "60"}});
    }
    std::unique_ptr<Connection> Keyed(const std::string &table, const std::string &mode,
                                      const std::string &key = "id",
                                      const std::string &transaction = "batch") {
        return OpenPg(
            {{"Table", table}, {"WriteMode", mode}, {"Key", key}, {"Transaction", transaction}});
    }
    const std::vector<std::string> kExpected{"1|a|1",   "2|b|2",  "3|c2|30",
                                             "4|d2|40", "5|e|50", "6|f|60"};
};

TEST_F(UpsertPgTest, UpsertUpdatesExistingKeysAndInsertsNewOnesIdempotently) {
    for (const char *transaction : {"batch", "connection"}) {
        SCOPED_TRACE(transaction);
        Sql("DROP TABLE IF EXISTS t; CREATE TABLE t (id int PRIMARY KEY, name text, n int);"
            "INSERT INTO t VALUES (1,'a',1),(2,'b',2),(3,'c',3),(4,'d',4)");
        List in(4);
        FillBatch(in);
        for (int pass = 0; pass < 2; ++pass) {
            auto db = Keyed("t", "upsert", "id", transaction);
            uint32_t done = 0;
            // Two batches, the second repeating one key of the first.
            ASSERT_EQ(0u, db->Insert(in, 1, 3, &done)) << db->LastError();
            ASSERT_EQ(0u, db->Insert(in, 3, 2, &done)) << db->LastError();
            EXPECT_EQ(2u, done);
            EXPECT_EQ(0u, db->Disconnect()) << db->LastError();
            EXPECT_EQ(kExpected, Table("t")) << "pass " << pass;
        }
    }
}

// With one COPY for the connection, a change of WriteMode ends the plain
// COPY as it was (committed, not merged) before the upsert's begins.
TEST_F(UpsertPgTest, ModeChangedWithinAConnectionCopy) {
    Sql("CREATE TABLE t (id int PRIMARY KEY, name text, n int)");
    auto db = OpenPg({{"Table", "t"}, {"Transaction", "connection"}});
    List in(4);
    FillBatch(in);
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(in, 1, 2, &done)) << db->LastError();
    ASSERT_EQ(0u, db->Set("WriteMode", "upsert"));
    ASSERT_EQ(0u, db->Set("Key", "id"));
    ASSERT_EQ(0u, db->Insert(in, 1, 4, &done)) << db->LastError();
    EXPECT_EQ(0u, db->Disconnect()) << db->LastError();
    EXPECT_EQ((std::vector<std::string>{"3|c2|30", "4|d2|40", "5|e|50", "6|f|60"}), Table("t"));
}

// Of records of one key in a batch the last counts; composite keys match a
// unique index in any order; a table of key columns only adds new keys.
TEST_F(UpsertPgTest, CompositeKeyOnlyAndRepeatedKeys) {
    Sql("CREATE TABLE c (a int, b text, v int, UNIQUE (b, a));"
        "INSERT INTO c VALUES (1,'x',1),(1,'y',2);"
        "CREATE TABLE k (a int, b text, PRIMARY KEY (a, b)); INSERT INTO k VALUES (1,'x')");
    auto db = Keyed("c", "upsert", "a, b");
    List in(3);
    Fill(in, {{"a", RDTYPE_INT}, {"b", RDTYPE_TEXT}, {"v", RDTYPE_INT}},
         {{"1", "y", "20"}, {"2", "x", "3"}, {"1", "y", "21"}});
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(in, 1, 3, &done)) << db->LastError();
    EXPECT_EQ((std::vector<std::string>{"1|x|1", "1|y|21", "2|x|3"}), Table("c", "a, b, v"));

    ASSERT_EQ(0u, db->Set("Table", "k"));
    List keys(2);
    Fill(keys, {{"a", RDTYPE_INT}, {"b", RDTYPE_TEXT}}, {{"1", "x"}, {"2", "y"}});
    ASSERT_EQ(0u, db->Insert(keys, 1, 2, &done)) << db->LastError();
    ASSERT_EQ(0u, db->Insert(keys, 1, 2, &done)) << db->LastError();
    EXPECT_EQ((std::vector<std::string>{"1|x", "2|y"}), Table("k", "a, b"));
}

// Neither a plain, partial, expression or deferred unique index nor one on
// more columns lets an upsert find its rows: refused before anything is
// written, as the target's fault, with what to do. The table's name is one
// identifier, quoted.
TEST_F(UpsertPgTest, TableWithoutUniqueKeyIsRefusedBeforeWriting) {
    Sql("CREATE TABLE \"Odd t\" (id int, name text, n int);"
        "CREATE INDEX ON \"Odd t\" (id); CREATE UNIQUE INDEX ON \"Odd t\" (id) WHERE n > 0;"
        "CREATE UNIQUE INDEX ON \"Odd t\" ((id + 0));"
        "CREATE UNIQUE INDEX ON \"Odd t\" (id, name);"
        "ALTER TABLE \"Odd t\" ADD UNIQUE (n) DEFERRABLE; INSERT INTO \"Odd t\" VALUES (3,'c',3)");
    for (const std::string key : {"id", "n"}) {
        auto db = Keyed("Odd t", "upsert", key);
        List in(4);
        FillBatch(in);
        uint32_t done = 9;
        EXPECT_EQ(RDSTATUS_FREETEXT, db->Insert(in, 1, 4, &done));
        EXPECT_EQ(0u, done);
        const std::string error = db->LastError();
        for (const std::string &says : std::vector<std::string>{
                 "table Odd t", "(" + key + ")", "create a unique index", "\"delete-insert\""})
            EXPECT_NE(std::string::npos, error.find(says)) << says << " in " << error;
    }
    EXPECT_EQ((std::vector<std::string>{"3|c|3"}), Table("\"Odd t\""));
}

// A null key, a value the table refuses in the COPY and a row its check
// refuses in the merge are each one record's fault: the batch is rolled
// back, and written again record by record only the bad ones fail, named.
TEST_F(UpsertPgTest, RefusedRecordsAreFoundOneByOne) {
    Sql("CREATE TABLE t (id int PRIMARY KEY, name varchar(3), n int CHECK (n >= 0));"
        "INSERT INTO t VALUES (1,'a',1)");
    auto db = Keyed("t", "upsert");
    List in(4);
    Fill(in, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"n", RDTYPE_INT}},
         {{"1", "a2", "10"}, {"<null>", "x", "2"}, {"3", "c", "-1"}, {"4", "long", "4"}});
    uint32_t done = 9;
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(in, 1, 4, &done));
    EXPECT_EQ(0u, done);
    EXPECT_NE(std::string::npos, db->LastError().find("record 2: the key column id is null"))
        << db->LastError();
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(in, 3, 2, &done)) << db->LastError();
    EXPECT_EQ((std::vector<std::string>{"1|a|1"}), Table("t"));

    std::vector<uint32_t> statuses;
    for (uint32_t r = 1; r <= 4; ++r)
        statuses.push_back(db->Insert(in, r, 1, &done));
    EXPECT_EQ((std::vector<uint32_t>{0, RDSTATUS_RECORDFAULT, RDSTATUS_RECORDFAULT,
                                     RDSTATUS_RECORDFAULT}),
              statuses);
    EXPECT_EQ((std::vector<std::string>{"1|a2|10"}), Table("t"));
}

// A table made while Key is set gets it as its primary key and takes
// upserts at once.
TEST_F(UpsertPgTest, TableMadeWithKeyGetsItsPrimaryKey) {
    auto db = Keyed("made", "upsert", "name, id");
    List in(4);
    FillBatch(in);
    ASSERT_EQ(0u, pg_.RDXCreate(db->Private(), kCreateTable, in)) << db->LastError();
    EXPECT_EQ((std::vector<std::string>{"name", "id"}),
              Sql("SELECT a.attname FROM pg_index i, unnest(i.indkey) WITH ORDINALITY k(n, o), "
                  "pg_attribute a WHERE i.indrelid = 'made'::regclass AND i.indisprimary AND "
                  "a.attrelid = i.indrelid AND a.attnum = k.n ORDER BY k.o"));
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(in, 1, 4, &done)) << db->LastError();
    ASSERT_EQ(0u, db->Insert(in, 1, 4, &done)) << db->LastError();
    EXPECT_EQ((std::vector<std::string>{"4"}), Sql("SELECT count(*) FROM made"));
}

// A delete-insert needs no unique index: every row of a key in the batch
// goes, then every record of the batch goes in.
TEST_F(UpsertPgTest, DeleteInsertReplacesEveryRowOfTheBatchKeys) {
    Sql("CREATE TABLE t (id int, name text, n int);"
        "INSERT INTO t VALUES (1,'a',1),(3,'c',3),(3,'c',33)");
    for (const char *transaction : {"batch", "connection"}) {
        auto db = Keyed("t", "delete-insert", "id", transaction);
        List in(4);
        FillBatch(in);
        uint32_t done = 0;
        ASSERT_EQ(0u, db->Insert(in, 1, 4, &done)) << db->LastError();
        EXPECT_EQ(0u, db->Disconnect()) << db->LastError();
        EXPECT_EQ((std::vector<std::string>{"1|a|1", "3|c2|30", "4|d2|40", "5|e|50", "6|f|60"}),
                  Table("t"))
            << transaction;
    }
    auto db = Keyed("t", "delete-insert");
    List twice(2);
    Fill(twice, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"n", RDTYPE_INT}},
         {{"1", "a2", "1"}, {"1", "a3", "2"}});
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(twice, 1, 2, &done)) << db->LastError();
    EXPECT_EQ((std::vector<std::string>{"1|a2|1", "1|a3|2"}),
              Sql("SELECT id, name, n FROM t WHERE id = 1 ORDER BY n"));
}

// The mark commits with the upserted batch; a batch that fails leaves
// neither its rows nor its mark. With one transaction for the connection,
// a rollback leaves nothing of it.
TEST_F(UpsertPgTest, MarkCommitsWithTheBatchOrNotAtAll) {
    Sql("CREATE TABLE t (id int PRIMARY KEY, name text, n int CHECK (n >= 0))");
    auto db = OpenPg({{"Table", "t"}, {"WriteMode", "upsert"}, {"Key", "id"}, {"MarkName", "m"}});
    List in(4);
    FillBatch(in);
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Set("Mark", "records=2"));
    ASSERT_EQ(0u, db->Insert(in, 1, 2, &done)) << db->LastError();
    EXPECT_EQ((std::vector<std::string>{"records=2"}),
              Sql("SELECT mark FROM rdx_copy_marks WHERE name = 'm'"));

    List bad(2);
    Fill(bad, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"n", RDTYPE_INT}},
         {{"3", "c3", "7"}, {"9", "z", "-9"}});
    ASSERT_EQ(0u, db->Set("Mark", "records=4"));
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(bad, 1, 2, &done));
    EXPECT_EQ((std::vector<std::string>{"3|c2|30", "4|d2|40"}), Table("t"));
    EXPECT_EQ((std::vector<std::string>{"records=2"}),
              Sql("SELECT mark FROM rdx_copy_marks WHERE name = 'm'"));
    db.reset();

    auto whole = OpenPg({{"Table", "t"},
                         {"WriteMode", "upsert"},
                         {"Key", "id"},
                         {"MarkName", "m"},
                         {"Transaction", "connection"}});
    ASSERT_EQ(0u, whole->Set("Mark", "records=9"));
    ASSERT_EQ(0u, whole->Insert(in, 1, 4, &done)) << whole->LastError();
    EXPECT_EQ(0u, pg_.RDXAction(whole->Private(), kRollback));
    EXPECT_EQ(0u, whole->Disconnect()) << whole->LastError();
    EXPECT_EQ((std::vector<std::string>{"3|c2|30", "4|d2|40"}), Table("t"));
    EXPECT_EQ((std::vector<std::string>{"records=2"}),
              Sql("SELECT mark FROM rdx_copy_marks WHERE name = 'm'"));
}

} // namespace
} // namespace connectortest
