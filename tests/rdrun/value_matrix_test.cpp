// SPDX-License-Identifier: Apache-2.0
// Every pair of connectors carries the values at their limits: a delimited
// file is copied into a new file, a SQLite database, a PostgreSQL table and
// a SQLite database through ODBC; each of those is then the source of a
// copy into the four kinds again. Each target is read back by its own
// client: the same texts, and numbers that compare and sort as numbers
// (ORDER BY, max, >) in the target itself.
#include "value_matrix_env.h"

namespace rdruntest {
namespace {

using rdtest::PgSql;

const std::vector<std::string> kSqliteRows = {
    "1|-2147483648|-9223372036854775808|-9999999999999999999999999999.9999999999|-9999999999.99|"
    "0001-01-01 00:00:00|integer|text|real",
    "2|2147483647|9223372036854775807|1234567890123456789012345678.0123456789|9999999999.99|"
    "9999-12-31 23:59:59.99|integer|text|real",
    "3|0|0|0|0|1582-10-15 00:00:00|integer|integer|integer",
    "4|-5|-5|-0.25|-12.5|1752-09-02 23:59:59.99|integer|real|real",
    "5|10|10|1234567890123456789|7600|1752-09-14 00:00:00|integer|integer|integer",
    "6|100|100|12.5|1.99|2024-06-30 10:15:00.12|integer|real|real",
    "7|9|3000000000|1.0e-10|0.01|NULL|integer|real|real",
    "8|NULL|9|NULL|NULL|2024-06-30 00:00:00|integer|null|null",
};

// A row of kSqliteRows with its date-time (field 6) written with three
// digits after the second, as the SQLite ODBC driver writes them.
std::string WithMilliseconds(const std::string &row) {
    size_t at = 0;
    for (int field = 0; field < 5; ++field)
        at = row.find('|', at) + 1;
    const size_t end = row.find('|', at);
    std::string time = row.substr(at, end - at);
    if (time == "NULL") return row;
    const size_t point = time.find('.');
    time += point == std::string::npos ? ".000" : std::string(4 - (time.size() - point), '0');
    return row.substr(0, at) + time + row.substr(end);
}

class MatrixTest : public ValueMatrixTest {
  protected:
    void ExpectCsv(const std::string &path) {
        std::string expected = "id,i32,i64,n38,amt,dt\n";
        for (const std::string &line : kMatrixLines)
            expected += line + "\n";
        EXPECT_EQ(expected, rdtest::ReadFile(path)) << path;
    }

    // SQLite keeps whole numbers of 64 bits as integers, those of at most
    // 15 digits as reals (exactly), wider ones as their exact text. Through
    // ODBC the driver names the types of 64-bit integers and date-times and
    // writes date-times with milliseconds.
    void ExpectSqlite(const std::string &path, bool odbc) {
        SCOPED_TRACE(path);
        Db db(path);
        EXPECT_EQ(odbc ? "INTEGER,INTEGER,bigint,DECIMAL BLOB(38,10),NUMERIC(12,2),timestamp\n"
                       : "INTEGER,INTEGER,BIGINT,DECIMAL BLOB(38,10),NUMERIC(12,2),DATETIME\n",
                  db.Query("SELECT group_concat(type, ',') FROM pragma_table_info('t')"));
        std::string expected;
        for (const std::string &row : kSqliteRows)
            expected += (odbc ? WithMilliseconds(row) : row) + "\n";
        EXPECT_EQ(expected, db.Query("SELECT id, i32, i64, n38, amt, dt, typeof(i64), "
                                     "typeof(n38), typeof(amt) FROM t ORDER BY id"));
        EXPECT_EQ("1,4,3,7,5,6,2", SqliteOrder(db, "t", "i32"));
        EXPECT_EQ("1,4,3,8,5,6,7,2", SqliteOrder(db, "t", "i64"));
        EXPECT_EQ("9223372036854775807|-9223372036854775808\n",
                  db.Query("SELECT max(i64), min(i64) FROM t"));
        EXPECT_EQ("2,6,7", SqliteOrder(db, "t", "id", " AND i64 > 50"));
        EXPECT_EQ("1,4,3,7,6,5,2", SqliteOrder(db, "t", "amt"));
        EXPECT_EQ("9999999999.99\n", db.Query("SELECT max(amt) FROM t"));
        EXPECT_EQ("2,5,6", SqliteOrder(db, "t", "id", " AND amt > 1"));
        // Numbers sort among themselves, the exact texts after them.
        EXPECT_EQ("4,3,7,6,5,1,2", SqliteOrder(db, "t", "n38"));
        EXPECT_EQ("5,6,7", SqliteOrder(db, "t", "id", " AND typeof(n38) <> 'text' AND n38 > 0"));
        EXPECT_EQ("1,3,4,5,8,6,2", SqliteOrder(db, "t", "dt"));
    }

