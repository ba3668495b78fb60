// SPDX-License-Identifier: Apache-2.0
// Inserts in multi-row statements, whole batches or nothing, the refused
// record named; upserts, delete-inserts, updates and removes by key; tables
// made, replaced, emptied and dropped; the catalog.
#include "mysql_test_env.h"

#include "rdx_datetime.h"
#include "rdx_field.h"

namespace connectortest {
namespace {

class MysqlWriteTest : public MysqlTest {
  protected:
    // Records id 1..count with name "nID" and a price ID.5.
    static void FillNumbered(uint32_t list, uint32_t count) {
        std::vector<std::vector<std::string>> rows;
        for (uint32_t r = 1; r <= count; ++r)
            rows.push_back({std::to_string(r), "n" + std::to_string(r), std::to_string(r) + ".5"});
        Fill(list, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"price", RDTYPE_NUMERIC}}, rows);
    }
    std::string Count(const std::string &table) {
        return Sql("SELECT COUNT(*) FROM " + table).at(0);
    }
};

const char *const kItems =
    "CREATE TABLE items (id int PRIMARY KEY, name varchar(20) NOT NULL, price decimal(8,1)) "
    "ENGINE=InnoDB";

TEST_F(MysqlWriteTest, BatchGoesInAcrossStatementsOfBoundedRows) {
    Sql(kItems);
    // 7 rows a statement: 1000 records take 143 statements of one batch.
    auto c = Open({{"Table", "items"}});
    ASSERT_EQ(0u, c->SetInt("BatchRows", 7));
    List list(1000);
    FillNumbered(list, 1000);
    uint32_t done = 0;
    ASSERT_EQ(0u, c->Insert(list, 1, 1000, &done)) << c->LastError();
    EXPECT_EQ(1000u, done);
    EXPECT_EQ((std::vector<std::string>{"1000|500500|501000.0"}),
              Sql("SELECT COUNT(*), SUM(id), SUM(price) FROM items"));
    EXPECT_EQ((std::vector<std::string>{"n999"}), Sql("SELECT name FROM items WHERE id = 999"));
    // A part of a list, from its middle.
    Sql("DELETE FROM items");
    ASSERT_EQ(0u, c->Insert(list, 11, 5, &done)) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"11", "15"}),
              Sql("SELECT MIN(id) FROM items UNION ALL SELECT MAX(id) FROM items"));
}

TEST_F(MysqlWriteTest, RefusedRecordNamedAndItsBatchRolledBack) {
    Sql(kItems);
    Sql("CREATE TABLE small (id int PRIMARY KEY, v tinyint unsigned, s varchar(3))");
    auto c = Open({{"Table", "items"}});
    ASSERT_EQ(0u, c->SetInt("BatchRows", 4));
    List list(10);
    FillNumbered(list, 10);
    uint32_t done = 0;
    ASSERT_EQ(0u, c->Insert(list, 7, 1, &done)) << c->LastError();
    // Record 7's key is taken: the batch of 10 is refused, 7 named.
    EXPECT_EQ(RDSTATUS_RECORDFAULT, c->Insert(list, 1, 10, &done));
    EXPECT_EQ(0u, done);
    EXPECT_NE(std::string::npos, c->LastError().find("record 7")) << c->LastError();
    EXPECT_NE(std::string::npos, c->LastError().find("1062")) << c->LastError();
    EXPECT_NE(std::string::npos, c->LastError().find("rolled back")) << c->LastError();
    EXPECT_EQ("1", Count("items"));
    // The connection goes on: the others go in.
    ASSERT_EQ(0u, c->Insert(list, 1, 6, &done)) << c->LastError();
    EXPECT_EQ("7", Count("items"));
    // Values the columns cannot hold are refused, not cut, and named.
    ExpectInsertFaults(*c,
                       {
                           {"small",
                            {{"id", RDTYPE_INT}, {"v", RDTYPE_INT}},
                            {"1", "256"},
                            {"2", "255"},
                            RDSTATUS_RECORDFAULT,
                            "1264"},
                           {"small",
                            {{"id", RDTYPE_INT}, {"s", RDTYPE_TEXT}},
                            {"3", "abcd"},
                            {"4", "abc"},
                            RDSTATUS_RECORDFAULT,
                            "1406"},
                           {"items",
                            {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}},
                            {"50", "<null>"},
                            {"51", "x"},
                            RDSTATUS_RECORDFAULT,
                            "1048"},
                           {"items",
                            {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"price", RDTYPE_NUMERIC}},
                            {"60", "x", "1.25"},
                            {"61", "y", "1.2"},
                            RDSTATUS_RECORDFAULT,
                            "Rounding"},
                       });
    EXPECT_EQ((std::vector<std::string>{"2|255|<null>", "4|<null>|abc"}),
              Sql("SELECT * FROM small ORDER BY id"));
    // Rounding half-even takes the digits the column does not keep.
    ASSERT_EQ(0u, c->Set("Rounding", "half-even"));
    ASSERT_EQ(0u, c->Set("Table", "items"));
    List round(1);
    Fill(round, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"price", RDTYPE_NUMERIC}},
         {{"70", "z", "2.25"}});
    ASSERT_EQ(0u, c->Insert(round, 1, 1, &done)) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"2.2"}), Sql("SELECT price FROM items WHERE id = 70"));
}

