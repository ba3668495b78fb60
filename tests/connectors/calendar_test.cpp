// SPDX-License-Identifier: Apache-2.0
// Dates that exist in one calendar and not the other. The engine's is
// Julian before 1752-09-14 (1700-02-29 exists, 1752-09-03 to 1752-09-13 do
// not); PostgreSQL's is proleptic Gregorian (the other way round). Dates
// cross by their text: each keeps it, and one the other side lacks is
// refused with a message naming it, never moved to another day.
#include "odbc_test_env.h"
#include "pg_test_env.h"
#include "sqlite_test_env.h"

namespace connectortest {
namespace {

// A list of fields id (int) and d (datetime), one record per date (parts
// year, month, day) at 10:30.
void FillDates(uint32_t list, const std::vector<std::array<int32_t, 3>> &dates) {
    std::vector<std::vector<std::string>> ids;
    for (size_t i = 0; i < dates.size(); ++i)
        ids.push_back({std::to_string(i + 1), "<null>"});
    Fill(list, {{"id", RDTYPE_INT}, {"d", RDTYPE_DATETIME}}, ids);
    for (size_t i = 0; i < dates.size(); ++i)
        SetDatetime(list, 2, static_cast<uint32_t>(i + 1),
                    {dates[i][0], dates[i][1], dates[i][2], -1, 10, 30, 0, 0, 0, 0});
}

bool Holds(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

TEST_F(PgTest, EngineDatesThatPostgresqlLacksAreRefused) {
    Sql("CREATE TABLE days (id integer, d timestamp)");
    auto c = OpenPg({{"Table", "days"}});
    List in(4);
    FillDates(in, {{1600, 2, 29}, {1752, 9, 2}, {1752, 9, 14}, {1700, 2, 29}});
    uint32_t done = 0;
    EXPECT_EQ(RDSTATUS_RECORDFAULT, c->Insert(in, 1, 4, &done));
    EXPECT_EQ(0u, done);
    EXPECT_TRUE(Holds(c->LastError(), "1700-02-29 is a date of the engine's calendar"))
        << c->LastError();
    EXPECT_TRUE(Holds(c->LastError(), "PostgreSQL")) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"0"}), Sql("SELECT count(*) FROM days"));
    // The others keep their text.
    ASSERT_EQ(0u, c->Insert(in, 1, 3, &done)) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"1600-02-29 10:30:00", "1752-09-02 10:30:00",
                                        "1752-09-14 10:30:00"}),
              Sql("SELECT d FROM days ORDER BY id"));
}

// A text field goes to a date column without the engine's calendar: a
// date the server has is taken, one it lacks refused.
TEST_F(PgTest, DateTextsGoByTheServersCalendar) {
    Sql("CREATE TABLE days (d date, t timestamptz)");
    auto c = OpenPg({{"Table", "days"}});
    List in(2);
    Fill(in, {{"d", RDTYPE_TEXT}, {"t", RDTYPE_TEXT}},
         {{"1752-09-05", "1752-09-05 10:30:00"}, {"1700-02-29", "<null>"}});
    uint32_t done = 0;
    ASSERT_EQ(0u, c->Insert(in, 1, 1, &done)) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"1752-09-05|1752-09-05 10:30:00+00"}),
              Sql("SET TIME ZONE 'UTC'; SELECT d, t FROM days"));
    EXPECT_EQ(RDSTATUS_RECORDFAULT, c->Insert(in, 2, 1, &done));
    EXPECT_TRUE(Holds(c->LastError(), "1700-02-29 is a date of the engine's calendar"))
        << c->LastError();
}

