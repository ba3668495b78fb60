// SPDX-License-Identifier: Apache-2.0
// The ODBC connector against the SQLite ODBC driver: connection by data-
// source name and connection string, typed values both ways, fetch and
// insert batches, a failing batch rolled back, the catalog, and the
// password kept out of every text.
#include "odbc_test_env.h"

namespace connectortest {
namespace {

TEST_F(OdbcTest, IdentifiesAsACompleteLinkConnector) {
    ASSERT_NE(nullptr, odbc_.library) << dlerror();
    EXPECT_EQ(0u, odbc_.identifyStatus);
    EXPECT_TRUE(odbc_.Complete());
    EXPECT_EQ(RDX_KIND_LINK, odbc_.record.kind);
    EXPECT_EQ(0x10001u, odbc_.Number("DataSource"));
    EXPECT_EQ(0x10003u, odbc_.Number("User"));
    EXPECT_EQ(0x10004u, odbc_.Number("Password"));
    EXPECT_EQ(0x10005u, odbc_.Number("Table"));
    EXPECT_EQ(0x1000Bu, odbc_.Number("SQL"));
}

TEST_F(OdbcTest, ConnectNamesTheMissingDataSource) {
    auto c = std::make_unique<Connection>(odbc_);
    EXPECT_EQ(0u, c->Set("DataSource", "nosuchsource"));
    EXPECT_EQ(RDSTATUS_FREETEXT, c->Connect());
    EXPECT_NE(std::string::npos, c->LastError().find("nosuchsource")) << c->LastError();
    EXPECT_NE(std::string::npos, c->LastError().find("[IM002]")) << c->LastError();

    auto empty = std::make_unique<Connection>(odbc_);
    EXPECT_EQ(RDSTATUS_FREETEXT, empty->Connect());
    EXPECT_NE(std::string::npos, empty->LastError().find("no data source")) << empty->LastError();
}

// The password goes to the driver only: never back through a property,
// never into a failure text (which is what the log receives).
TEST_F(OdbcTest, ThePasswordIsNeverShown) {
    auto c = std::make_unique<Connection>(odbc_);
    EXPECT_EQ(0u, c->Set("DataSource", "DSN=nosuchsource;PWD={sec;ret}"));
    EXPECT_EQ(0u, c->Set("Password", "hunter2"));
    EXPECT_EQ(RDSTATUS_FREETEXT, c->Connect());
    for (const std::string &text : {c->LastError(), c->Get("DataSource"), c->Get("Password")}) {
        EXPECT_EQ(std::string::npos, text.find("hunter2")) << text;
        EXPECT_EQ(std::string::npos, text.find("sec;ret")) << text;
    }
    EXPECT_NE(std::string::npos, c->LastError().find("DSN=nosuchsource;PWD=****"))
        << c->LastError();
    EXPECT_EQ("", c->Get("Password"));

    // A connection string with the driver and database, the password added.
    auto db = std::make_unique<Connection>(odbc_);
    EXPECT_EQ(0u, db->Set("DataSource", "Driver=SQLite3;Database=" + folder_.Path("test.db")));
    EXPECT_EQ(0u, db->Set("Password", "hunter2"));
    ASSERT_EQ(0u, db->Connect()) << db->LastError();
    EXPECT_EQ(RDSTATUS_FREETEXT, Execute(*db, "SELECT * FROM hunter2_orders"));
    EXPECT_EQ(std::string::npos, db->LastError().find("hunter2")) << db->LastError();
    EXPECT_NE(std::string::npos, db->LastError().find("****_orders")) << db->LastError();
}

// Passwords after an empty entry or a word without '=' are still passwords
// to the driver: masked in the property and in the failure of connect.
TEST_F(OdbcTest, EveryPasswordOfTheConnectionStringIsMasked) {
    for (const std::string server :
         {"DSN=nosuchsource;;PWD=hunter2", "junk;DSN=nosuchsource;PWD=hunter2;UID=u",
          "DSN=nosuchsource; pwd = {hunter2;x};Password=hunter2b"}) {
        auto c = std::make_unique<Connection>(odbc_);
        EXPECT_EQ(0u, c->Set("DataSource", server));
        EXPECT_EQ(RDSTATUS_FREETEXT, c->Connect());
        for (const std::string &text : {c->LastError(), c->Get("DataSource")}) {
            EXPECT_EQ(std::string::npos, text.find("hunter2")) << text;
            EXPECT_NE(std::string::npos, text.find("nosuchsource")) << text;
        }
    }
}

// A table made from a field list, values of every kind written and read
// back: nulls stay null, an empty text stays empty, non-ASCII texts and
// date-times with hundredths come back unchanged.
TEST_F(OdbcTest, ValuesRoundTrip) {
    auto db = Open({{"Table", "orders"}});
    ASSERT_NO_FATAL_FAILURE(WriteEveryKind(odbc_, *db));
    EXPECT_EQ("Grüße, \"Zoë\" – 東京", Query("SELECT name FROM orders WHERE id = 1"));
    EXPECT_EQ("", Query("SELECT name FROM orders WHERE id < 0"));
    EXPECT_EQ("null", Query("SELECT typeof(name) FROM orders WHERE id IS NULL"));

    // The layout from the driver's description of the columns, a numeric
    // by its type's name (the driver describes DECIMAL BLOB as a text).
    List read(8);
    ASSERT_EQ(0u, db->Select(read, 8)) << db->LastError();
    EXPECT_EQ("id:1,price:2,amount:4,name:6,placed:5", Layout(read));
    std::vector<std::string> got;
    EXPECT_EQ((std::vector<Step>{{RDX_END_OF_DATA, 4}}), FetchAll(*db, read, got));
    ASSERT_EQ(4u, got.size());
    EXPECT_EQ("1|2.5|12.34|Grüße, \"Zoë\" – 東京|", got[0].substr(0, got[0].rfind('|') + 1));
    EXPECT_EQ("-2147483648|-1e+300|-0.5||", got[1].substr(0, got[1].rfind('|') + 1));
    EXPECT_EQ("<null>|<null>|<null>|<null>|<null>", got[2]);
    EXPECT_EQ("2147483647|0|99999999.99|plain|", got[3].substr(0, got[3].rfind('|') + 1));
    // Fetched again in one batch to look at the date-times.
    ASSERT_EQ(0u, db->Select(read, 8)) << db->LastError();
    uint32_t fetched = 0;
    EXPECT_EQ(RDX_END_OF_DATA, db->Fetch(read, 1, 8, &fetched));
    EXPECT_EQ("2024-2-29 23:59:58.75", DatetimeText(read, 5, 1));
    EXPECT_EQ("1999-12-31 0:0:0.00", DatetimeText(read, 5, 2));
    EXPECT_EQ("<null>", DatetimeText(read, 5, 3));
    EXPECT_EQ("2000-1-1 0:0:1.00", DatetimeText(read, 5, 4));

    // A list of the caller's own types: the driver converts to them.
    List numbers(4);
    Fill(numbers, {{"amount", RDTYPE_NUMERIC}, {"id", RDTYPE_TEXT}}, {});
    ASSERT_EQ(0u, db->Set("SQL", "SELECT amount, id FROM orders"));
    ASSERT_EQ(0u, db->Select(numbers, 4)) << db->LastError();
    EXPECT_EQ(0u, db->Fetch(numbers, 1, 4, &fetched)) << db->LastError();
    EXPECT_EQ((std::vector<std::string>{"12.34|1", "-0.5|-2147483648", "<null>|<null>",
                                        "99999999.99|2147483647"}),
              Rows(numbers, 1, 4));
}

// Binary values and currency amounts, and a select made without a list
// whose first fetch lays out the binding.
TEST_F(OdbcTest, BinaryValuesAndAmounts) {
    auto db = Open({{"Table", "blobs"}});
    List written(2);
    Fill(written, {{"fee", RDTYPE_CURRENCY}, {"data", RDTYPE_BINARY}},
         {{"12.5", "<null>"}, {"-0.0001", "<null>"}});
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(written, 2, 256, &field, nullptr));
    Stream bytes(std::string("\0\xFF\x01", 3), RDKIND_BINARY);
    ASSERT_EQ(0u, RDFieldSetStream(field, 1, &bytes));
    ASSERT_EQ(0u, odbc_.RDXCreate(db->Private(), 3, written)) << db->LastError();
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(written, 1, 2, &done)) << db->LastError();
    EXPECT_EQ("0x00FF01", Query("SELECT '0x' || hex(data) FROM blobs WHERE data IS NOT NULL"));

