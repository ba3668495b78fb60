// SPDX-License-Identifier: Apache-2.0
// The SQLite connector against real databases: tables made from field
// lists, typed values both ways, batches, transactions and the catalog.
#include "sqlite_test_env.h"

#include <cstdio>

namespace connectortest {
namespace {

TEST_F(SqliteTest, IdentifiesAsACompleteLinkConnector) {
    ASSERT_NE(nullptr, sqlite_.library) << dlerror();
    EXPECT_EQ(0u, sqlite_.identifyStatus);
    EXPECT_TRUE(sqlite_.Complete());
    EXPECT_EQ(RDX_KIND_LINK, sqlite_.record.kind);
    EXPECT_EQ(0x10002u, sqlite_.Number("Database"));
    EXPECT_EQ(0x10005u, sqlite_.Number("Table"));
}

TEST_F(SqliteTest, ConnectNamesWhatIsMissing) {
    {
        auto c = OpenDb({}, RDSTATUS_FREETEXT);
        EXPECT_NE(std::string::npos, c->LastError().find(Path("test.db") + " cannot be found"))
            << c->LastError();
    }
    WriteFile(Path("test.db"), std::string(4096, 'x'));
    {
        auto c = OpenDb({}, RDSTATUS_FREETEXT);
        EXPECT_NE(std::string::npos, c->LastError().find("not a database")) << c->LastError();
    }
    std::remove(Path("test.db").c_str());
    {
        auto c = OpenDb({{"Create", "yes"}, {"Setup", "PRAGMA journal_mode=WAL"}});
        EXPECT_EQ("wal", Query("PRAGMA journal_mode"));
    }
    auto c = OpenDb({{"Setup", "PRAGMA nonsense(;"}}, RDSTATUS_FREETEXT);
    EXPECT_NE(std::string::npos, c->LastError().find("syntax error")) << c->LastError();
}

// A table made from a field list declares types that read back as the same
// field types; the catalog shows both.
TEST_F(SqliteTest, TablesFromFieldListsAndTheCatalog) {
    auto db = OpenDb({{"Create", "yes"}, {"Table", "orders"}});
    List layout(1);
    Fill(layout,
         {{"id", RDTYPE_INT},
          {"price", RDTYPE_FLOAT},
          {"fee", RDTYPE_CURRENCY},
          {"amount", RDTYPE_NUMERIC},
          {"when", RDTYPE_DATETIME},
          {"name", RDTYPE_TEXT},
          {"image", RDTYPE_BINARY}},
         {});
    ASSERT_EQ(0u, sqlite_.RDXCreate(db->Private(), 3, layout)) << db->LastError();
    EXPECT_EQ(RDSTATUS_FREETEXT, sqlite_.RDXCreate(db->Private(), 3, layout));
    EXPECT_NE(std::string::npos, db->LastError().find("already exists")) << db->LastError();

    List tables(5);
    uint32_t count = 0;
    ASSERT_EQ(0u, sqlite_.RDXCatalog(db->Private(), 3, tables, &count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ((std::vector<std::string>{"orders|table"}), Rows(tables, 1, 1));

    List columns(3); // fewer records than columns: the count still tells all
    ASSERT_EQ(0u, sqlite_.RDXCatalog(db->Private(), 5, columns, &count));
    EXPECT_EQ(7u, count);
    EXPECT_EQ("Table:6,Column:6,Declared:6,FieldType:1,NotNull:1,Key:1", Layout(columns));
    EXPECT_EQ((std::vector<std::string>{"orders|id|INTEGER|1|0|0", "orders|price|REAL|2|0|0",
                                        "orders|fee|MONEY|3|0|0"}),
              Rows(columns, 1, 3));

    List selected(1);
    ASSERT_EQ(0u, db->Select(selected, 1));
    EXPECT_EQ("id:1,price:2,fee:3,amount:4,when:5,name:6,image:7", Layout(selected));

    EXPECT_EQ(RDSTATUS_BADPATTERN, sqlite_.RDXCreate(db->Private(), 4, layout));
    EXPECT_EQ("SQLite connections do not support this object kind", db->LastError());
    ASSERT_EQ(0u, sqlite_.RDXDrop(db->Private(), 3));
    ASSERT_EQ(0u, sqlite_.RDXCatalog(db->Private(), 3, tables, &count));
    EXPECT_EQ(0u, count);
}

// Values of every type written and read back; nulls stay null and an empty
// text stays empty.
TEST_F(SqliteTest, TypedValuesBothWays) {
    auto db = OpenDb({{"Create", "yes"}, {"Table", "t"}});
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE t (i INTEGER, f REAL, c MONEY, n NUMERIC(12,3), "
                               "big DECIMAL TEXT(30,10), d DATETIME, s TEXT, b BLOB)"));
    List in(2);
    Fill(in,
         {{"i", RDTYPE_INT},
          {"f", RDTYPE_FLOAT},
          {"c", RDTYPE_CURRENCY},
          {"n", RDTYPE_NUMERIC},
          {"big", RDTYPE_NUMERIC},
          {"d", RDTYPE_DATETIME},
          {"s", RDTYPE_TEXT},
          {"b", RDTYPE_BINARY}},
         {{"-2147483648", "0.1", "12.5", "-1.25", "12345678901234567890.0123456789", "<null>", "",
           "<null>"},
          {"<null>", "<null>", "<null>", "<null>", "<null>", "<null>", "<null>", "<null>"}});
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(in, 6, 256, &field, nullptr));
    RDDatetimeParts parts{1999, 12, 31, -1, 23, 59, 58, 7, 0, 0};
    RDDatetime when{};
    ASSERT_EQ(0u, RDDatetimeSetParts(&when, &parts, 0));
    ASSERT_EQ(0u, RDFieldSetDatetime(field, 1, &when));
    ASSERT_EQ(0u, RDFieldlistGetField(in, 8, 256, &field, nullptr));
    Stream blob(std::string("\0\xFF\x01", 3), RDKIND_BINARY);
    ASSERT_EQ(0u, RDFieldSetStream(field, 1, &blob));

    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(in, 1, 2, &done)) << db->LastError();
    EXPECT_EQ(2u, done);
    EXPECT_EQ("integer real real real text text text blob",
              Query("SELECT typeof(i)||' '||typeof(f)||' '||typeof(c)||' '||typeof(n)||' '||"
                    "typeof(big)||' '||typeof(d)||' '||typeof(s)||' '||typeof(b) FROM t"));
    EXPECT_EQ("12345678901234567890.0123456789 1999-12-31 23:59:58.07",
              Query("SELECT big||' '||d FROM t"));