// Statements are cut by max_allowed_packet as well as by BatchRows: large
// records take several statements of one batch, and a record larger than
// the packet is refused by name before anything is sent.
TEST_F(MysqlWriteTest, BatchCutByThePacketSizeAndOversizedRecordRefused) {
    Sql("SET GLOBAL max_allowed_packet = 1048576");
    Sql("CREATE TABLE blobs (id int PRIMARY KEY, data longblob)");
    auto c = Open({{"Table", "blobs"}});
    Sql("SET GLOBAL max_allowed_packet = 16777216");
    const std::string chunk(200000, 'b');
    List list(12);
    std::vector<std::vector<std::string>> rows;
    for (int r = 1; r <= 12; ++r)
        rows.push_back({std::to_string(r), chunk});
    Fill(list, {{"id", RDTYPE_INT}, {"data", RDTYPE_BINARY}}, rows);
    uint32_t done = 0;
    ASSERT_EQ(0u, c->Insert(list, 1, 12, &done)) << c->LastError();
    EXPECT_EQ(12u, done);
    EXPECT_EQ((std::vector<std::string>{"12|2400000"}),
              Sql("SELECT COUNT(*), SUM(LENGTH(data)) FROM blobs"));
    Sql("DELETE FROM blobs");
    uint32_t data = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(list, 2, 256, &data, nullptr));
    const std::string huge(1100000, 'h');
    ASSERT_EQ(0u, RDFieldSetBytes(data, 5, RDKIND_BINARY, huge.data(),
                                  static_cast<uint32_t>(huge.size())));
    EXPECT_EQ(RDSTATUS_RECORDFAULT, c->Insert(list, 1, 12, &done));
    EXPECT_NE(std::string::npos, c->LastError().find("record 5")) << c->LastError();
    EXPECT_NE(std::string::npos, c->LastError().find("max_allowed_packet")) << c->LastError();
    EXPECT_EQ("0", Count("blobs"));
}

