// SPDX-License-Identifier: Apache-2.0
// The binary COPY forms the PostgreSQL connector sends, encoded straight
// from the fields' values: the server reads back each number with its
// digits and scale, each text and byte string as it was.
#include "pg_test_env.h"

#include "value_text.h"

namespace connectortest {
namespace {

// Numerics whose digits fall on every place of the server's groups of
// four, on both sides of the point, into an unconstrained column (the
// field's own digits after the point) and into numeric(30,8) (its scale).
TEST_F(PgTest, NumericsKeepTheirDigitsInEveryGroup) {
    const std::vector<std::string> values = {"0",
                                             "1",
                                             "-1",
                                             "9999",
                                             "10000",
                                             "-10001",
                                             "123456789",
                                             "0.5",
                                             "0.0001",
                                             "-0.00001",
                                             "1234.5678",
                                             "-98765.4321",
                                             "100000000.00000001",
                                             "12345678901234567890.12345678",
                                             "9223372036854775807",
                                             "-9223372036854775808",
                                             "1500000000000000000000",
                                             "0.000000000001"};
    Sql("CREATE TABLE n (id integer, free numeric, fixed numeric(40,12))");
    auto db = OpenPg({{"Table", "n"}});
    List list(static_cast<uint32_t>(values.size()));
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i < values.size(); ++i)
        rows.push_back({std::to_string(i + 1), values[i], values[i]});
    Fill(list, {{"id", RDTYPE_INT}, {"free", RDTYPE_NUMERIC}, {"fixed", RDTYPE_NUMERIC}}, rows);
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(list, 1, static_cast<uint32_t>(values.size()), &done))
        << db->LastError();
    const std::vector<std::string> back =
        Sql("SELECT free::text || '|' || fixed::text || '|' || (free = fixed)::text FROM n "
            "ORDER BY id");
    ASSERT_EQ(values.size(), back.size());
    for (size_t i = 0; i < values.size(); ++i) {
        // The fixed column shows twelve digits after the point.
        std::string fixed = values[i];
        const size_t point = fixed.find('.');
        const size_t places = point == std::string::npos ? 0 : fixed.size() - point - 1;
        fixed += (point == std::string::npos ? "." : "") + std::string(12 - places, '0');
        EXPECT_EQ(values[i] + "|" + fixed + "|true", back[i]);
    }
}

// A numeric field of a precision writes its scale (7600.00 stays so); a
// value with more digits than the column's scale is refused.
TEST_F(PgTest, NumericsWithTheFieldsScale) {
    Sql("CREATE TABLE s (v numeric, w numeric(10,1))");
    auto db = OpenPg({{"Table", "s"}});
    List list(2);
    Fill(list, {{"v", RDTYPE_NUMERIC}, {"w", RDTYPE_NUMERIC}}, {});
    const std::vector<std::vector<std::string>> rows = {{"7600", "1"}, {"-0.5", "2.25"}};
    for (uint32_t f = 1; f <= 2; ++f) {
        uint32_t field = 0;
        ASSERT_EQ(0u, RDFieldlistGetField(list, f, 256, &field, nullptr));
        ASSERT_EQ(0u, RDFieldSetFormatNumber(field, 0, 0, 12, 2));
        for (uint32_t r = 1; r <= 2; ++r)
            ASSERT_EQ(0u, rdxc::TextToValue(field, RDTYPE_NUMERIC, r, rows[r - 1][f - 1]));
    }
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(list, 1, 1, &done)) << db->LastError();
    EXPECT_EQ(RDSTATUS_RECORDFAULT, db->Insert(list, 2, 1, &done));
    EXPECT_NE(std::string::npos, db->LastError().find("2.25 has more digits after the point"))
        << db->LastError();
    EXPECT_EQ((std::vector<std::string>{"7600.00|1.0"}),
              Sql("SELECT v::text || '|' || w::text FROM s"));
}