    List out(2);
    ASSERT_EQ(0u, db->Set("SQL", "")); // the whole table
    ASSERT_EQ(0u, db->Select(out, 2)) << db->LastError();
    uint32_t fetched = 0;
    EXPECT_EQ(0u, db->Fetch(out, 1, 2, &fetched));
    ASSERT_EQ(2u, fetched);
    for (uint32_t f = 1; f <= 8; ++f) {
        uint32_t a = 0, b = 0;
        int32_t order = 9;
        ASSERT_EQ(0u, RDFieldlistGetField(in, f, 256, &a, nullptr));
        ASSERT_EQ(0u, RDFieldlistGetField(out, f, 256, &b, nullptr));
        ASSERT_EQ(RDFieldGetType(a), RDFieldGetType(b)) << f;
        ASSERT_EQ(0u, RDFieldCompare(a, 1, b, 1, 2, 0, &order)) << f;
        EXPECT_EQ(0, order) << "field " << f << ": " << ValueText(a, 1) << " / " << ValueText(b, 1);
    }

    // A value that SQLite's numbers would round is refused, not rounded.
    List wide(1);
    Fill(wide, {{"n", RDTYPE_NUMERIC}}, {{"1234567890.123456789"}});
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(wide, 1, 1, &done));
    EXPECT_NE(std::string::npos, db->LastError().find("more digits")) << db->LastError();
}