// Read from the server: into date-time fields a day the engine lacks is
// refused by name, in the binary and the text form (a point column makes
// the select use texts); into text fields it comes as the server's text.
TEST_F(PgTest, ServerDatesThatTheEngineLacksAreRefused) {
    const std::string selects[] = {
        "SELECT '1752-09-05'::date AS d",
        "SELECT '1752-09-05 10:30'::timestamp AS d, point(1, 2) AS p",
        "SELECT '0044-03-15 BC'::date AS d, point(1, 2) AS p",
    };
    const std::string named[] = {"1752-09-05 is not a date of the engine's calendar",
                                 "1752-09-05 is not a date of the engine's calendar",
                                 "0044-03-15 BC is outside the engine's calendar"};
    for (size_t i = 0; i < 3; ++i) {
        auto c = OpenPg({{"SQL", selects[i]}});
        List list(2);
        ASSERT_EQ(0u, c->Select(list, 2)) << c->LastError();
        uint32_t fetched = 0;
        EXPECT_EQ(RDSTATUS_RECORDFAULT, c->Fetch(list, 1, 2, &fetched)) << selects[i];
        EXPECT_TRUE(Holds(c->LastError(), named[i])) << c->LastError();
    }
    auto c = OpenPg({{"SQL", "SELECT '1752-09-05'::date AS d, '1752-09-05 10:30:00.25'::timestamp "
                             "AS t, '0044-03-15 BC'::date AS b"}});
    List texts(1);
    Fill(texts, {{"d", RDTYPE_TEXT}, {"t", RDTYPE_TEXT}, {"b", RDTYPE_TEXT}}, {});
    ASSERT_EQ(0u, c->Select(texts, 1)) << c->LastError();
    std::vector<std::string> rows;
    FetchAll(*c, texts, rows);
    EXPECT_EQ((std::vector<std::string>{"1752-09-05|1752-09-05 10:30:00.25|0044-03-15 BC"}), rows);
}

// SQLite and delimited files keep the text: 1700-02-29 goes and comes back
// as it is; a text of a day the engine lacks is refused by name.
TEST_F(SqliteTest, DatesKeepTheirTextAndMissingDaysAreNamed) {
    auto db = OpenDb({{"Create", "yes"}, {"Table", "days"}});
    List in(1);
    FillDates(in, {{1700, 2, 29}});
    ASSERT_EQ(0u, sqlite_.RDXCreate(db->Private(), 3, in)) << db->LastError();
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(in, 1, 1, &done)) << db->LastError();
    EXPECT_EQ("1700-02-29 10:30:00", Query("SELECT d FROM days"));
    ASSERT_EQ(0u, Execute(*db, "INSERT INTO days VALUES (2, '1752-09-05')"));
    ASSERT_EQ(0u, db->Set("SQL", "SELECT * FROM days ORDER BY id"));
    List out(2);
    ASSERT_EQ(0u, db->Select(out, 2)) << db->LastError();
    uint32_t fetched = 0;
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Fetch(out, 1, 2, &fetched));
    EXPECT_EQ(1u, fetched);
    EXPECT_EQ("1700-2-29 10:30:0.00", DatetimeText(out, 2, 1));
    EXPECT_TRUE(Holds(db->LastError(), "1752-09-05 is not a date of the engine's calendar"))
        << db->LastError();
}

TEST_F(CsvTest, DatesKeepTheirTextAndMissingDaysAreNamed) {
    WriteFile(Path("days.csv"), "d\n1700-02-29\n1752-09-05\n");
    auto in = Open("days.csv", {{"Columns", "d:datetime"}});
    auto out = Open("copy.csv", {{"Create", "yes"}, {"LineEnd", "LF"}});
    List list(2);
    ASSERT_EQ(0u, in->Select(list, 2)) << in->LastError();
    uint32_t fetched = 0, done = 0;
    EXPECT_EQ(RDSTATUS_RECORDFAULT, in->Fetch(list, 1, 2, &fetched));
    ASSERT_EQ(1u, fetched);
    EXPECT_TRUE(Holds(in->LastError(), "line 3 of " + Path("days.csv") +
                                           ": field 1 (d): 1752-09-05 is not a date of the "
                                           "engine's calendar"))
        << in->LastError();
    ASSERT_EQ(0u, out->Insert(list, 1, 1, &done)) << out->LastError();
    EXPECT_EQ("d\n1700-02-29\n", ReadFile(Path("copy.csv")));
}

TEST_F(OdbcTest, DataSourceDatesThatTheEngineLacksAreNamed) {
    auto db = Open();
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE days (d DATE)")) << db->LastError();
    ASSERT_EQ(0u, Execute(*db, "INSERT INTO days VALUES ('1752-09-05')")) << db->LastError();
    ASSERT_EQ(0u, db->Set("SQL", "SELECT d FROM days"));
    List list(2);
    ASSERT_EQ(0u, db->Select(list, 2)) << db->LastError();
    uint32_t fetched = 0;
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Fetch(list, 1, 2, &fetched));
    EXPECT_TRUE(Holds(db->LastError(), "1752-09-05 is not a date of the engine's calendar"))
        << db->LastError();
}

} // namespace
} // namespace connectortest