    ASSERT_EQ(0u, db->Select(0, 2)) << db->LastError();
    List read(2);
    Fill(read, {{"fee", RDTYPE_CURRENCY}, {"data", RDTYPE_BINARY}}, {});
    uint32_t fetched = 0;
    ASSERT_EQ(0u, db->Fetch(read, 1, 2, &fetched)) << db->LastError();
    ASSERT_EQ(2u, fetched);
    ASSERT_EQ(0u, RDFieldlistGetField(read, 2, 256, &field, nullptr));
    Stream back;
    uint32_t isNull = 0;
    ASSERT_EQ(0u, RDFieldGetStream(field, 1, RDKIND_BINARY, &back, &isNull));
    EXPECT_EQ(std::string("\0\xFF\x01", 3), back.Bytes());
    uint32_t feeIn = 0, feeOut = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(written, 1, 256, &feeIn, nullptr));
    ASSERT_EQ(0u, RDFieldlistGetField(read, 1, 256, &feeOut, nullptr));
    for (uint32_t r = 1; r <= 2; ++r)
        EXPECT_EQ(ValueText(feeIn, r), ValueText(feeOut, r)) << r;
}

// Fetches in batches ending exactly at and one past the batch size, and
// inserts of those sizes; the records arrive in order.
TEST_F(OdbcTest, BatchesEndingAtAndOnePastTheBatchSize) {
    struct Case {
        uint32_t batch, records;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {1, 1, {{0, 1}, {RDX_END_OF_DATA, 0}}},
        {1, 2, {{0, 1}, {0, 1}, {RDX_END_OF_DATA, 0}}},
        {4, 4, {{0, 4}, {RDX_END_OF_DATA, 0}}},
        {4, 5, {{0, 4}, {RDX_END_OF_DATA, 1}}},
        {4, 8, {{0, 4}, {0, 4}, {RDX_END_OF_DATA, 0}}},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(std::to_string(test.batch) + " per batch, " + std::to_string(test.records));
        auto db = Open({{"Table", "numbers"}});
        EXPECT_EQ(0u, Execute(*db, "DROP TABLE IF EXISTS numbers"));
        EXPECT_EQ(0u, Execute(*db, "CREATE TABLE numbers (n INTEGER, t TEXT)"));
        List written(test.records);
        std::vector<std::vector<std::string>> rows;
        std::vector<std::string> expected;
        for (uint32_t i = 1; i <= test.records; ++i) {
            rows.push_back({std::to_string(i), "r" + std::to_string(i)});
            expected.push_back(std::to_string(i) + "|r" + std::to_string(i));
        }
        Fill(written, {{"n", RDTYPE_INT}, {"t", RDTYPE_TEXT}}, rows);
        uint32_t done = 0;
        ASSERT_EQ(0u, db->Insert(written, 1, test.records, &done)) << db->LastError();
        EXPECT_EQ(test.records, done);

        EXPECT_EQ(0u, db->Set("SQL", "SELECT n, t FROM numbers ORDER BY n"));
        List read(test.batch);
        ASSERT_EQ(0u, db->Select(read, test.batch)) << db->LastError();
        std::vector<std::string> got;
        EXPECT_EQ(test.steps, FetchAll(*db, read, got));
        EXPECT_EQ(expected, got);
    }
}