TEST_F(SqliteTest, BatchesEndingAtAndOnePastTheBatchSize) {
    auto db = OpenDb({{"Create", "yes"}});
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE b (n INTEGER, t TEXT)"));
    uint32_t count = 0;
    for (int records : {6, 7}) {
        ASSERT_EQ(0u, Execute(*db, "DELETE FROM b"));
        ASSERT_EQ(0u,
                  Execute(*db,
                          "WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL "
                          "SELECT n + 1 FROM k WHERE n < " +
                              std::to_string(records) + ") INSERT INTO b SELECT n, 'r' || n FROM k",
                          &count));
        EXPECT_EQ(static_cast<uint32_t>(records), count);
        ASSERT_EQ(0u, db->Set("SQL", "SELECT * FROM b ORDER BY n"));
        List list(3);
        ASSERT_EQ(0u, db->Select(list, 3, &count));
        EXPECT_EQ(RDX_COUNT_UNKNOWN, count);
        std::vector<std::string> rows;
        const std::vector<Step> expected =
            records == 6 ? std::vector<Step>{{0, 3}, {0, 3}, {RDX_END_OF_DATA, 0}}
                         : std::vector<Step>{{0, 3}, {0, 3}, {RDX_END_OF_DATA, 1}};
        EXPECT_EQ(expected, FetchAll(*db, list, rows));
        EXPECT_EQ(std::to_string(records) + "|r" + std::to_string(records), rows.back());
    }
    // An expression without a declared type takes the first row's type.
    ASSERT_EQ(0u, db->Set("SQL", "SELECT count(*) AS c, avg(n) AS a, max(t) AS m FROM b"));
    List list(1);
    ASSERT_EQ(0u, db->Select(list, 1));
    EXPECT_EQ("c:1,a:2,m:6", Layout(list));
    uint32_t fetched = 0;
    EXPECT_EQ(0u, db->Fetch(list, 1, 1, &fetched));
    EXPECT_EQ((std::vector<std::string>{"7|4|r7"}), Rows(list, 1, 1));
}

// A value that does not convert to its field fails the fetch naming the
// row and column; the next fetch goes on after that row.
TEST_F(SqliteTest, AValueThatDoesNotConvertFailsItsRow) {
    auto db = OpenDb({{"Create", "yes"}});
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE v (n INTEGER, d DATETIME); INSERT INTO v VALUES "
                               "(1, '2020-01-02'), ('abc', NULL), (1e20, NULL), "
                               "(4, '2020-13-01'), (5, NULL)"));
    ASSERT_EQ(0u, db->Set("SQL", "SELECT * FROM v"));
    List list(10);
    ASSERT_EQ(0u, db->Select(list, 10));
    std::vector<std::string> rows;
    std::vector<std::string> faults;
    for (int i = 0; i < 4; ++i) {
        uint32_t fetched = 0;
        const uint32_t status = db->Fetch(list, 1, 10, &fetched);
        for (const std::string &row : Rows(list, 1, fetched))
            rows.push_back(row);
        if (status == RDX_END_OF_DATA) break;
        EXPECT_EQ(RDSTATUS_RECORDFAULT, status);
        faults.push_back(db->LastError());
    }
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ("1|", rows[0].substr(0, 2));
    EXPECT_EQ("5|<null>", rows[1]);
    ASSERT_EQ(3u, faults.size());
    // Integers beyond 32 bits make the column bigint: 1e20 is beyond 64.
    EXPECT_EQ("row 2, column 1 (n): \"abc\" does not convert to a numeric", faults[0]);
    EXPECT_EQ("row 3, column 1 (n): \"1.0e+20\" has more digits before the point than the "
              "field's 19 (bigint)",
              faults[1]);
    EXPECT_EQ("row 4, column 2 (d): \"2020-13-01\" does not convert to a datetime", faults[2]);
}