// LoadData sends a batch by LOAD DATA LOCAL INFILE from memory: the same
// rows, a refused record named the same way, the batch rolled back.
TEST_F(MysqlWriteTest, LoadDataTakesWholeBatchesAndNamesRefusedRecord) {
    Sql(kItems);
    auto c = Open({{"Table", "items"}, {"LoadData", "yes"}});
    EXPECT_EQ("1", c->Get("LoadData"));
    List list(1000);
    FillNumbered(list, 1000);
    uint32_t done = 0;
    ASSERT_EQ(0u, c->Insert(list, 1, 1000, &done)) << c->LastError();
    EXPECT_EQ(1000u, done);
    EXPECT_EQ((std::vector<std::string>{"1000|500500|501000.0"}),
              Sql("SELECT COUNT(*), SUM(id), SUM(price) FROM items"));
    EXPECT_EQ((std::vector<std::string>{"n999|999.5"}),
              Sql("SELECT name, price FROM items WHERE id = 999"));
    Sql("DELETE FROM items WHERE id > 3");
    EXPECT_EQ(RDSTATUS_RECORDFAULT, c->Insert(list, 1, 10, &done));
    EXPECT_EQ(0u, done);
    EXPECT_NE(std::string::npos, c->LastError().find("record 1: error 1062")) << c->LastError();
    EXPECT_EQ("3", Count("items"));
    // A value the column cannot hold is refused, not cut.
    Sql("CREATE TABLE small (id int PRIMARY KEY, v tinyint unsigned)");
    ASSERT_EQ(0u, c->Set("Table", "small"));
    List wide(3);
    Fill(wide, {{"id", RDTYPE_INT}, {"v", RDTYPE_INT}}, {{"1", "1"}, {"2", "300"}, {"3", "3"}});
    EXPECT_EQ(RDSTATUS_RECORDFAULT, c->Insert(wide, 1, 3, &done));
    EXPECT_NE(std::string::npos, c->LastError().find("record 2: error 1264")) << c->LastError();
    EXPECT_EQ("0", Count("small"));
    ASSERT_EQ(0u, c->Set("Table", "items"));
    // What the server only notes of a row (a time cut from a DATE) the
    // statements write as they would without LoadData.
    Sql("CREATE TABLE days (id int PRIMARY KEY, d date)");
    ASSERT_EQ(0u, c->Set("Table", "days"));
    List day(1);
    Fill(day, {{"id", RDTYPE_INT}, {"d", RDTYPE_DATETIME}}, {{"1", "<null>"}});
    uint32_t at = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(day, 2, 256, &at, nullptr));
    RDDatetimeParts parts{2024, 5, 6, -1, 7, 8, 9, 0, 0, 0};
    RDDatetime when{};
    ASSERT_EQ(0u, RDDatetimeSetParts(&when, &parts, 0));
    ASSERT_EQ(0u, RDFieldSetDatetime(at, 1, &when));
    ASSERT_EQ(0u, c->Insert(day, 1, 1, &done)) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"1|2024-05-06"}), Sql("SELECT * FROM days"));
    ASSERT_EQ(0u, c->Set("Table", "items"));
    // Too many decimals are refused before anything is sent.
    List fine(2);
    Fill(fine, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}, {"price", RDTYPE_NUMERIC}},
         {{"20", "a", "1.5"}, {"21", "b", "1.55"}});
    EXPECT_EQ(RDSTATUS_RECORDFAULT, c->Insert(fine, 1, 2, &done));
    EXPECT_NE(std::string::npos, c->LastError().find("record 2, field price")) << c->LastError();
    EXPECT_EQ("3", Count("items"));
    // Without LoadData the client sends no file, whatever a statement asks.
    auto plain = Open({{"Table", "items"}});
    EXPECT_NE(0u, Execute(*plain, "LOAD DATA LOCAL INFILE '/etc/passwd' INTO TABLE items"));
    auto loading = Open({{"Table", "items"}, {"LoadData", "1"}});
    // With it, the handler gives a statement's file no bytes but a batch's.
    ASSERT_EQ(0u, Execute(*loading, "LOAD DATA LOCAL INFILE '/etc/hostname' INTO TABLE small"))
        << loading->LastError();
    EXPECT_EQ("0", Count("small"));
}

TEST_F(MysqlWriteTest, TargetFaultsRefusedBeforeAnyRecord) {
    Sql(kItems);
    auto c = Open({{"Table", "items"}});
    List list(2);
    Fill(list, {{"id", RDTYPE_INT}}, {{"1"}, {"2"}});
    // name is NOT NULL without a default.
    ExpectInsertFails(*c, list, RDSTATUS_FREETEXT, "NOT NULL columns without a default");
    List other(1);
    Fill(other, {{"id", RDTYPE_INT}, {"nope", RDTYPE_TEXT}}, {{"1", "x"}});
    ExpectInsertFails(*c, other, RDSTATUS_FREETEXT, "field nope has no column");
    ASSERT_EQ(0u, c->Set("Table", "missing"));
    ExpectInsertFails(*c, list, RDSTATUS_FREETEXT, "does not exist");
    EXPECT_EQ("0", Count("items"));
}

