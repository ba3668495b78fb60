// SPDX-License-Identifier: Apache-2.0
// Every server type read into fields and written back: integers of every
// width and sign, DECIMAL(65,30), floats, dates and times with fractions,
// texts in utf8mb4, bytes, JSON. Compared value by value both ways.
#include "mysql_test_env.h"

#include "rdx_field.h"

namespace connectortest {
namespace {

class MysqlTypesTest : public MysqlTest {};

const char *const kTypesTable =
    "CREATE TABLE types (id int PRIMARY KEY, ti tinyint, tiu tinyint unsigned, si smallint, "
    "siu smallint unsigned, mi mediumint, miu mediumint unsigned, i int, iu int unsigned, "
    "bi bigint, biu bigint unsigned, d65 decimal(65,30), d10 decimal(10,2), f float, "
    "db double, dt date, dtt datetime(6), ts timestamp(2) NULL, tm time(3), y year, c char(5), "
    "vc varchar(100), tx text, bn binary(4), vb varbinary(10), bl blob, js json, e enum('a','b')) "
    "DEFAULT CHARSET=utf8mb4";

const char *const kTypesRows =
    "INSERT INTO types VALUES "
    "(1, -128, 255, -32768, 65535, -8388608, 16777215, -2147483648, 4294967295, "
    "-9223372036854775808, 18446744073709551615, "
    "'-12345678901234567890123456789012345.123456789012345678901234567890', -12345678.99, 1.5, "
    "2.718281828459045, '2024-02-29', '2024-02-29 23:59:58.120000', '2038-01-19 03:14:07.99', "
    "'-838:59:59.000', 2155, 'ab', 'h\xC3\xA9llo \xE2\x98\x83 \xF0\x9F\x98\x80', 'long text', "
    "0x00FF1020, 0xDEADBEEF, 0x0001, '{\"k\": [1, 2]}', 'b'),"
    "(2, 127, 0, 32767, 0, 8388607, 0, 2147483647, 0, 9223372036854775807, 0, "
    "'99999999999999999999999999999999999.999999999999999999999999999999', 0.01, -0.25, "
    "-1e308, '0001-01-01', '9999-12-31 23:59:59.99', '1970-01-01 00:00:01', '00:00:00', 1901, "
    "'', '', '', 0x00000000, X'', X'', '[]', 'a'),"
    "(3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
    "NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)";

std::string Code(uint32_t type) {
    return std::to_string(type);
}

TEST_F(MysqlTypesTest, EveryTypeReadAsItsFieldType) {
    Sql(kTypesTable);
    Sql(kTypesRows);
    auto c = Open();
    ASSERT_EQ(0u, c->Set("SQL", "SELECT * FROM types ORDER BY id"));
    List list(10);
    ASSERT_EQ(0u, c->Select(list, 10)) << c->LastError();
    const std::string i = Code(RDTYPE_INT), n = Code(RDTYPE_NUMERIC), f = Code(RDTYPE_FLOAT),
                      d = Code(RDTYPE_DATETIME), t = Code(RDTYPE_TEXT), b = Code(RDTYPE_BINARY);
    EXPECT_EQ("id:" + i + ",ti:" + i + ",tiu:" + i + ",si:" + i + ",siu:" + i + ",mi:" + i +
                  ",miu:" + i + ",i:" + i + ",iu:" + n + ",bi:" + n + ",biu:" + n + ",d65:" + n +
                  ",d10:" + n + ",f:" + f + ",db:" + f + ",dt:" + d + ",dtt:" + d + ",ts:" + d +
                  ",tm:" + t + ",y:" + i + ",c:" + t + ",vc:" + t + ",tx:" + t + ",bn:" + b +
                  ",vb:" + b + ",bl:" + b + ",js:" + t + ",e:" + t,
              Layout(list));
    // The numerics carry the columns' digits.
    auto format = [&](uint32_t position) {
        uint32_t field = 0, precision = 0, scale = 0;
        EXPECT_EQ(0u, RDFieldlistGetField(list, position, 256, &field, nullptr));
        RDFieldGetFormatNumber(field, nullptr, nullptr, &precision, &scale);
        return std::to_string(precision) + "," + std::to_string(scale);
    };
    EXPECT_EQ("10,0", format(9));
    EXPECT_EQ("19,0", format(10));
    EXPECT_EQ("20,0", format(11));
    EXPECT_EQ("65,30", format(12));
    EXPECT_EQ("10,2", format(13));
    std::vector<std::string> rows;
    FetchAll(*c, list, rows);
    ASSERT_EQ(3u, rows.size()) << c->LastError();
    // Date-times as the library shows them; fractions of hundredths kept.
    const std::string first =
        "1|-128|255|-32768|65535|-8388608|16777215|-2147483648|4294967295|"
        "-9223372036854775808|18446744073709551615|"
        "-12345678901234567890123456789012345.12345678901234567890123456789|-12345678.99|1.5|"
        "2.71828182845905|02/29/2024|02/29/2024 11:59:58.12 PM|01/19/2038 03:14:07.99 AM|"
        "-838:59:59.000|2155|ab|h\xC3\xA9llo \xE2\x98\x83 \xF0\x9F\x98\x80|long text|" +
        std::string("\0\xFF\x10\x20", 4) + "|\xDE\xAD\xBE\xEF|" + std::string("\0\x01", 2) +
        "|{\"k\": [1, 2]}|b";
    const std::string second =
        "2|127|0|32767|0|8388607|0|2147483647|0|9223372036854775807|0|"
        "99999999999999999999999999999999999.999999999999999999999999999999|0.01|-0.25|-1e+308|"
        "01/01/01|12/31/9999 11:59:59.99 PM|01/01/1970 12:00:01 AM|00:00:00.000|1901||||" +
        std::string(4, '\0') + "|||[]|a";
    EXPECT_EQ(first, rows[0]);
    EXPECT_EQ(second, rows[1]);
    std::string nulls = "3";
    for (int column = 2; column <= 28; ++column)
        nulls += "|<null>";
    EXPECT_EQ(nulls, rows[2]);
}

// The rows read are written into a table of the same columns and come out
// equal, column by column, as the server shows them: by prepared inserts
// and by LOAD DATA (texts with tabs, line ends, backslashes and zero bytes).
TEST_F(MysqlTypesTest, EveryTypeWrittenBackUnchanged) {
    Sql(kTypesTable);
    Sql(kTypesRows);
    Sql("INSERT INTO types (id, vc, bl) VALUES (4, 'a\\tb\\nc\\\\d\\0e\\\\N', "
        "0x5C4E0009000A5C)");
    Sql("CREATE TABLE copy LIKE types");
    for (const char *loadData : {"0", "1"}) {
        SCOPED_TRACE(std::string("LoadData ") + loadData);
        Sql("DELETE FROM copy");
        auto source = Open();
        ASSERT_EQ(0u, source->Set("SQL", "SELECT * FROM types ORDER BY id"));
        auto target = Open({{"Table", "copy"}, {"LoadData", loadData}});
        EXPECT_EQ(RDX_END_OF_DATA, Copy(*source, *target, 3)) << target->LastError();
        const std::vector<std::string> columns = {
            "id",  "ti",  "tiu", "si",      "siu",     "mi",      "miu", "i",  "iu", "bi",
            "biu", "d65", "d10", "f",       "db",      "dt",      "dtt", "ts", "tm", "y",
            "c",   "vc",  "tx",  "hex(bn)", "hex(vb)", "hex(bl)", "js",  "e"};
        for (const std::string &column : columns) {
            const std::string select = "SELECT " + column + " FROM ";
            EXPECT_EQ(Sql(select + "types ORDER BY id"), Sql(select + "copy ORDER BY id"))
                << column;
        }
        EXPECT_EQ("4", Sql("SELECT COUNT(*) FROM copy").at(0));
    }
}

} // namespace
} // namespace connectortest