// Date-times into timestamp, timestamptz and date columns: the server keeps
// the day and time of each, those of the Julian calendar's years too.
TEST_F(PgTest, DatetimesKeepTheirDaysAndTimes) {
    const std::vector<std::string> values = {"2020-02-29 10:00:00.25", "1752-09-14",
                                             "1700-02-28 12:00:00",    "9999-12-31 23:59:59.99",
                                             "1970-01-01 00:00:00.01", "1999-12-31 23:59:59"};
    Sql("CREATE TABLE d (id integer, ts timestamp, tz timestamptz, day date)");
    auto db = OpenPg({{"Table", "d"}});
    List list(static_cast<uint32_t>(values.size()));
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i < values.size(); ++i)
        rows.push_back({std::to_string(i + 1)});
    Fill(list, {{"id", RDTYPE_INT}}, rows);
    Fill(list, {{"ts", RDTYPE_DATETIME}, {"tz", RDTYPE_DATETIME}, {"day", RDTYPE_DATETIME}}, {});
    for (uint32_t f = 2; f <= 4; ++f) {
        uint32_t field = 0;
        ASSERT_EQ(0u, RDFieldlistGetField(list, f, 256, &field, nullptr));
        for (size_t i = 0; i < values.size(); ++i)
            ASSERT_EQ(0u, rdxc::TextToValue(field, RDTYPE_DATETIME, static_cast<uint32_t>(i + 1),
                                            values[i]))
                << values[i];
    }
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(list, 1, static_cast<uint32_t>(values.size()), &done))
        << db->LastError();
    EXPECT_EQ((std::vector<std::string>{"2020-02-29 10:00:00.25|2020-02-29 10:00:00.25|2020-02-29",
                                        "1752-09-14 00:00:00|1752-09-14 00:00:00|1752-09-14",
                                        "1700-02-28 12:00:00|1700-02-28 12:00:00|1700-02-28",
                                        "9999-12-31 23:59:59.99|9999-12-31 23:59:59.99|9999-12-31",
                                        "1970-01-01 00:00:00.01|1970-01-01 00:00:00.01|1970-01-01",
                                        "1999-12-31 23:59:59|1999-12-31 23:59:59|1999-12-31"}),
              Sql("SELECT ts::text || '|' || (tz AT TIME ZONE 'UTC')::text || '|' || day::text "
                  "FROM d ORDER BY id"));
}

// Texts in UTF-8 go as they are, others converted; byte strings as they are,
// empty ones too.
TEST_F(PgTest, TextsAndBytesAsTheyAre) {
    Sql("CREATE TABLE t (id integer, s text, b bytea)");
    auto db = OpenPg({{"Table", "t"}});
    List list(3);
    Fill(list, {{"id", RDTYPE_INT}, {"s", RDTYPE_TEXT}, {"b", RDTYPE_BINARY}},
         {{"1", "caf\xC3\xA9 'q'", "00FF10"}, {"2", "", ""}, {"3", "<null>", "<null>"}});
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(list, 2, 256, &field, nullptr));
    Stream utf16(std::string("h\0\xE9\0", 4), RDCHARSET_UNICODE);
    ASSERT_EQ(0u, RDFieldSetStream(field, 2, &utf16));
    ASSERT_EQ(0u, RDFieldlistGetField(list, 3, 256, &field, nullptr));
    Stream bytes(std::string("\0\xFF\x10", 3), RDKIND_BINARY);
    ASSERT_EQ(0u, RDFieldSetStream(field, 1, &bytes));
    uint32_t done = 0;
    ASSERT_EQ(0u, db->Insert(list, 1, 3, &done)) << db->LastError();
    EXPECT_EQ((std::vector<std::string>{"1|caf\xC3\xA9 'q'|\\x00ff10", "2|h\xC3\xA9|\\x",
                                        "3|<null>|<null>"}),
              Sql("SELECT id || '|' || coalesce(s, '<null>') || '|' || coalesce(b::text, "
                  "'<null>') FROM t ORDER BY id"));
}

} // namespace
} // namespace connectortest
