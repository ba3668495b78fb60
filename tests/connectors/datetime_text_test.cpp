// SPDX-License-Identifier: Apache-2.0
// Date-time texts as the connectors read them: the ISO forms people write
// (T or a blank, fractions of any length rounded to hundredths, zones
// converted to universal time, the compact forms) and patterns of the
// property DatetimeFormat, read and written.
#include "connector_values.h"
#include "datetime_pattern.h"
#include "datetime_text.h"

#include "../values/rdx_test_env.h"

#include <gtest/gtest.h>

namespace {

class DatetimeTextTest : public rdxtest::SystemTest {
  protected:
    // The universal time of a text as "Y-M-D h:m:s.hh" (parts absent as
    // "-"), "rounded" appended when the fraction was; "refused" when it
    // does not read.
    static std::string Read(const std::string &text) {
        RDDatetime value{};
        bool rounded = false;
        if (!rdxc::ParseDatetime(text, value, &rounded)) return "refused";
        return Shown(value) + (rounded ? " rounded" : "");
    }
    static std::string Shown(const RDDatetime &value) {
        std::string text;
        EXPECT_TRUE(rdxc::FormatDatetime(value, text));
        return text;
    }
    static std::string ByPattern(const std::string &pattern, const std::string &text) {
        rdxc::DatetimePattern reader;
        std::string error;
        EXPECT_TRUE(reader.Set(pattern, error)) << error;
        rdxc::DatetimeText parts;
        RDDatetime value{};
        if (!reader.Read(text, parts) || !rdxc::DatetimeValue(parts, value)) return "refused";
        return Shown(value);
    }
};

TEST_F(DatetimeTextTest, IsoFormsAsPeopleWriteThem) {
    struct Case {
        const char *text, *read;
    };
    for (const Case &c : std::initializer_list<Case>{
             {"2024-06-30", "2024-06-30"},
             {"2024-06-30T10:15", "2024-06-30 10:15:00"},
             {"2024-06-30t10:15:00", "2024-06-30 10:15:00"},
             {"2024-06-30 10:15:00", "2024-06-30 10:15:00"},
             {"2024-06-30 10:15:00.1", "2024-06-30 10:15:00.10"},
             {"2024-06-30 10:15:00,25", "2024-06-30 10:15:00.25"},
             {"2024-06-30 10:15:00.120", "2024-06-30 10:15:00.12"},
             {"2024-06-30 10:15:00.123", "2024-06-30 10:15:00.12 rounded"},
             {"2024-06-30 10:15:00.125", "2024-06-30 10:15:00.13 rounded"},
             {"2024-06-30 10:15:00.123456", "2024-06-30 10:15:00.12 rounded"},
             {"2024-06-30 10:15:00.123456789", "2024-06-30 10:15:00.12 rounded"},
             {"2024-06-30 23:59:59.999999", "2024-07-01 00:00:00 rounded"},
             {"2024-12-31 23:59:59.995", "2025-01-01 00:00:00 rounded"},
             {"2024-06-30T10:15:00Z", "2024-06-30 10:15:00"},
             {"2024-06-30T10:15:00+02:00", "2024-06-30 08:15:00"},
             {"2024-06-30T10:15:00.5-05:30", "2024-06-30 15:45:00.50"},
             {"2024-06-30T01:00:00+0200", "2024-06-29 23:00:00"},
             {"2024-06-30T23:00:00-02", "2024-07-01 01:00:00"},
             {"20240630", "2024-06-30"},
             {"20240630T101500", "2024-06-30 10:15:00"},
             {"20240630T1015", "2024-06-30 10:15:00"},
             {"20240630T101500.5Z", "2024-06-30 10:15:00.50"},
             {"10:15:00", "10:15:00"},
             {"10:15:00+01:00", "09:15:00"},
             {"00:30:00+01:00", "23:30:00"},
             {"23:59:59.999", "23:59:59.99 rounded"},
             // The engine's calendar: Julian up to 1752-09-02.
             {"0001-01-01", "0001-01-01"},
             {"1582-10-15", "1582-10-15"},
             {"1700-02-29", "1700-02-29"},
             {"1752-09-02 23:59:59.99", "1752-09-02 23:59:59.99"},
             {"1752-09-14T00:30:00+01:00", "1752-09-02 23:30:00"},
             {"9999-12-31 23:59:59.99", "9999-12-31 23:59:59.99"},
         })
        EXPECT_EQ(c.read, Read(c.text)) << c.text;
    for (const char *refused : {"2024-6-30",
                                "2024-06-30T",
                                "2024-06-30 ",
                                "2024-06-30T25:00",
                                "2024-06-30T10:60",
                                "2024-06-30T10:15:60",
                                "2024-02-30",
                                "2024-13-01",
                                "2024-06-30T10:15:00.",
                                "2024-06-30T10:15:00+19:00",
                                "2024-06-30T10:15:00 +02:00",
                                "2024-06-30T10:15:00+2",
                                "2024-06-30T101500",
                                "20240630T10:15:00",
                                "20240630 101500",
                                "2024063",
                                "1015",
                                "10:15:00.1.2",
                                "1752-09-05",
                                "0000-12-31",
                                "0001-01-01T00:30+01:00",
                                "24:00:01",
                                "2024-06-30Z",
                                ""})
        EXPECT_EQ("refused", Read(refused)) << refused;
    EXPECT_NE(std::string::npos,
              rdxc::DatetimeCalendarProblem("1752-09-05T10:00").find("not a date of the engine"));
}

TEST_F(DatetimeTextTest, PatternsReadTheRest) {
    EXPECT_EQ("2024-06-30 10:15:00", ByPattern("%d/%m/%Y %H:%M", "30/06/2024 10:15"));
    EXPECT_EQ("2024-06-30 10:15:00", ByPattern("%d/%m/%Y %H:%M", "30/6/2024   10:15"));
    EXPECT_EQ("2024-06-30 22:15:00", ByPattern("%m/%d/%y %I:%M %p", "6/30/24 10:15 PM"));
    EXPECT_EQ("1999-01-02 00:05:00", ByPattern("%m/%d/%y %I:%M %p", "01/02/99 12:05 am"));
    EXPECT_EQ("2024-06-30 12:00:00", ByPattern("%D %I %p", "06/30/24 12 PM"));
    EXPECT_EQ("2024-06-30", ByPattern("%d %b %Y", "30 Jun 2024"));
    EXPECT_EQ("2024-06-30", ByPattern("%a, %e %B %Y", "Sunday,  30 june 2024"));
    EXPECT_EQ("2024-06-30 08:15:00.12",
              ByPattern("%Y%m%dT%H%M%S.%f%z", "20240630T101500.123456+0200"));
    EXPECT_EQ("2024-06-30 10:15:00", ByPattern("%F %T", "2024-06-30 10:15:00"));
    EXPECT_EQ("10:15:00", ByPattern("%H.%M", "10.15"));
    EXPECT_EQ("2024-06-30", ByPattern("%%%Y%m%d", "%20240630"));
    for (const char *refused : {"30/06/2024", "30/06/2024 10:15 extra", "31/02/2024 10:15",
                                "30/13/2024 10:15", "30-06-2024 10:15"})
        EXPECT_EQ("refused", ByPattern("%d/%m/%Y %H:%M", refused)) << refused;
    EXPECT_EQ("refused", ByPattern("%m/%d/%y %I:%M %p", "6/30/24 13:15 PM"));

    rdxc::DatetimePattern pattern;
    std::string error;
    EXPECT_FALSE(pattern.Set("%d/%m", error));
    EXPECT_NE(std::string::npos, error.find("year, month and day")) << error;
    EXPECT_FALSE(pattern.Set("%Y-%m-%d %Q", error));
    EXPECT_NE(std::string::npos, error.find("%Q")) << error;
    EXPECT_FALSE(pattern.Set("%M:%S", error));
    EXPECT_FALSE(pattern.Set("%Y-%m-%d%", error));
    EXPECT_FALSE(pattern.Set("literal", error));
    EXPECT_TRUE(pattern.Set("", error));
    EXPECT_TRUE(pattern.empty());
}

TEST_F(DatetimeTextTest, PatternsWriteWhatTheyRead) {
    rdxc::DatetimePattern pattern;
    std::string error, text;
    ASSERT_TRUE(pattern.Set("%a %d %b %Y, %I:%M:%S.%f %p %z", error)) << error;
    RDDatetime value{};
    ASSERT_TRUE(rdxc::ParseDatetime("2024-06-30 22:05:09.07", value));
    ASSERT_TRUE(pattern.Write(value, text));
    EXPECT_EQ("Sun 30 Jun 2024, 10:05:09.07 PM +00:00", text);
    rdxc::DatetimeText parts;
    RDDatetime back{};
    ASSERT_TRUE(pattern.Read(text, parts) && rdxc::DatetimeValue(parts, back)) << text;
    EXPECT_EQ(value.date, back.date);
    EXPECT_EQ(value.ticks, back.ticks);
    // A date alone writes midnight; a time alone has no date to write.
    ASSERT_TRUE(rdxc::ParseDatetime("0001-01-01", value));
    ASSERT_TRUE(pattern.Set("%e %B %Y %H:%M", error));
    ASSERT_TRUE(pattern.Write(value, text));
    EXPECT_EQ(" 1 January 0001 00:00", text);
    ASSERT_TRUE(rdxc::ParseDatetime("10:15:00", value));
    EXPECT_FALSE(pattern.Write(value, text));
}

// The rules read by the pattern first, then the ISO forms, and count the
// values whose fraction was rounded.
TEST_F(DatetimeTextTest, RulesCountRoundedFractions) {
    rdxc::ValueRules rules;
    RDDatetime value{};
    for (const char *text :
         {"2024-06-30 10:15:00.12", "2024-06-30 10:15:00.123", "20240630T101500.000001Z"})
        EXPECT_TRUE(rules.ReadDatetime(text, value)) << text;
    EXPECT_FALSE(rules.ReadDatetime("30/06/2024", value));
    EXPECT_EQ(2u, rules.Rounded());
}

} // namespace
