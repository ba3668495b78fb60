// SPDX-License-Identifier: Apache-2.0
// What the SQLite connector stores for each field type in each kind of
// column: the storage class and the value SQLite keeps (typeof, quote), or
// the refusal. Values are bound by type, without a text between where SQLite
// takes a number; what is stored must be what the text route stored.
#include "sqlite_test_env.h"

#include "number_forms.h"
#include "value_text.h"

#include "rdx_currency.h"
#include "rdx_datetime.h"

#include <cmath>
#include <limits>
#include <sstream>

namespace connectortest {
namespace {

// The columns, one table each: their declared types.
const std::vector<std::pair<std::string, std::string>> kColumns = {
    {"i", "INTEGER"}, {"r", "REAL"},     {"n", "NUMERIC"},      {"n2", "NUMERIC(12,2)"},
    {"t", "TEXT"},    {"d", "DATETIME"}, {"x", "DECIMAL BLOB"}, // numbers kept exactly, no affinity
    {"b", "BLOB"}};

class SqliteBindingTest : public SqliteTest {
  protected:
    void SetUp() override {
        SqliteTest::SetUp();
        db_ = OpenDb({{"Create", "yes"}});
        for (const auto &[name, type] : kColumns)
            ASSERT_EQ(0u, Execute(*db_, "CREATE TABLE t_" + name + " (c " + type + ")"));
    }
    // One field "c" of type (numeric precision and scale when given) in a
    // list of one record.
    uint32_t Field(List &list, uint32_t type, uint32_t precision = 0, int32_t scale = 0) {
        Stream name("c", 256);
        uint32_t field = 0;
        EXPECT_EQ(0u, RDFieldlistAppend(list, &name, type, &field));
        if (precision != 0) {
            EXPECT_EQ(0u, rdxc::ApplyColumnType(field, {type, precision, scale}));
        }
        return field;
    }
    // Inserts the list's one record into each table: "typeof:quote" of what
    // each stored, or "refused" (a record fault), joined by " ".
    std::string Stored(List &list) {
        std::string line;
        for (const auto &[name, type] : kColumns) {
            EXPECT_EQ(0u, db_->Set("Table", "t_" + name));
            uint32_t done = 0;
            const uint32_t status = db_->Insert(list, 1, 1, &done);
            std::string cell;
            if (status == RDSTATUS_RECORDFAULT)
                cell = "refused";
            else if (status != 0)
                cell = "failed " + std::to_string(status) + " " + db_->LastError();
            else
                cell = Query("SELECT typeof(c) || ':' || quote(c) FROM t_" + name +
                             " ORDER BY rowid DESC LIMIT 1");
            line += (line.empty() ? "" : " ") + name + "=" + cell;
        }
        return line;
    }
    // Each text as a value of the type (through the library), stored.
    std::string StoredTexts(uint32_t type, const std::vector<std::string> &texts,
                            uint32_t precision = 0, int32_t scale = 0) {
        std::string out;
        for (const std::string &text : texts) {
            List list(1);
            const uint32_t field = Field(list, type, precision, scale);
            if (text == "<null>") {
                EXPECT_EQ(0u, RDFieldSetNull(field, 1, 1));
            } else {
                EXPECT_EQ(0u, rdxc::TextToValue(field, type, 1, text)) << text;
            }
            out += text + ": " + Stored(list) + "\n";
        }
        return out;
    }