TEST_F(MysqlWriteTest, UpsertAndDeleteInsertLeaveSameRowsHoweverOftenRun) {
    Sql("CREATE TABLE kv (k int, j varchar(5), v varchar(20), PRIMARY KEY (k, j))");
    Sql("INSERT INTO kv VALUES (1, 'a', 'old'), (9, 'z', 'kept')");
    auto c = Open({{"Table", "kv"}, {"WriteMode", "upsert"}, {"Key", "k, j"}});
    List list(3);
    Fill(list, {{"k", RDTYPE_INT}, {"j", RDTYPE_TEXT}, {"v", RDTYPE_TEXT}},
         {{"1", "a", "new"}, {"2", "b", "two"}, {"3", "c", "<null>"}});
    const std::vector<std::string> expected = {"1|a|new", "2|b|two", "3|c|<null>", "9|z|kept"};
    ExpectInsertTwice(
        *c, list, 3, [&] { return Sql("SELECT * FROM kv ORDER BY k"); }, expected);
    // A Key that is no unique key of the table is refused.
    ASSERT_EQ(0u, c->Set("Key", "k"));
    uint32_t done = 0;
    EXPECT_EQ(RDSTATUS_FREETEXT, c->Insert(list, 1, 3, &done));
    EXPECT_NE(std::string::npos, c->LastError().find("unique")) << c->LastError();
    // Delete-insert: each key's rows replaced by the batch's.
    auto d = Open({{"Table", "kv"}, {"WriteMode", "delete-insert"}, {"Key", "k,j"}});
    List again(2);
    Fill(again, {{"k", RDTYPE_INT}, {"j", RDTYPE_TEXT}, {"v", RDTYPE_TEXT}},
         {{"1", "a", "third"}, {"4", "d", "four"}});
    ExpectInsertTwice(
        *d, again, 2, [&] { return Sql("SELECT * FROM kv ORDER BY k"); },
        std::vector<std::string>{"1|a|third", "2|b|two", "3|c|<null>", "4|d|four", "9|z|kept"});
}

TEST_F(MysqlWriteTest, UpdateAndRemoveByPrimaryKeyCountMatchedRows) {
    Sql(kItems);
    Sql("INSERT INTO items VALUES (1, 'a', 1.0), (2, 'b', 2.0), (3, 'c', 3.0)");
    auto c = Open({{"Table", "items"}});
    List list(2);
    Fill(list, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}}, {{"2", "B"}, {"5", "none"}});
    uint32_t done = 0;
    ASSERT_EQ(0u, Update(*c, list, 1, 2, &done)) << c->LastError();
    EXPECT_EQ(1u, done);
    ASSERT_EQ(0u, Remove(*c, list, 1, 2, &done)) << c->LastError();
    EXPECT_EQ(1u, done);
    EXPECT_EQ((std::vector<std::string>{"1|a|1.0", "3|c|3.0"}),
              Sql("SELECT * FROM items ORDER BY id"));
    // Without a list, the SQL text says what goes.
    ASSERT_EQ(0u, c->Set("SQL", "DELETE FROM items WHERE id = 2; DELETE FROM items WHERE id > 1"));
    ASSERT_EQ(0u, Remove(*c, 0, 0, 0, &done)) << c->LastError();
    EXPECT_EQ(1u, done);
    EXPECT_EQ((std::vector<std::string>{"1"}), Sql("SELECT id FROM items"));
    // A table without a primary key and no Keys: refused.
    Sql("CREATE TABLE loose (a int, b int)");
    ASSERT_EQ(0u, c->Set("Table", "loose"));
    List keyless(1);
    Fill(keyless, {{"a", RDTYPE_INT}, {"b", RDTYPE_INT}}, {{"1", "2"}});
    EXPECT_EQ(RDSTATUS_FREETEXT, Update(*c, keyless, 1, 1, &done));
}

// Key columns of texts and bytes are made of a length the server keys, and
// upserts by them match their rows.
TEST_F(MysqlWriteTest, TablesMadeWithTextAndBinaryKeysTakeUpserts) {
    auto c = Open({{"Table", "coded"}, {"Key", "code,tag"}, {"WriteMode", "upsert"}});
    List list(2);
    Fill(list, {{"code", RDTYPE_TEXT}, {"tag", RDTYPE_BINARY}, {"n", RDTYPE_INT}},
         {{"\xC3\x85se", "ab", "1"}, {"b", "ab", "2"}});
    ASSERT_EQ(0u, Create(*c, rdxc::kCreateTable, list)) << c->LastError();
    uint32_t done = 0;
    ASSERT_EQ(0u, c->Insert(list, 1, 2, &done)) << c->LastError();
    List again(1);
    Fill(again, {{"code", RDTYPE_TEXT}, {"tag", RDTYPE_BINARY}, {"n", RDTYPE_INT}},
         {{"\xC3\x85se", "ab", "7"}});
    ASSERT_EQ(0u, c->Insert(again, 1, 1, &done)) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"b|6162|2", "\xC3\x85se|6162|7"}),
              Sql("SELECT code, hex(tag), n FROM coded ORDER BY n"));
    EXPECT_EQ((std::vector<std::string>{"code|varchar", "tag|varbinary"}),
              Sql("SELECT COLUMN_NAME, DATA_TYPE FROM information_schema.COLUMNS WHERE "
                  "TABLE_NAME = 'coded' AND COLUMN_KEY = 'PRI' ORDER BY COLUMN_NAME"));
}

