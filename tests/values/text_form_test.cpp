// SPDX-License-Identifier: Apache-2.0
// Text forms of integers, floats and datetimes, both ways.
#include "rdx_test_env.h"
#include "rdx_text.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

using rdxtest::Stream;

namespace {

class TextForm : public rdxtest::SystemTest {
  protected:
    // International settings changed for one test.
    void Settings(uint32_t order, bool clock24, const char *dateSep = "/",
                  const char *timeSep = ":", const char *decimal = ".") {
        RDIntlFormat f = *RDPlatGetIntlFormat();
        f.dateOrder = order;
        f.intlFlags = clock24 ? f.intlFlags | RDINTL_24HOUR : f.intlFlags & ~RDINTL_24HOUR;
        std::strcpy(f.dateSeparator, dateSep);
        std::strcpy(f.timeSeparator, timeSep);
        std::strcpy(f.decimalSeparator, decimal);
        ASSERT_EQ(0u, RDPlatSetIntlFormat(&f));
    }
    static RDDatetime Value(int32_t y, int32_t mo, int32_t d, int32_t h, int32_t mi, int32_t s,
                            int32_t hu) {
        const RDDatetimeParts p{y, mo, d, -1, h, mi, s, hu, 1, -5};
        RDDatetime v{};
        EXPECT_EQ(0u, RDDatetimeSetParts(&v, &p, 0));
        return v;
    }
    static std::string Text(const RDDatetime &v) {
        Stream out;
        EXPECT_EQ(0u, RDStreamFromDatetime(&out, &v, RDCHARSET_INTERCHANGE));
        return out.Bytes();
    }
};

TEST_F(TextForm, DatetimeWritingInEveryOrderAndClock) {
    const RDDatetime full = Value(1996, 12, 25, 22, 30, 0, 0);
    const RDDatetime timeOnly = Value(-1, -1, -1, 9, 5, 3, 7);
    const RDDatetime dateOnly = Value(1996, 12, 25, -1, -1, -1, -1);
    const RDDatetime early = Value(5, 1, 2, 0, 0, 0, 0);
    const std::tuple<uint32_t, bool, const RDDatetime &, const char *> cases[] = {
        {1, false, full, "12/25/1996 10:30:00 PM"}, {2, false, full, "25/12/1996 10:30:00 PM"},
        {3, true, full, "1996/12/25 22:30:00"},     {1, false, timeOnly, "09:05:03.07 AM"},
        {1, true, timeOnly, "09:05:03.07"},         {1, false, dateOnly, "12/25/1996"},
        {3, false, early, "05/01/02 12:00:00 AM"}};
    for (const auto &[order, clock24, value, text] : cases) {
        Settings(order, clock24);
        EXPECT_EQ(text, Text(value));
    }
    // Hours 0-11 carry the AM text, 12-23 the PM text.
    Settings(1, false, "-", ".", ",");
    const std::pair<int32_t, const char *> hours[] = {{0, "12.30.00 AM"},
                                                      {11, "11.30.00 AM"},
                                                      {12, "12.30.00 PM"},
                                                      {13, "01.30.00 PM"},
                                                      {23, "11.30.00 PM"}};
    for (const auto &[hour, text] : hours)
        EXPECT_EQ(text, Text(Value(-1, -1, -1, hour, 30, 0, 0)));
    EXPECT_EQ("12-25-1996 10.30.00,05 PM", Text(Value(1996, 12, 25, 22, 30, 0, 5)));
    RDDatetime none{};
    RDDatetimeClear(&none);
    EXPECT_EQ("", Text(none));
    // Other character sets, checks in order, values that cannot be split.
    Stream wide;
    ASSERT_EQ(0u, RDStreamFromDatetime(&wide, &dateOnly, RDCHARSET_UNICODE));
    EXPECT_EQ(rdxtest::Wide(u"12-25-1996"), wide.Bytes());
    EXPECT_EQ(12808u, RDStreamFromDatetime(nullptr, &full, 256));
    EXPECT_EQ(12300u, RDStreamFromDatetime(&wide, &full, 0));
    EXPECT_EQ(12807u, RDStreamFromDatetime(&wide, nullptr, 256));
    const RDDatetime tooEarly{0, 5};
    EXPECT_EQ(12807u, RDStreamFromDatetime(&wide, &tooEarly, 256));
}

TEST_F(TextForm, DatetimeReadingOfEveryForm) {
    // clang-format off
    const std::tuple<uint32_t, const char *, const char *> cases[] = {
        {1, "12/25/1996", "1996-12-25"}, {1, "December 25, 1996", "1996-12-25"},
        {1, "25 Dec 1996", "1996-12-25"}, {1, "Dec. 25 1996", "1996-12-25"},
        {1, "sept. 3, 1996", "1996-9-3"}, {1, "jan 1996", "1996-1-1"},
        {1, " 12 - 25 - 1996 ", "1996-12-25"}, {2, "25/12/1996", "1996-12-25"},
        {3, "1996/12/25 23:59:59.99", "1996-12-25 23:59:59.99"},
        {1, "10:30 PM 12/25/1996", "1996-12-25 22:30:00.00"},
        {1, "12/25/1996 10:30:15 AM", "1996-12-25 10:30:15.00"},
        {1, "Dec 25 1996 10:30", "1996-12-25 10:30:00.00"}, {1, "10:30", "10:30:00.00"},
        {1, "12:30 PM", "12:30:00.00"}, {1, "12:00 PM", "12:00:00.00"},
        {1, "12:15 AM", "0:15:00.00"}, {1, "11:00 PM", "23:00:00.00"},
        {1, "1:02:03.5", "1:02:03.50"}, {1, "1:02:03:123", "1:02:03.12"},
        {1, "1:02:03.07", "1:02:03.07"},
        // White space around every separator, the hundredths' too.
        {1, "10 : 30 : 45 . 5 PM", "22:30:45.50"}, {1, "10:30:45 .5", "10:30:45.50"},
        {1, "10:30:45. 5", "10:30:45.50"}, {1, "10:30:45 : 07", "10:30:45.07"}};
    // clang-format on
    for (const auto &[order, text, parts] : cases) {
        Settings(order, false);
        Stream in(text, RDCHARSET_INTERCHANGE);
        RDDatetime v{};
        ASSERT_EQ(0u, RDDatetimeFromStream(&v, &in)) << text;
        RDDatetimeParts p{};
        EXPECT_EQ(0u, RDDatetimeGetParts(&v, 0, &p));
        EXPECT_EQ(parts, rdxtest::Show(p)) << text;
    }
    // Written texts read back to the same value, in every order and clock.
    const RDDatetime value = Value(1999, 2, 3, 13, 4, 5, 60);
    for (uint32_t order : {1u, 2u, 3u})
        for (bool clock24 : {false, true}) {
            Settings(order, clock24, order == 2 ? "." : "/");
            Stream text;
            ASSERT_EQ(0u, RDStreamFromDatetime(&text, &value, RDCHARSET_INTERCHANGE));
            RDDatetime back{};
            ASSERT_EQ(0u, RDDatetimeFromStream(&back, &text)) << text.Bytes();
            EXPECT_EQ(0, std::memcmp(&value, &back, sizeof back)) << text.Bytes();
        }
}

// A local text reads as the moment in UTC that the record's zone and the
// one daylight rule (first Sunday of April to last Sunday of October) give,
// and writes back as the same text. Neither TZ nor the current date take
// part: each case is read in the TZ named and at a winter and a summer
// moment of the clock.
TEST_F(TextForm, LocalTextsReadBackAcrossTheDaylightChanges) {
    struct Case {
        const char *tz;
        int32_t zone;
        bool dst;
        const char *text, *utc, *back; // back: the text written, when not the text read
    };
    // 2024: daylight saving from 04-07 02:00 to 10-27 01:00 standard time.
    // clang-format off
    const Case cases[] = {
        {"America/New_York", -5, true, "2024-01-15 12:00:00", "2024-01-15 17:00:00", nullptr},
        {"America/New_York", -5, true, "2024-07-15 12:00:00", "2024-07-15 16:00:00", nullptr},
        {"America/New_York", -5, false, "2024-07-15 12:00:00", "2024-07-15 17:00:00", nullptr},
        // The spring change: 02:xx is skipped and reads as the change, 03:00.
        {"America/New_York", -5, true, "2024-04-07 01:59:59", "2024-04-07 06:59:59", nullptr},
        {"America/New_York", -5, true, "2024-04-07 02:30:00", "2024-04-07 07:00:00", "2024-04-07 03:00:00"},
        {"America/New_York", -5, true, "2024-04-07 03:00:00", "2024-04-07 07:00:00", nullptr},
        // The autumn change: 01:xx is shown twice and reads as standard
        // time, its second pass.
        {"America/New_York", -5, true, "2024-10-27 00:59:59", "2024-10-27 04:59:59", nullptr},
        {"America/New_York", -5, true, "2024-10-27 01:30:00", "2024-10-27 06:30:00", nullptr},
        {"America/New_York", -5, true, "2024-10-27 02:00:00", "2024-10-27 07:00:00", nullptr},
        {"Europe/Berlin", 1, true, "2024-01-15 12:00:00", "2024-01-15 11:00:00", nullptr},
        {"Europe/Berlin", 1, true, "2024-07-15 12:00:00", "2024-07-15 10:00:00", nullptr},
        {"Europe/Berlin", 1, true, "2024-10-27 01:30:00", "2024-10-27 00:30:00", nullptr},
        {"Europe/Berlin", 1, true, "2024-04-07 03:30:00", "2024-04-07 01:30:00", nullptr},
        // South of the equator the record's zone counts, not TZ's rules.
        {"Australia/Sydney", 10, false, "2024-01-15 12:00:00", "2024-01-15 02:00:00", nullptr},
        {"Australia/Sydney", 10, false, "2024-07-15 00:30:00", "2024-07-14 14:30:00", nullptr},
        {"Australia/Sydney", 10, true, "2024-01-15 12:00:00", "2024-01-15 02:00:00", nullptr},
        {"Australia/Sydney", 10, true, "2024-07-15 12:00:00", "2024-07-15 01:00:00", nullptr}};
    // clang-format on
    constexpr int64_t kWinterNow = 1705320000, kSummerNow = 1721044800; // 01-15, 07-15
    struct Restore {
        ~Restore() { // after tz has put TZ back
            tzset();
            RDTestClockSet(0, 0, 0);
        }
    } restore;
    rdxtest::ScopedEnv tz("TZ", "UTC");
    // Day number and ticks of a UTC text, computed apart from the library.
    const auto utc = [](const char *text) {
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
        EXPECT_EQ(6, std::sscanf(text, "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s));
        const std::chrono::sys_days day{std::chrono::year(y) / mo / d};
        return std::pair<uint32_t, uint32_t>(
            static_cast<uint32_t>(day.time_since_epoch().count() + 2440588),
            static_cast<uint32_t>(((h * 60 + mi) * 60 + s) * 100));
    };
    for (const Case &c : cases)
        for (int64_t now : {kWinterNow, kSummerNow}) {
            setenv("TZ", c.tz, 1);
            tzset();
            RDTestClockSet(1, now, 0);
            RDIntlFormat f = *RDPlatGetIntlFormat();
            f.timeZone = c.zone;
            f.intlFlags = RDINTL_24HOUR | (c.dst ? RDINTL_DST : 0);
            f.dateOrder = RDINTL_YMD;
            std::strcpy(f.dateSeparator, "-");
            ASSERT_EQ(0u, RDPlatSetIntlFormat(&f));
            const std::string label =
                std::string(c.tz) + " " + c.text + " at " + std::to_string(now);
            Stream in(c.text, RDCHARSET_INTERCHANGE);
            RDDatetime v{};
            ASSERT_EQ(0u, RDDatetimeFromStream(&v, &in)) << label;
            const auto [day, ticks] = utc(c.utc);
            EXPECT_EQ(day, RDDatetimeGetJulian(&v)) << label;
            EXPECT_EQ(ticks, v.ticks) << label;
            EXPECT_EQ(c.back != nullptr ? c.back : c.text, Text(v)) << label;
        }
}

TEST_F(TextForm, DatetimeReadingRefusesMalformedTexts) {
    // clang-format off
    const std::string texts[] = {
        "", "1996", "hello", "0/25/1996", "12/25", "12/25 1996", "25 Dec", "JANUARY 5 1996",
        "Dec x", "25 xyz 1996", "2/30/1996", "9/10/1752", ":30", "10:", "10:30:", "10:30:15.",
        "24:00", "10:60", "10:30:45 :PM", "10:30:45 . PM", "12:30 PM 13/25/1996", "12/25/99999999999", "12/25/-1", "-1/-1/-1",
        "10:4294967296", "4294967308:00", "99999999999999999999999:1", "96/1/2" /* month 96 */,
        std::string("12/25/\0" "1996", 10)};
    // clang-format on
    for (const std::string &text : texts) {
        Stream in(text, RDCHARSET_INTERCHANGE);
        RDDatetime v{1, 2};
        EXPECT_EQ(12807u, RDDatetimeFromStream(&v, &in)) << text;
        EXPECT_TRUE(v.ticks == 1 && v.date == 2) << text;
    }
    Stream in("12/25/1996", RDCHARSET_INTERCHANGE);
    RDDatetime v{};
    EXPECT_EQ(12807u, RDDatetimeFromStream(nullptr, &in));
    EXPECT_EQ(12807u, RDDatetimeFromStream(&v, nullptr));
    Stream wide(rdxtest::Wide(u"1/2/3"), RDCHARSET_UNICODE);
    ASSERT_EQ(0u, RDDatetimeFromStream(&v, &wide));
    EXPECT_EQ(1721424u + 730 + 1, RDDatetimeGetJulian(&v)); // 0003-01-02
}

} // namespace