// A batch larger than one statement's records goes in whole, each record's
// values in its own row; a record at fault anywhere in it (inside a
// statement of many records or in the rest) is named and rolls the batch
// back.
TEST_F(SqliteTest, LargeBatchesKeepEveryRecordAndNameTheOneAtFault) {
    auto db = OpenDb({{"Create", "yes"}, {"Table", "k"}});
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE k (id INTEGER PRIMARY KEY, name TEXT NOT NULL)"));
    constexpr uint32_t kCount = 100;
    std::vector<std::vector<std::string>> rows;
    for (uint32_t i = 1; i <= kCount; ++i)
        rows.push_back({std::to_string(i), "n" + std::to_string(i)});
    List list(kCount);
    Fill(list, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}}, rows);
    uint32_t id = 0, name = 0, done = 9;
    ASSERT_EQ(0u, RDFieldlistGetField(list, 1, 256, &id, nullptr));
    ASSERT_EQ(0u, RDFieldlistGetField(list, 2, 256, &name, nullptr));
    const int32_t five = 5;
    for (const uint32_t at : {33u, 70u, 99u}) {
        SCOPED_TRACE(at);
        int32_t own = static_cast<int32_t>(at);
        ASSERT_EQ(0u, RDFieldSetInt(id, at, &five));
        EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(list, 1, kCount, &done));
        EXPECT_EQ(0u, done);
        EXPECT_NE(std::string::npos,
                  db->LastError().find("record " + std::to_string(at) + ": UNIQUE constraint"))
            << db->LastError();
        EXPECT_EQ("0", Query("SELECT count(*) FROM k"));
        ASSERT_EQ(0u, RDFieldSetInt(id, at, &own));
    }
    ASSERT_EQ(0u, RDFieldSetNull(name, 64, 1));
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(list, 1, kCount, &done));
    EXPECT_NE(std::string::npos, db->LastError().find("record 64: NOT NULL")) << db->LastError();
    ASSERT_EQ(0u, RDFieldSetNull(name, 64, 0));
    ASSERT_EQ(0u, db->Insert(list, 1, kCount, &done)) << db->LastError();
    EXPECT_EQ(kCount, done);
    EXPECT_EQ("100|5050|0",
              Query("SELECT count(*) || '|' || sum(id) || '|' || sum(name <> 'n' || id) FROM k"));
}

// A constraint declared to roll back takes the whole transaction with it,
// in a statement of many records too: with no earlier inserts held the
// batch is the record's fault, with some held it is the target's, and the
// log counts them; nothing of either stays.
TEST_F(SqliteTest, AConstraintThatRollsBackTakesTheTransaction) {
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held);
        std::remove(Path("k.db").c_str());
        auto db = OpenDb({{"Database", Path("k.db")},
                          {"Create", "yes"},
                          {"Table", "k"},
                          {"CommitRecords", held ? "1000" : "0"},
                          {"CommitSeconds", "0"}});
        ASSERT_EQ(0u, Execute(*db, "CREATE TABLE k (id INTEGER PRIMARY KEY ON CONFLICT ROLLBACK)"));
        List list(120);
        std::vector<std::vector<std::string>> rows;
        for (int i = 1; i <= 120; ++i)
            rows.push_back({std::to_string(i)});
        rows[99] = {"3"}; // record 100, in the third batch's first statement
        Fill(list, {{"id", RDTYPE_INT}}, rows);
        uint32_t done = 9;
        ASSERT_EQ(0u, db->Insert(list, 1, 40, &done)) << db->LastError();
        ASSERT_EQ(0u, db->Insert(list, 41, 40, &done)) << db->LastError();
        const uint32_t status = db->Insert(list, 81, 40, &done);
        EXPECT_EQ(0u, done);
        EXPECT_NE(std::string::npos, db->LastError().find("UNIQUE constraint failed"))
            << db->LastError();
        if (held) {
            EXPECT_NE(RDSTATUS_RECORDFAULT, status);
            EXPECT_NE(std::string::npos, db->LastError().find("40 records held uncommitted"))
                << db->LastError();
            EXPECT_EQ("40", SqliteFirst(Path("k.db"), "SELECT count(*) FROM k"));
        } else {
            EXPECT_EQ(RDSTATUS_RECORDFAULT, status);
            EXPECT_EQ("80", SqliteFirst(Path("k.db"), "SELECT count(*) FROM k"));
        }
    }
}