TEST_F(MysqlWriteTest, TablesMadeReplacedEmptiedAndDropped) {
    auto c = Open({{"Table", "made"}, {"Key", "id"}});
    List list(2);
    Fill(list,
         {{"id", RDTYPE_INT},
          {"amount", RDTYPE_CURRENCY},
          {"name", RDTYPE_TEXT},
          {"at", RDTYPE_DATETIME},
          {"raw", RDTYPE_BINARY},
          {"ratio", RDTYPE_FLOAT}},
         {{"1", "12.3456", "\xE2\x98\x83 \xF0\x9F\x98\x80 snow", "<null>", "ab", "0.5"},
          {"2", "<null>", "<null>", "<null>", "<null>", "<null>"}});
    // The date-time from its parts (the library reads texts by locale).
    uint32_t at = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(list, 4, 256, &at, nullptr));
    RDDatetimeParts parts{2024, 5, 6, -1, 7, 8, 9, 10, 0, 0};
    RDDatetime when{};
    ASSERT_EQ(0u, RDDatetimeSetParts(&when, &parts, 0));
    ASSERT_EQ(0u, RDFieldSetDatetime(at, 1, &when));
    ASSERT_EQ(0u, Create(*c, rdxc::kCreateTable, list)) << c->LastError();
    EXPECT_NE(0u, Create(*c, rdxc::kCreateTable, list)); // it exists
    ASSERT_EQ(0u, Create(*c, rdxc::kEnsureTable, list)) << c->LastError();
    uint32_t done = 0;
    ASSERT_EQ(0u, c->Insert(list, 1, 2, &done)) << c->LastError();
    // utf8mb4 texts although the database's own set is another.
    EXPECT_EQ((std::vector<std::string>{
                  "1|12.3456|\xE2\x98\x83 \xF0\x9F\x98\x80 snow|2024-05-06 07:08:09.10|6162|0.5",
                  "2|<null>|<null>|<null>|<null>|<null>"}),
              Sql("SELECT id, amount, name, at, hex(raw), ratio FROM made ORDER BY id"));
    EXPECT_EQ((std::vector<std::string>{"id"}),
              Sql("SELECT COLUMN_NAME FROM information_schema.KEY_COLUMN_USAGE WHERE "
                  "TABLE_NAME = 'made' AND CONSTRAINT_NAME = 'PRIMARY'"));
    ASSERT_EQ(0u, Create(*c, rdxc::kEmptyTable, 0)) << c->LastError();
    EXPECT_EQ("0", Count("made"));
    ASSERT_EQ(0u, c->Insert(list, 1, 2, &done)) << c->LastError();
    ASSERT_EQ(0u, Create(*c, rdxc::kReplaceTable, list)) << c->LastError();
    EXPECT_EQ("0", Count("made"));
    ASSERT_EQ(0u, Drop(*c)) << c->LastError();
    EXPECT_NE(0u, Drop(*c));
    EXPECT_NE(std::string::npos, c->LastError().find("1051")) << c->LastError();
}

TEST_F(MysqlWriteTest, CatalogListsDatabasesTablesAndColumns) {
    Sql(kItems);
    Sql("CREATE VIEW cheap AS SELECT id FROM items WHERE price < 1");
    auto c = Open();
    uint32_t count = 0;
    List schemas(10);
    ASSERT_EQ(0u, Catalog(*c, rdxc::kKindSchema, schemas, &count)) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"rdtest"}), Rows(schemas, 1, count));
    List tables(10);
    ASSERT_EQ(0u, Catalog(*c, rdxc::kKindTable, tables, &count)) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"rdtest|cheap|view", "rdtest|items|table"}),
              Rows(tables, 1, count));
    ASSERT_EQ(0u, c->Set("Table", "items"));
    List columns(10);
    ASSERT_EQ(0u, Catalog(*c, rdxc::kKindColumns, columns, &count)) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"rdtest|items|id|int(11)|1|10|0",
                                        "rdtest|items|name|varchar(20)|1|0|0",
                                        "rdtest|items|price|decimal(8,1)|0|8|1"}),
              Rows(columns, 1, count));
    EXPECT_NE(0u, Catalog(*c, 99, columns, &count));
}

} // namespace
} // namespace connectortest