// A constraint violation in the middle of a batch: nothing of the batch is
// written, the failing record and the SQLSTATE are named, and the next
// batch goes in.
TEST_F(OdbcTest, AFailingRecordRollsTheBatchBack) {
    auto db = Open({{"Table", "keyed"}});
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE keyed (id INTEGER PRIMARY KEY, name TEXT)"));
    List batch(5);
    Fill(batch, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}},
         {{"1", "a"}, {"2", "b"}, {"1", "again"}, {"4", "d"}, {"5", "e"}});
    uint32_t done = 99;
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(batch, 1, 5, &done));
    EXPECT_EQ(0u, done);
    const std::string error = db->LastError();
    EXPECT_NE(std::string::npos, error.find("record 3")) << error;
    // The driver's SQLSTATE and text.
    EXPECT_NE(std::string::npos, error.find("[HY000] [SQLite]UNIQUE constraint failed")) << error;
    EXPECT_NE(std::string::npos, error.find("rolled back")) << error;
    EXPECT_EQ("0", Query("SELECT count(*) FROM keyed"));

    ASSERT_EQ(0u, db->Insert(batch, 4, 2, &done)) << db->LastError();
    EXPECT_EQ(2u, done);
    EXPECT_EQ("2", Query("SELECT count(*) FROM keyed"));
}

