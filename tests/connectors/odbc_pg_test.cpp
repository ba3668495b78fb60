// SPDX-License-Identifier: Apache-2.0
// The ODBC connector against a PostgreSQL server through the PostgreSQL
// ODBC driver: connection by data-source name and connection string, a
// table made from a field list with values of every kind both ways, a
// failing batch rolled back with the server's SQLSTATE, and the catalog.
#include "odbc_test_env.h"
#include "pg_test_env.h"

#include <algorithm>

namespace connectortest {
namespace {

class OdbcPgTest : public PgTest {
  protected:
    void SetUp() override {
        PgTest::SetUp();
        if (IsSkipped()) return;
        if (!std::filesystem::exists(OdbcFolder::kPgDriver))
            GTEST_SKIP() << "no PostgreSQL ODBC driver: " << OdbcFolder::kPgDriver
                         << " is missing (Debian package odbc-postgresql)";
        folder_.SetPgSource(PgCluster::Socket(), PgCluster::Port());
    }

    // A connection to the data source "rdpgtest", connected.
    std::unique_ptr<Connection>
    OpenOdbc(const std::vector<std::pair<std::string, std::string>> &props = {}) {
        auto c = std::make_unique<Connection>(odbc_);
        EXPECT_EQ(0u, c->Set("DataSource", "rdpgtest"));
        for (const auto &[property, value] : props)
            EXPECT_EQ(0u, c->Set(property, value)) << property;
        EXPECT_EQ(0u, c->Connect()) << c->LastError();
        return c;
    }
    uint32_t ExecuteOdbc(Connection &c, const std::string &sql) {
        EXPECT_EQ(0u, c.Set("SQL", sql));
        uint32_t count = 0;
        return odbc_.RDXExecute(c.Private(), 0, 0, &count);
    }

    OdbcFolder &folder_ = OdbcFolder::Get();
    Plugin odbc_{RDTEST_RDODBC_PATH};
};

TEST_F(OdbcPgTest, ConnectsByNameAndByConnectionString) {
    auto byName = OpenOdbc();
    EXPECT_EQ(0u, ExecuteOdbc(*byName, "CREATE TABLE t (n integer)"));

    auto byString = std::make_unique<Connection>(odbc_);
    EXPECT_EQ(0u, byString->Set("DataSource",
                                "Driver=PostgreSQL;Servername=" + PgCluster::Socket() + ";Port=" +
                                    PgCluster::Port() + ";Database=postgres;Username=postgres"));
    ASSERT_EQ(0u, byString->Connect()) << byString->LastError();
    EXPECT_EQ(0u, ExecuteOdbc(*byString, "INSERT INTO t VALUES (7)"));
    EXPECT_EQ((std::vector<std::string>{"7"}), Sql("SELECT n FROM t"));

    // A server that is not there: the driver's text is passed on.
    auto nowhere = std::make_unique<Connection>(odbc_);
    EXPECT_EQ(0u, nowhere->Set("DataSource", "Driver=PostgreSQL;Servername=" + PgCluster::Socket() +
                                                 "/none;Database=postgres"));
    EXPECT_EQ(RDSTATUS_FREETEXT, nowhere->Connect());
    EXPECT_NE(std::string::npos, nowhere->LastError().find("cannot be connected: ["))
        << nowhere->LastError();
}

// A table made from a field list, a batch written and read back: nulls
// stay null, non-ASCII texts and date-times with hundredths unchanged.
TEST_F(OdbcPgTest, ValuesRoundTrip) {
    auto db = OpenOdbc({{"Table", "orders"}});
    ASSERT_NO_FATAL_FAILURE(WriteEveryKind(odbc_, *db));
    // The server's own view of what arrived.
    EXPECT_EQ((std::vector<std::string>{"-2147483648|-1e+300|-0.5||1999-12-31 00:00:00",
                                        "1|2.5|12.34|Grüße, \"Zoë\" – 東京|2024-02-29 23:59:58.75",
                                        "2147483647|0|99999999.99|plain|2000-01-01 00:00:01",
                                        "<null>|<null>|<null>|<null>|<null>"}),
              Sql("SELECT id, price, amount, name, placed FROM orders ORDER BY id"));

    // A date-time has no zone: the column keeps none either.
    EXPECT_EQ((std::vector<std::string>{"timestamp without time zone"}),
              Sql("SELECT data_type FROM information_schema.columns WHERE column_name = "
                  "'placed'"));
    ASSERT_EQ(0u, db->Set("SQL", "SELECT * FROM orders ORDER BY id"));
    List read(8);
    ASSERT_EQ(0u, db->Select(read, 8)) << db->LastError();
    uint32_t fetched = 0;
    EXPECT_EQ(RDX_END_OF_DATA, db->Fetch(read, 1, 8, &fetched)) << db->LastError();
    ASSERT_EQ(4u, fetched);
    std::vector<std::string> got = Rows(read, 1, 4);
    for (std::string &row : got)
        row = row.substr(0, row.rfind('|') + 1); // the date-times below
    EXPECT_EQ((std::vector<std::string>{
                  "-2147483648|-1e+300|-0.5||", "1|2.5|12.34|Grüße, \"Zoë\" – 東京|",
                  "2147483647|0|99999999.99|plain|", "<null>|<null>|<null>|<null>|"}),
              got);
    EXPECT_EQ("1999-12-31 0:0:0.00", DatetimeText(read, 5, 1));
    EXPECT_EQ("2024-2-29 23:59:58.75", DatetimeText(read, 5, 2));
    EXPECT_EQ("2000-1-1 0:0:1.00", DatetimeText(read, 5, 3));
    EXPECT_EQ("<null>", DatetimeText(read, 5, 4));
}

// A unique violation in the middle of a batch: nothing of the batch is
// written, the failing record and the server's SQLSTATE are named, and the
// next batch goes in.
TEST_F(OdbcPgTest, AFailingRecordRollsTheBatchBack) {
    auto db = OpenOdbc({{"Table", "keyed"}});
    ASSERT_EQ(0u, ExecuteOdbc(*db, "CREATE TABLE keyed (id integer PRIMARY KEY, name text)"));
    List batch(5);
    Fill(batch, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}},
         {{"1", "a"}, {"2", "b"}, {"1", "again"}, {"4", "d"}, {"5", "e"}});
    uint32_t done = 99;
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(batch, 1, 5, &done));
    EXPECT_EQ(0u, done);
    const std::string error = db->LastError();
    EXPECT_NE(std::string::npos, error.find("record 3")) << error;
    EXPECT_NE(std::string::npos, error.find("[23505]")) << error;
    EXPECT_NE(std::string::npos, error.find("rolled back")) << error;
    EXPECT_EQ((std::vector<std::string>{"0"}), Sql("SELECT count(*) FROM keyed"));

    ASSERT_EQ(0u, db->Insert(batch, 4, 2, &done)) << db->LastError();
    EXPECT_EQ(2u, done);
    EXPECT_EQ((std::vector<std::string>{"4|d", "5|e"}), Sql("SELECT * FROM keyed ORDER BY id"));
}

