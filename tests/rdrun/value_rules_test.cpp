// SPDX-License-Identifier: Apache-2.0
// The value rules of real data, end to end through rdrun: numbers keep the
// scale they were written with, are refused rather than cut when a column
// holds fewer digits after the point and rounded only when the copy's
// Rounding asks; unconstrained PostgreSQL numerics stay exact in a new
// SQLite table; date-times are read in the ISO forms people write, and
// finer fractions are rounded to hundredths and counted once per copy.
#include "pg_run_env.h"

namespace rdruntest {
namespace {

using rdtest::PgSql;

class ValueRulesTest : public PgRunTest {
  protected:
    static std::string PgType(const std::string &table, const std::string &column) {
        return PgSql(
                   "SELECT format_type(atttypid, atttypmod) FROM pg_attribute WHERE attrelid = '" +
                   table + "'::regclass AND attname = '" + column + "'")
            .at(0);
    }
};

// Inferred scales arrive as written; a third digit after the point is the
// record's fault in a numeric(12,2) column of PostgreSQL and of SQLite,
// naming the field and the property, until the copy rounds half to even;
// an unconstrained numeric wider than 64 bits lands exact in a new table.
TEST_F(ValueRulesTest, NumbersKeepTheirScaleAndRoundOnlyWhenAsked) {
    rdtest::WriteFile(Path("amounts.csv"), "id,amt\n1,-12.50\n2,0.00\n3,3\n4,7600.00\n");
    Define(CsvLink("amounts", Path("amounts.csv"), "") + PgLink("pg", "batch") +
           CopyActivity("inferred", {"amounts", "pg", "amounts", "", 2, "stop"}));
    Ran ran = Rdrun("inferred");
    ASSERT_EQ(0, ran.status) << ran.out << ran.err;
    EXPECT_EQ("numeric(20,2)", PgType("amounts", "amt"));
    EXPECT_EQ((std::vector<std::string>{"1|-12.50", "2|0.00", "3|3.00", "4|7600.00"}),
              PgSql("SELECT id, amt::text FROM amounts ORDER BY id"));

    rdtest::WriteFile(Path("fine.csv"), "id,n\n1,1.999\n2,2.005\n3,7.25\n");
    PgSql("CREATE TABLE fine (id integer, n numeric(12,2))");
    Db(Path("fine.db")).Exec("CREATE TABLE fine (id INTEGER, n NUMERIC(12,2))");
    Define(CsvLink("fine", Path("fine.csv"), "id:int,n:numeric(12,3)") +
           SqliteLink("lite", Path("fine.db")) +
           CopyActivity("to_pg", {"fine", "pg", "fine", "", 5, "stop", false}) +
           CopyActivity("to_lite", {"fine", "lite", "fine", "", 5, "stop", false}));
    for (const char *activity : {"to_pg", "to_lite"}) {
        SCOPED_TRACE(activity);
        ran = Rdrun(activity);
        EXPECT_EQ(1, ran.status) << ran.out << ran.err;
        const std::string log = Log(activity);
        EXPECT_NE(
            std::string::npos,
            log.find("record 1, field n: 1.999 has more digits after the point (3) than the 2 "
                     "that the column holds; set Rounding to half-even to round it"))
            << log;
    }
    EXPECT_EQ((std::vector<std::string>{"0"}), PgSql("SELECT count(*) FROM fine"));
    EXPECT_EQ("0\n", Db(Path("fine.db")).Query("SELECT count(*) FROM fine"));
    Define(CopyActivity("round_pg", {"fine", "pg", "fine", "", 5, "stop", false}) +
           "Rounding = \"half-even\"\n" +
           CopyActivity("round_lite", {"fine", "lite", "fine", "", 5, "stop", false}) +
           "Rounding = \"half-even\"\n");
    for (const char *activity : {"round_pg", "round_lite"}) {
        ran = Rdrun(activity);
        EXPECT_EQ(0, ran.status) << activity << ": " << ran.out << ran.err;
    }
    EXPECT_EQ((std::vector<std::string>{"1|2.00", "2|2.00", "3|7.25"}),
              PgSql("SELECT id, n::text FROM fine ORDER BY id"));
    EXPECT_EQ("1|2|integer\n2|2|integer\n3|7.25|real\n",
              Db(Path("fine.db")).Query("SELECT id, n, typeof(n) FROM fine ORDER BY id"));

    PgSql("CREATE TABLE wide (id integer, n numeric);"
          "INSERT INTO wide VALUES (1, 12345678901234567890.123456789), (2, -0.5), (3, 42)");
    Define(SqliteLink("wide_lite", Path("wide.db")) +
           CopyActivity("wide",
                        {"pg", "wide_lite", "wide", "SELECT * FROM wide ORDER BY id", 2, "stop"}));
    ran = Rdrun("wide");
    ASSERT_EQ(0, ran.status) << ran.out << ran.err;
    Db wide(Path("wide.db"));
    EXPECT_EQ("DECIMAL BLOB\n", wide.Query("SELECT type FROM pragma_table_info('wide') "
                                           "WHERE name = 'n'"));
    EXPECT_EQ("1|12345678901234567890.123456789|text\n2|-0.5|real\n3|42|integer\n",
              wide.Query("SELECT id, n, typeof(n) FROM wide ORDER BY id"));
}

// A delimited file's date-times in the ISO forms people write reach a new
// PostgreSQL table as the engine reads them (zones converted to universal
// time, a millisecond rounded); PostgreSQL's microseconds reach a file
// rounded to hundredths. Each copy logs one count of what it rounded,
// however many batches it took.
TEST_F(ValueRulesTest, DatetimesAsWrittenAndFinerFractionsCountedOncePerCopy) {
    rdtest::WriteFile(Path("when.csv"), "id,at\n1,2024-06-30T10:15:00.123\n"
                                        "2,2024-06-30T10:15:00Z\n3,2024-06-30T10:15:00+02:00\n"
                                        "4,20240630\n5,20240630T101500\n6,2024-06-30 10:15:00.5\n");
    Define(CsvLink("when", Path("when.csv"), "") + PgLink("pg", "batch") +
           CopyActivity("iso", {"when", "pg", "iso", "", 2, "stop"}));
    Ran ran = Rdrun("iso");
    ASSERT_EQ(0, ran.status) << ran.out << ran.err;
    EXPECT_EQ("timestamp without time zone", PgType("iso", "at"));
    EXPECT_EQ((std::vector<std::string>{"1|2024-06-30 10:15:00.12", "2|2024-06-30 10:15:00",
                                        "3|2024-06-30 08:15:00", "4|2024-06-30 00:00:00",
                                        "5|2024-06-30 10:15:00", "6|2024-06-30 10:15:00.5"}),
              PgSql("SELECT id, at FROM iso ORDER BY id"));
    std::string log = Log("iso");
    EXPECT_EQ(1u, Count(log, "had a fraction of a second finer than hundredths")) << log;
    EXPECT_NE(std::string::npos, log.find("1 date-time read from " + Path("when.csv") + " had"))
        << log;

    PgSql("CREATE TABLE micro (id integer, at timestamp);"
          "INSERT INTO micro VALUES (1, '2024-06-30 10:15:00.123456'), "
          "(2, '2024-06-30 10:15:00.125'), (3, '2024-06-30 10:15:00.12'), "
          "(4, '2024-12-31 23:59:59.999999'), (5, NULL), (6, '2024-06-30 10:15:00'), "
          "(7, '1999-01-01 00:00:00.004999')");
    Define(CsvTarget("out", Path("micro.csv")) +
           CopyActivity("micro", {"pg", "out", "", "SELECT * FROM micro ORDER BY id", 2, "stop"}));
    ran = Rdrun("micro");
    ASSERT_EQ(0, ran.status) << ran.out << ran.err;
    EXPECT_EQ("id,at\n1,2024-06-30 10:15:00.12\n2,2024-06-30 10:15:00.13\n"
              "3,2024-06-30 10:15:00.12\n4,2025-01-01 00:00:00\n5,\n6,2024-06-30 10:15:00\n"
              "7,1999-01-01 00:00:00\n",
              rdtest::ReadFile(Path("micro.csv")));
    log = Log("micro");
    EXPECT_EQ(1u, Count(log, "had a fraction of a second finer than hundredths")) << log;
    EXPECT_NE(std::string::npos, log.find("4 date-times read from the select had")) << log;
}

} // namespace
} // namespace rdruntest