// A record that breaks a constraint rolls back the batch it is in: nothing
// of that batch is written or reported done, and the next batch goes in.
TEST_F(SqliteTest, AFailingRecordRollsBackItsBatch) {
    auto db = OpenDb({{"Create", "yes"}, {"Table", "k"}});
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE k (id INTEGER PRIMARY KEY, name TEXT NOT NULL)"));
    List list(4);
    Fill(list, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}},
         {{"1", "a"}, {"2", "b"}, {"1", "again"}, {"3", "c"}});
    uint32_t done = 9;
    ASSERT_EQ(0u, db->Insert(list, 1, 2, &done));
    EXPECT_EQ(2u, done);
    struct Case {
        uint32_t first, count;
        std::string fault;
    };
    for (const Case &c : {Case{3, 2, "record 3: UNIQUE constraint failed: k.id; the batch of 2"},
                          Case{4, 1, "record 4: UNIQUE constraint failed"}}) {
        if (c.first == 4) {
            uint32_t field = 0;
            ASSERT_EQ(0u, RDFieldlistGetField(list, 1, 256, &field, nullptr));
            const int32_t two = 2;
            ASSERT_EQ(0u, RDFieldSetInt(field, 4, &two));
        }
        EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(list, c.first, c.count, &done));
        EXPECT_EQ(0u, done);
        EXPECT_NE(std::string::npos, db->LastError().find(c.fault)) << db->LastError();
        EXPECT_EQ("2", Query("SELECT count(*) FROM k"));
    }
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(list, 1, 256, &field, nullptr));
    for (int32_t id : {3, 4}) {
        const uint32_t index = static_cast<uint32_t>(id);
        ASSERT_EQ(0u, RDFieldSetInt(field, index, &id));
    }
    ASSERT_EQ(0u, RDFieldSetNull(field, 3, 0));
    ASSERT_EQ(0u, db->Insert(list, 3, 2, &done)) << db->LastError();
    EXPECT_EQ(2u, done);
    EXPECT_EQ("4", Query("SELECT count(*) FROM k"));
}

TEST_F(SqliteTest, UpdateAndRemoveByKey) {
    auto db = OpenDb({{"Create", "yes"}, {"Table", "u"}});
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE u (id INTEGER PRIMARY KEY, name TEXT NOT NULL); "
                               "INSERT INTO u VALUES (1, 'a'), (2, 'b'), (3, 'c')"));
    List list(3);
    Fill(list, {{"name", RDTYPE_TEXT}, {"ID", RDTYPE_INT}}, {{"x", "1"}, {"y", "3"}, {"z", "9"}});
    uint32_t done = 0;
    ASSERT_EQ(0u, sqlite_.RDXUpdate(db->Private(), list, 1, 3, &done)) << db->LastError();
    EXPECT_EQ(2u, done); // id 9 matches no row
    EXPECT_EQ("x,b,y", Query("SELECT group_concat(name) FROM (SELECT name FROM u ORDER BY id)"));

    // A failing update rolls back the rows updated before it.
    uint32_t nameField = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(list, 1, 256, &nameField, nullptr));
    Stream w("w", 256);
    ASSERT_EQ(0u, RDFieldSetStream(nameField, 1, &w));
    ASSERT_EQ(0u, RDFieldSetNull(nameField, 2, 1));
    EXPECT_EQ(RDSTATUS_RECORDFAULT, sqlite_.RDXUpdate(db->Private(), list, 1, 2, &done));
    EXPECT_EQ(0u, done);
    EXPECT_NE(std::string::npos, db->LastError().find("NOT NULL")) << db->LastError();
    EXPECT_EQ("x,b,y", Query("SELECT group_concat(name) FROM (SELECT name FROM u ORDER BY id)"));

    List keys(2);
    Fill(keys, {{"id", RDTYPE_INT}}, {{"2"}, {"7"}});
    ASSERT_EQ(0u, sqlite_.RDXRemove(db->Private(), keys, 1, 2, &done));
    EXPECT_EQ(1u, done);
    ASSERT_EQ(0u, db->Set("SQL", "DELETE FROM u WHERE id > 2"));
    ASSERT_EQ(0u, sqlite_.RDXRemove(db->Private(), 0, 0, 0, &done));
    EXPECT_EQ(1u, done);
    EXPECT_EQ("1", Query("SELECT group_concat(id) FROM u"));

    // Without a primary key the key fields must be named.
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE nokey (a INTEGER, b TEXT)"));
    ASSERT_EQ(0u, db->Set("Table", "nokey"));
    List ab(1);
    Fill(ab, {{"a", RDTYPE_INT}, {"b", RDTYPE_TEXT}}, {{"1", "q"}});
    EXPECT_EQ(RDSTATUS_FREETEXT, sqlite_.RDXUpdate(db->Private(), ab, 1, 1, &done));
    EXPECT_NE(std::string::npos, db->LastError().find("no primary key")) << db->LastError();
    ASSERT_EQ(0u, db->Set("Keys", "a"));
    EXPECT_EQ(0u, sqlite_.RDXUpdate(db->Private(), ab, 1, 1, &done));
}

} // namespace
} // namespace connectortest