// Columns the server fills (a default, serial, identity) may be left out;
// a NOT NULL column it does not fill refuses the table before any record,
// while a duplicate key refuses only its record.
TEST_F(OdbcPgTest, RecordsAndTablesFailApart) {
    Sql("CREATE TABLE t (id integer PRIMARY KEY, name text NOT NULL, s serial, "
        "k integer GENERATED ALWAYS AS IDENTITY, d text NOT NULL DEFAULT 'x', n integer)");
    auto db = OpenOdbc({{"Table", "t"}});
    List good(1), lacking(1);
    Fill(good, {{"id", RDTYPE_INT}, {"name", RDTYPE_TEXT}}, {{"1", "a"}});
    Fill(lacking, {{"id", RDTYPE_INT}, {"n", RDTYPE_INT}}, {{"2", "2"}});
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(good, 1, 1, &done)) << db->LastError();
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(good, 1, 1, &done));
    EXPECT_NE(std::string::npos, db->LastError().find("23505")) << db->LastError();
    EXPECT_EQ(RDSTATUS_FREETEXT, db->Insert(lacking, 1, 1, &done));
    EXPECT_NE(std::string::npos, db->LastError().find("do not have: name;")) << db->LastError();
    EXPECT_EQ((std::vector<std::string>{"1"}), Sql("SELECT count(*) FROM t"));
}

TEST_F(OdbcPgTest, CatalogListsTheTables) {
    Sql("CREATE TABLE orders (id integer PRIMARY KEY, amount numeric(10,2) NOT NULL, note text);"
        "CREATE VIEW big AS SELECT id FROM orders WHERE amount > 100");
    auto db = OpenOdbc({{"Table", "orders"}});
    List tables(5);
    uint32_t count = 0;
    ASSERT_EQ(0u, odbc_.RDXCatalog(db->Private(), 3, tables, &count)) << db->LastError();
    ASSERT_EQ(2u, count);
    std::vector<std::string> listed = Rows(tables, 1, 2);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ((std::vector<std::string>{"big|VIEW", "orders|TABLE"}), listed);

    List columns(3);
    ASSERT_EQ(0u, odbc_.RDXCatalog(db->Private(), 5, columns, &count)) << db->LastError();
    EXPECT_EQ(3u, count);
    EXPECT_EQ((std::vector<std::string>{"orders|id|int4|1|1|1", "orders|amount|numeric|4|1|0",
                                        "orders|note|text|6|0|0"}),
              Rows(columns, 1, 3));
}

} // namespace
} // namespace connectortest
