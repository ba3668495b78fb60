// SPDX-License-Identifier: Apache-2.0
// Keyed writes through ODBC: a delete-insert deletes the batch's keys and
// inserts the batch in one transaction, on SQLite and PostgreSQL behind
// their drivers; an upsert is refused at the first write.
#include "odbc_test_env.h"
#include "pg_test_env.h"

namespace connectortest {
namespace {

// Four records: ids 3 and 4 replace rows that exist, 5 and 6 are new.
void FillBatch(uint32_t list) {
    Fill(list, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"n", RDTYPE_INT}},
         {{"3", "c2", "30"}, {"4", "d2", "40"}, {"5", "e", "50"}, {"6", "f", "60"}});
}

class UpsertOdbcTest : public OdbcTest {
  protected:
    std::string Table(const std::string &table) {
        return Query("SELECT group_concat(r, ';') FROM (SELECT id || '|' || name || '|' || n AS r "
                     "FROM " +
                     table + " ORDER BY id, n)");
    }
    std::unique_ptr<Connection> Keyed(const std::string &mode, const std::string &key = "id") {
        auto db = Open({{"Table", "t"}, {"WriteMode", mode}, {"Key", key}});
        EXPECT_EQ(0u, Execute(*db, "CREATE TABLE IF NOT EXISTS t (id INT, name TEXT, "
                                   "n INT CHECK (n >= 0))"));
        return db;
    }
};

TEST_F(UpsertOdbcTest, DeleteInsertReplacesTheBatchKeysIdempotently) {
    auto db = Keyed("delete-insert", "id, name");
    ASSERT_EQ(0u, Execute(*db, "INSERT INTO t VALUES (1,'a',1),(3,'c2',3),(3,'c2',33),(4,'d',4)"));
    List in(4);
    FillBatch(in);
    // (4, 'd') is another key than (4, 'd2') and stays.
    ExpectInsertTwice(
        *db, in, 4, [&] { return Table("t"); }, "1|a|1;3|c2|30;4|d|4;4|d2|40;5|e|50;6|f|60");
}

// A record the table refuses rolls back the batch's deletes with it; a
// null key is a record's fault before anything runs; written one by one,
// the good records go in.
TEST_F(UpsertOdbcTest, RefusedBatchKeepsTheRowsItsKeysHad) {
    auto db = Keyed("delete-insert");
    ASSERT_EQ(0u, Execute(*db, "INSERT INTO t VALUES (3,'c',3)"));
    List in(3);
    Fill(in, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"n", RDTYPE_INT}},
         {{"3", "c2", "30"}, {"7", "g", "-7"}, {"<null>", "x", "1"}});
    uint32_t done = 9;
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(in, 1, 3, &done));
    EXPECT_NE(std::string::npos, db->LastError().find("record 3: the key column id is null"))
        << db->LastError();
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(in, 1, 2, &done)) << db->LastError();
    EXPECT_EQ(0u, done);
    EXPECT_EQ("3|c|3", Table("t"));
    std::vector<uint32_t> statuses;
    for (uint32_t r = 1; r <= 3; ++r)
        statuses.push_back(db->Insert(in, r, 1, &done));
    EXPECT_EQ((std::vector<uint32_t>{0, RDSTATUS_RECORDFAULT, RDSTATUS_RECORDFAULT}), statuses);
    EXPECT_EQ("3|c2|30", Table("t"));
}

TEST_F(UpsertOdbcTest, UpsertIsRefusedAtTheFirstWrite) {
    auto db = Keyed("upsert");
    ASSERT_EQ(0u, Execute(*db, "INSERT INTO t VALUES (3,'c',3)"));
    List in(4);
    FillBatch(in);
    uint32_t done = 9;
    EXPECT_EQ(RDSTATUS_FREETEXT, db->Insert(in, 1, 4, &done));
    EXPECT_EQ(0u, done);
    EXPECT_NE(std::string::npos, db->LastError().find("the ODBC link cannot upsert"));
    EXPECT_NE(std::string::npos, db->LastError().find("use Mode \"delete-insert\""));
    EXPECT_EQ("3|c|3", Table("t"));
}

class UpsertOdbcPgTest : public PgTest {
  protected:
    void SetUp() override {
        PgTest::SetUp();
        if (IsSkipped()) return;
        if (!std::filesystem::exists(OdbcFolder::kPgDriver))
            GTEST_SKIP() << "no PostgreSQL ODBC driver: " << OdbcFolder::kPgDriver;
        OdbcFolder::Get(); // the driver's odbcinst.ini
    }
    Plugin odbc_{RDTEST_RDODBC_PATH};
};

TEST_F(UpsertOdbcPgTest, DeleteInsertIntoPostgreSql) {
    Sql("CREATE TABLE t (id int, name text, n int);"
        "INSERT INTO t VALUES (1,'a',1),(3,'c',3),(3,'c',33)");
    Connection db(odbc_);
    // A connection string: the driver manager keeps the data sources it
    // read first, of a cluster an earlier suite may have stopped.
    ASSERT_EQ(0u, db.Set("DataSource", "Driver=PostgreSQL;Servername=" + PgCluster::Socket() +
                                           ";Port=" + PgCluster::Port() +
                                           ";Database=postgres;Username=postgres"));
    for (const auto &[property, value] : std::vector<std::pair<std::string, std::string>>{
             {"Table", "t"}, {"WriteMode", "delete-insert"}, {"Key", "id"}})
        ASSERT_EQ(0u, db.Set(property, value));
    ASSERT_EQ(0u, db.Connect()) << db.LastError();
    List in(4);
    FillBatch(in);
    for (int pass = 0; pass < 2; ++pass) {
        uint32_t done = 0;
        ASSERT_EQ(0u, db.Insert(in, 1, 4, &done)) << db.LastError();
        EXPECT_EQ((std::vector<std::string>{"1|a|1", "3|c2|30", "4|d2|40", "5|e|50", "6|f|60"}),
                  Sql("SELECT id, name, n FROM t ORDER BY id, n"));
    }
}

} // namespace
} // namespace connectortest