    std::unique_ptr<Connection> db_;
};

TEST_F(SqliteBindingTest, IntegersAndFloats) {
    EXPECT_EQ("0: i=integer:0 r=real:0.0 n=integer:0 n2=integer:0 t=text:'0' d=integer:0 "
              "x=integer:0 b=integer:0\n"
              "-2147483648: i=integer:-2147483648 r=real:-2147483648.0 n=integer:-2147483648 "
              "n2=integer:-2147483648 t=text:'-2147483648' d=integer:-2147483648 "
              "x=integer:-2147483648 b=integer:-2147483648\n"
              "2147483647: i=integer:2147483647 r=real:2147483647.0 n=integer:2147483647 "
              "n2=integer:2147483647 t=text:'2147483647' d=integer:2147483647 "
              "x=integer:2147483647 b=integer:2147483647\n"
              "<null>: i=null:NULL r=null:NULL n=null:NULL n2=null:NULL t=null:NULL d=null:NULL "
              "x=null:NULL b=null:NULL\n",
              StoredTexts(RDTYPE_INT, {"0", "-2147483648", "2147483647", "<null>"}));
    std::string floats;
    for (double value : {-0.0, 0.1, 1e300, -2.5, std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN()}) {
        List list(1);
        const uint32_t field = Field(list, RDTYPE_FLOAT);
        ASSERT_EQ(0u, RDFieldSetFloat(field, 1, &value));
        floats += Stored(list) + "\n";
    }
    EXPECT_EQ("i=integer:0 r=real:0.0 n=integer:0 n2=integer:0 t=text:'0.0' d=integer:0 x=real:0.0 "
              "b=real:0.0\n"
              "i=real:0.1 r=real:0.1 n=real:0.1 n2=real:0.1 t=text:'0.1' d=real:0.1 x=real:0.1 "
              "b=real:0.1\n"
              "i=real:1.0e+300 r=real:1.0e+300 n=real:1.0e+300 n2=real:1.0e+300 t=text:'1.0e+300' "
              "d=real:1.0e+300 x=real:1.0e+300 b=real:1.0e+300\n"
              "i=real:-2.5 r=real:-2.5 n=real:-2.5 n2=real:-2.5 t=text:'-2.5' d=real:-2.5 "
              "x=real:-2.5 b=real:-2.5\n"
              "i=real:Inf r=real:Inf n=real:Inf n2=real:Inf t=text:'Inf' d=real:Inf x=real:Inf "
              "b=real:Inf\n"
              "i=null:NULL r=null:NULL n=null:NULL n2=null:NULL t=null:NULL d=null:NULL "
              "x=null:NULL b=null:NULL\n",
              floats);
}

// Numerics: whole ones of 64 bits as integers (a REAL column makes them
// reals), fractions of at most 15 digits as reals, more exactly as text
// where the column keeps it, refused where SQLite would round; the field's
// scale shows in texts.
TEST_F(SqliteBindingTest, Numerics) {
    EXPECT_EQ(
        "-9223372036854775808: i=integer:-9223372036854775808 r=real:-9.2233720368547758078e+18 "
        "n=integer:-9223372036854775808 n2=integer:-9223372036854775808 "
        "t=text:'-9223372036854775808' d=integer:-9223372036854775808 "
        "x=integer:-9223372036854775808 b=text:'-9223372036854775808'\n"
        "9223372036854775807: i=integer:9223372036854775807 r=real:9.2233720368547758078e+18 "
        "n=integer:9223372036854775807 n2=integer:9223372036854775807 t=text:'9223372036854775807' "
        "d=integer:9223372036854775807 x=integer:9223372036854775807 "
        "b=text:'9223372036854775807'\n",
        StoredTexts(RDTYPE_NUMERIC, {"-9223372036854775808", "9223372036854775807"}, 19, 0));
    EXPECT_EQ(
        "0.10: i=refused r=real:0.1 n=real:0.1 n2=real:0.1 t=text:'0.10' d=real:0.1 x=real:0.1 "
        "b=text:'0.10'\n"
        "-7600.00: i=integer:-7600 r=real:-7600.0 n=integer:-7600 n2=integer:-7600 "
        "t=text:'-7600.00' d=integer:-7600 x=integer:-7600 b=text:'-7600.00'\n"
        "123456789.01: i=refused r=real:123456789.01 n=real:123456789.01 n2=real:123456789.01 "
        "t=text:'123456789.01' d=real:123456789.01 x=real:123456789.01 b=text:'123456789.01'\n"
        "0.00: i=integer:0 r=real:0.0 n=integer:0 n2=integer:0 t=text:'0.00' d=integer:0 "
        "x=integer:0 b=text:'0.00'\n",
        StoredTexts(RDTYPE_NUMERIC, {"0.10", "-7600.00", "123456789.01", "0.00"}, 12, 2));
    // Without a precision: the shortest text; 18 digits and more.
    EXPECT_EQ(
        "12345678901234567890: i=refused r=refused n=refused n2=refused "
        "t=text:'12345678901234567890' d=refused x=text:'12345678901234567890' "
        "b=text:'12345678901234567890'\n"
        "123456789012345678: i=integer:123456789012345678 r=real:1.23456789012345680004e+17 "
        "n=integer:123456789012345678 n2=integer:123456789012345678 t=text:'123456789012345678' "
        "d=integer:123456789012345678 x=integer:123456789012345678 b=text:'123456789012345678'\n"
        "1234567890123456.5: i=refused r=refused n=refused n2=refused t=text:'1234567890123456.5' "
        "d=refused x=text:'1234567890123456.5' b=text:'1234567890123456.5'\n"
        "-0.000123: i=refused r=real:-0.000123 n=real:-0.000123 n2=refused t=text:'-0.000123' "
        "d=real:-0.000123 x=real:-0.000123 b=text:'-0.000123'\n"
        "1.5E+30: i=refused r=real:1.5e+30 n=real:1.5e+30 n2=real:1.5e+30 "
        "t=text:'1500000000000000000000000000000' d=real:1.5e+30 x=real:1.5e+30 "
        "b=text:'1500000000000000000000000000000'\n",
        StoredTexts(RDTYPE_NUMERIC, {"12345678901234567890", "123456789012345678",
                                     "1234567890123456.5", "-0.000123", "1.5E+30"}));
}

TEST_F(SqliteBindingTest, Amounts) {
    EXPECT_EQ(
        "12.5: i=refused r=real:12.5 n=real:12.5 n2=real:12.5 t=text:'12.5000' d=real:12.5 "
        "x=real:12.5 b=text:'12.5000'\n"
        "-0.0005: i=refused r=real:-0.0005 n=real:-0.0005 n2=refused t=text:'-.0005' "
        "d=real:-0.0005 x=real:-0.0005 b=text:'-.0005'\n"
        "922337203685477.5807: i=refused r=refused n=refused n2=refused "
        "t=text:'922337203685477.5807' d=refused x=text:'922337203685477.5807' "
        "b=text:'922337203685477.5807'\n"
        "0: i=integer:0 r=real:0.0 n=integer:0 n2=integer:0 t=text:'.0000' d=integer:0 x=integer:0 "
        "b=text:'.0000'\n",
        StoredTexts(RDTYPE_CURRENCY, {"12.5", "-0.0005", "922337203685477.5807", "0"}));
}

// Date-times are stored as their ISO texts, old dates and times of day
// without a date too; a DATETIME column keeps them as texts.
TEST_F(SqliteBindingTest, DatetimesAsTheirTexts) {
    EXPECT_EQ(
        "1999-12-31 23:59:58.07: i=text:'1999-12-31 23:59:58.07' "
        "r=text:'1999-12-31 23:59:58.07' n=text:'1999-12-31 23:59:58.07' "
        "n2=text:'1999-12-31 23:59:58.07' t=text:'1999-12-31 23:59:58.07' "
        "d=text:'1999-12-31 23:59:58.07' x=text:'1999-12-31 23:59:58.07' "
        "b=text:'1999-12-31 23:59:58.07'\n"
        "0100-03-01 00:00:00: i=text:'0100-03-01 00:00:00' r=text:'0100-03-01 00:00:00' "
        "n=text:'0100-03-01 00:00:00' n2=text:'0100-03-01 00:00:00' "
        "t=text:'0100-03-01 00:00:00' d=text:'0100-03-01 00:00:00' "
        "x=text:'0100-03-01 00:00:00' b=text:'0100-03-01 00:00:00'\n"
        "1752-09-14: i=text:'1752-09-14' r=text:'1752-09-14' n=text:'1752-09-14' "
        "n2=text:'1752-09-14' t=text:'1752-09-14' d=text:'1752-09-14' x=text:'1752-09-14' "
        "b=text:'1752-09-14'\n"
        "2020-02-29 12:00:00+02:00: i=text:'2020-02-29 10:00:00' "
        "r=text:'2020-02-29 10:00:00' n=text:'2020-02-29 10:00:00' "
        "n2=text:'2020-02-29 10:00:00' t=text:'2020-02-29 10:00:00' "
        "d=text:'2020-02-29 10:00:00' x=text:'2020-02-29 10:00:00' "
        "b=text:'2020-02-29 10:00:00'\n"
        "23:59:59.99: i=text:'23:59:59.99' r=text:'23:59:59.99' n=text:'23:59:59.99' "
        "n2=text:'23:59:59.99' t=text:'23:59:59.99' d=text:'23:59:59.99' "
        "x=text:'23:59:59.99' b=text:'23:59:59.99'\n",
        StoredTexts(RDTYPE_DATETIME, {"1999-12-31 23:59:58.07", "0100-03-01 00:00:00", "1752-09-14",
                                      "2020-02-29 12:00:00+02:00", "23:59:59.99"}));
}

// Texts go as they are, whatever the column's affinity then makes of them;
// one held in another character set is converted first. Binary values stay
// blobs, an empty one too.
TEST_F(SqliteBindingTest, TextsAndBinaryValues) {
    EXPECT_EQ("42: i=integer:42 r=real:42.0 n=integer:42 n2=integer:42 t=text:'42' "
              "d=integer:42 x=text:'42' b=text:'42'\n"
              ": i=text:'' r=text:'' n=text:'' n2=text:'' t=text:'' d=text:'' x=text:'' "
              "b=text:''\n"
              "h\xC3\xA9llo 'x': i=text:'h\xC3\xA9llo ''x''' r=text:'h\xC3\xA9llo ''x''' "
              "n=text:'h\xC3\xA9llo ''x''' n2=text:'h\xC3\xA9llo ''x''' "
              "t=text:'h\xC3\xA9llo ''x''' d=text:'h\xC3\xA9llo ''x''' "
              "x=text:'h\xC3\xA9llo ''x''' b=text:'h\xC3\xA9llo ''x'''\n",
              StoredTexts(RDTYPE_TEXT, {"42", "", "h\xC3\xA9llo 'x'"}));
    List wide(1);
    const uint32_t text = Field(wide, RDTYPE_TEXT);
    Stream utf16(std::string("h\0\xE9\0", 4), RDCHARSET_UNICODE);
    ASSERT_EQ(0u, RDFieldSetStream(text, 1, &utf16));
    EXPECT_EQ("i=text:'h\xC3\xA9' r=text:'h\xC3\xA9' n=text:'h\xC3\xA9' n2=text:'h\xC3\xA9' "
              "t=text:'h\xC3\xA9' d=text:'h\xC3\xA9' x=text:'h\xC3\xA9' b=text:'h\xC3\xA9'",
              Stored(wide));
    EXPECT_EQ("00FF01: i=blob:X'00FF01' r=blob:X'00FF01' n=blob:X'00FF01' n2=blob:X'00FF01' "
              "t=blob:X'00FF01' d=blob:X'00FF01' x=blob:X'00FF01' b=blob:X'00FF01'\n"
              ": i=blob:X'' r=blob:X'' n=blob:X'' n2=blob:X'' t=blob:X'' d=blob:X'' x=blob:X'' "
              "b=blob:X''\n",
              StoredTexts(RDTYPE_BINARY, {"00FF01", ""}));
}

// Values bound where the fields keep them are read when the statement runs:
// records of one batch each keep their own value, and a field changed after
// the insert changes nothing stored.
TEST_F(SqliteBindingTest, EachRecordKeepsItsOwnBoundValue) {
    List list(3);
    Fill(list, {{"c", RDTYPE_TEXT}}, {{"first"}, {"second"}, {"third"}});
    ASSERT_EQ(0u, db_->Set("Table", "t_t"));
    uint32_t done = 0;
    ASSERT_EQ(0u, db_->Insert(list, 1, 3, &done)) << db_->LastError();
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(list, 1, 256, &field, nullptr));
    Stream other("changed", 256);
    ASSERT_EQ(0u, RDFieldSetStream(field, 2, &other));
    EXPECT_EQ("first,second,third", Query("SELECT group_concat(c, ',') FROM t_t"));
}

// The direct forms agree with the library's texts: every day from the
// calendar's change to well past 9999, times of day, and amounts at the
// edges.
TEST(NumberFormsTest, DatetimeTextsAsFormatDatetimeWritesThem) {
    rdtest::TempHome home;
    ASSERT_EQ(0u, home.StartPlatform());
    ASSERT_EQ(0u, RDSystemInit());
    std::string expected;
    char text[rdxc::kDatetimeTextSize];
    size_t length = 0;
    size_t checked = 0;
    for (uint32_t day = 2361222; day < 5373484 + 400; day += 7) {
        for (uint32_t ticks : {RDDT_ABSENT, 0u, 1u, 8639999u, 4321099u}) {
            const RDDatetime value{ticks, day};
            if (!rdxc::QuickDatetimeText(value, text, length)) continue;
            ASSERT_TRUE(rdxc::FormatDatetime(value, expected)) << day;
            ASSERT_EQ(expected, std::string(text, length)) << day << " " << ticks;
            ++checked;
        }
    }
    EXPECT_GT(checked, 1000000u);
    // Before the Gregorian calendar, in a zone, 24:00 and times alone are
    // left to the library.
    EXPECT_FALSE(rdxc::QuickDatetimeText({0, 2361221}, text, length));
    EXPECT_FALSE(rdxc::QuickDatetimeText({0, 2459000 | (0x42u << 24)}, text, length));
    EXPECT_FALSE(rdxc::QuickDatetimeText({RDDT_MAX_TICKS, 2459000}, text, length));
    EXPECT_FALSE(rdxc::QuickDatetimeText({100, RDDT_ABSENT}, text, length));
    RDSystemTerm();
}

TEST(NumberFormsTest, AmountTextsAsTheLibraryWritesThem) {
    rdtest::TempHome home;
    ASSERT_EQ(0u, home.StartPlatform());
    ASSERT_EQ(0u, RDSystemInit());
    for (int64_t units :
         {int64_t{0}, int64_t{5}, int64_t{-5}, int64_t{10000}, int64_t{-125000}, int64_t{123456789},
          std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min()}) {
        RDCurrency amount{static_cast<uint32_t>(static_cast<uint64_t>(units)),
                          static_cast<uint32_t>(static_cast<uint64_t>(units) >> 32)};
        Stream library;
        ASSERT_EQ(0u, RDStreamCreate(&library, 0, 0, RDCHARSET_INTERCHANGE));
        ASSERT_EQ(0u, RDStreamFromCurrency(&library, &amount, RDCHARSET_INTERCHANGE));
        char text[rdxc::kCurrencyTextSize];
        EXPECT_EQ(units, rdxc::CurrencyUnits(amount));
        EXPECT_EQ(library.Bytes(), std::string(text, rdxc::CurrencyText(units, text))) << units;
    }
    RDSystemTerm();
}

// A decimal's double is the one its text reads as, where it is computed
// from the digits; others are left to the text.
TEST(NumberFormsTest, ExactDoublesReadAsTheirTexts) {
    for (const char *text : {"0.1", "-123456789.012345", "999999999999999", "1e22", "3e-22",
                             "0.000000000000000000001", "8.5e15"}) {
        rdxc::Decimal value;
        ASSERT_TRUE(rdxc::ParseDecimal(text, value)) << text;
        double real = 0;
        ASSERT_TRUE(rdxc::ExactDouble(value, real)) << text;
        EXPECT_EQ(std::strtod(text, nullptr), real) << text;
    }
    for (const char *text : {"1234567890123456", "1e23", "1e-23"}) {
        rdxc::Decimal value;
        ASSERT_TRUE(rdxc::ParseDecimal(text, value));
        double real = 0;
        EXPECT_FALSE(rdxc::ExactDouble(value, real)) << text;
    }
}

} // namespace
} // namespace connectortest