// A value longer than its column's described size is never cut: its row
// fails with a text naming it, and the next fetch goes on after it.
TEST_F(OdbcTest, AValueTooLongForItsColumnFailsItsRow) {
    auto db = Open();
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE t (n INTEGER, s VARCHAR(2))"));
    ASSERT_EQ(0u, Execute(*db, "INSERT INTO t VALUES (1, 'ab'), (2, 'abcdefghijk'), (3, 'cd')"));
    ASSERT_EQ(0u, db->Set("SQL", "SELECT n, s FROM t ORDER BY n"));
    List read(3);
    ASSERT_EQ(0u, db->Select(read, 3)) << db->LastError();
    std::vector<std::string> got;
    EXPECT_EQ((std::vector<Step>{{RDSTATUS_RECORDFAULT, 1}}), FetchAll(*db, read, got));
    EXPECT_NE(std::string::npos, db->LastError().find("row 2, column 2 (s): the value is longer"))
        << db->LastError();
    EXPECT_EQ((std::vector<Step>{{RDX_END_OF_DATA, 1}}), FetchAll(*db, read, got));
    EXPECT_EQ((std::vector<std::string>{"1|ab", "3|cd"}), got);
}

TEST_F(OdbcTest, ExecuteCountsTheChangedRows) {
    auto db = Open();
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE t (n INTEGER)"));
    uint32_t count = 0;
    ASSERT_EQ(0u, Execute(*db, "INSERT INTO t VALUES (1), (2), (3)", &count));
    EXPECT_EQ(3u, count);
    ASSERT_EQ(0u, Execute(*db, "UPDATE t SET n = n + 1 WHERE n > 1", &count));
    EXPECT_EQ(2u, count);
    EXPECT_EQ(RDSTATUS_FREETEXT, Execute(*db, "SELEC nothing"));
    EXPECT_NE(std::string::npos, db->LastError().find("the SQL text failed: [")) << db->LastError();
}

TEST_F(OdbcTest, UpdateAndRemoveAreNotSupported) {
    auto db = Open();
    uint32_t done = 7;
    EXPECT_EQ(RDSTATUS_BADPATTERN, odbc_.RDXUpdate(db->Private(), 0, 1, 1, &done));
    EXPECT_EQ(0u, done);
    EXPECT_EQ("ODBC connections do not support update", db->LastError());
    EXPECT_EQ(RDSTATUS_BADPATTERN, odbc_.RDXRemove(db->Private(), 0, 0, 0, &done));
    EXPECT_EQ("ODBC connections do not support remove", db->LastError());
}

TEST_F(OdbcTest, CatalogOfTablesAndColumns) {
    auto db = Open({{"Table", "orders"}});
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE orders (id INTEGER PRIMARY KEY, amount "
                               "NUMERIC(10,2) NOT NULL, note TEXT)"));
    ASSERT_EQ(0u, Execute(*db, "CREATE VIEW big AS SELECT id FROM orders WHERE amount > 100"));
    List tables(5);
    uint32_t count = 0;
    ASSERT_EQ(0u, odbc_.RDXCatalog(db->Private(), 3, tables, &count)) << db->LastError();
    EXPECT_EQ(2u, count);
    EXPECT_EQ("Name:6,Kind:6", Layout(tables));
    EXPECT_EQ((std::vector<std::string>{"orders|TABLE", "big|VIEW"}), Rows(tables, 1, 2));

    List columns(2); // fewer records than columns: the count still tells all
    ASSERT_EQ(0u, odbc_.RDXCatalog(db->Private(), 5, columns, &count)) << db->LastError();
    EXPECT_EQ(3u, count);
    EXPECT_EQ("Table:6,Column:6,Declared:6,FieldType:1,NotNull:1,Key:1", Layout(columns));
    EXPECT_EQ(
        (std::vector<std::string>{"orders|id|INTEGER|1|0|1", "orders|amount|NUMERIC(10,2)|2|1|0"}),
        Rows(columns, 1, 2));

    EXPECT_EQ(RDSTATUS_BADPATTERN, odbc_.RDXCatalog(db->Private(), 4, columns, &count));
    EXPECT_EQ("ODBC connections do not support this catalog kind", db->LastError());
    ASSERT_EQ(0u, odbc_.RDXDrop(db->Private(), 3)) << db->LastError();
    EXPECT_EQ("<none>", Query("SELECT name FROM sqlite_schema WHERE name = 'orders'"));
}

} // namespace
} // namespace connectortest