    void ExpectPg(const std::string &table) {
        SCOPED_TRACE(table);
        EXPECT_EQ((std::vector<std::string>{"integer,integer,bigint,numeric(38,10),numeric(12,2),"
                                            "timestamp without time zone"}),
                  PgSql("SELECT string_agg(format_type(atttypid, atttypmod), ',' ORDER BY attnum) "
                        "FROM pg_attribute WHERE attrelid = '" +
                        table + "'::regclass AND attnum > 0"));
        std::vector<std::string> expected;
        for (std::string line : kMatrixLines) {
            std::string row;
            for (size_t at = 0; at <= line.size();) {
                const size_t comma = std::min(line.find(',', at), line.size());
                const std::string value = line.substr(at, comma - at);
                row += (at == 0 ? "" : "|") + (value.empty() ? "<null>" : value);
                at = comma + 1;
            }
            expected.push_back(row);
        }
        EXPECT_EQ(expected,
                  PgSql("SELECT id, i32, i64, n38, amt, dt FROM " + table + " ORDER BY id"));
        EXPECT_EQ("1,4,3,7,5,6,2", PgOrder(table, "i32"));
        EXPECT_EQ("1,4,3,8,5,6,7,2", PgOrder(table, "i64"));
        EXPECT_EQ((std::vector<std::string>{"9223372036854775807|9999999999.99|"
                                            "1234567890123456789012345678.0123456789"}),
                  PgSql("SELECT max(i64), max(amt), max(n38) FROM " + table));
        EXPECT_EQ("2,6,7", PgOrder(table, "id", " AND i64 > 50"));
        EXPECT_EQ("1,4,3,7,6,5,2", PgOrder(table, "amt"));
        EXPECT_EQ("2,5,6", PgOrder(table, "id", " AND amt > 1"));
        EXPECT_EQ("1,4,3,7,6,5,2", PgOrder(table, "n38"));
        EXPECT_EQ("2,5,6,7", PgOrder(table, "id", " AND n38 > 0"));
        EXPECT_EQ("1,3,4,5,8,6,2", PgOrder(table, "dt"));
    }

    // Copies source into the four kinds of target named after from, and
    // checks each.
    void CopyToEveryTarget(const std::string &source, const std::string &select,
                           const std::string &from) {
        SCOPED_TRACE(from);
        const std::string csv = Path("from_" + from + ".csv");
        Define(CsvTarget("csv_" + from, csv) +
               SqliteLink("lite_" + from, Path("from_" + from + ".db")) +
               PgLink("pg_" + from, "batch") +
               OdbcLink("odbc_" + from, Path("odbc_from_" + from + ".db")) +
               CopyActivity("to_csv_" + from, {source, "csv_" + from, csv, select, 3, "stop"}) +
               CopyActivity("to_lite_" + from, {source, "lite_" + from, "t", select, 3, "stop"}) +
               CopyActivity("to_pg_" + from,
                            {source, "pg_" + from, "from_" + from, select, 3, "stop"}) +
               CopyActivity("to_odbc_" + from, {source, "odbc_" + from, "t", select, 3, "stop"}));
        for (const char *target : {"csv", "lite", "pg", "odbc"}) {
            const Ran ran = Rdrun(std::string("to_") + target + "_" + from);
            ASSERT_EQ(0, ran.status) << target << ": " << ran.out << ran.err;
        }
        ExpectCsv(csv);
        ExpectSqlite(Path("from_" + from + ".db"), false);
        ExpectPg("from_" + from);
        ExpectSqlite(Path("odbc_from_" + from + ".db"), true);
    }
};

TEST_F(MatrixTest, EveryPairCarriesTheValuesAtTheirLimits) {
    std::string file = "id,i32,i64,n38,amt,dt\n";
    for (const std::string &line : kMatrixLines)
        file += line + "\n";
    rdtest::WriteFile(Path("src.csv"), file);
    Define(CsvLink("src_csv", Path("src.csv"), kMatrixColumns));
    CopyToEveryTarget("src_csv", "", "csv");
    Define(SqliteLink("src_lite", Path("from_csv.db")) + PgLink("src_pg", "connection") +
           OdbcLink("src_odbc", Path("odbc_from_csv.db")));
    CopyToEveryTarget("src_lite", "SELECT * FROM t ORDER BY id", "lite");
    CopyToEveryTarget("src_pg", "SELECT * FROM from_csv ORDER BY id", "pg");
    CopyToEveryTarget("src_odbc", "SELECT * FROM t ORDER BY id", "odbc");
}

} // namespace
} // namespace rdruntest
