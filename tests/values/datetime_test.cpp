// SPDX-License-Identifier: Apache-2.0
// Datetimes: calendar, zones and daylight saving, flags, limits,
// comparison, differences and adjustment.
#include "rdx_datetime.h"
#include "rdx_test_env.h"
#include "rdx_text.h"

#include <vector>

namespace {

using Parts = RDDatetimeParts;
using rdxtest::Show;

Parts Make(int32_t y, int32_t mo, int32_t d, int32_t h = -1, int32_t mi = -1, int32_t s = -1,
           int32_t hu = -1, int32_t dst = 0, int32_t zone = 0) {
    return Parts{y, mo, d, -1, h, mi, s, hu, dst, zone};
}

RDDatetime Build(const Parts &p, uint32_t flags = 0) {
    RDDatetime v{};
    EXPECT_EQ(0u, RDDatetimeSetParts(&v, &p, flags)) << Show(p, true);
    return v;
}

Parts Split(const RDDatetime &v, uint32_t flags = 0) {
    Parts p{};
    EXPECT_EQ(0u, RDDatetimeGetParts(&v, flags, &p));
    return p;
}

// The leap rule written independently of the library.
int DaysIn(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = y <= 1752 ? y % 4 == 0 : (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

class Datetime : public rdxtest::SystemTest {
  protected:
    void TearDown() override {
        RDTestClockSet(0, 0, 0);
        SystemTest::TearDown();
    }
};

TEST_F(Datetime, EveryDayFromYear1To9999RoundTrips) {
    uint32_t expected = 1721424; // 0001-01-01
    for (int y = 1; y <= 9999; ++y)
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= DaysIn(y, m); ++d) {
                if (y == 1752 && m == 9 && d > 2 && d < 14) continue;
                const Parts in = Make(y, m, d);
                const RDDatetime v = Build(in);
                ASSERT_EQ(expected, RDDatetimeGetJulian(&v)) << Show(in);
                const Parts out = Split(v);
                ASSERT_EQ(Show(in), Show(out));
                ASSERT_EQ(static_cast<int32_t>((expected + 1) % 7 + 1), out.weekday);
                ++expected;
            }
}

TEST_F(Datetime, CalendarAnchorsAndInvalidDates) {
    // The round trip counts from 0001-01-01; two anchors fix the numbering.
    const RDDatetime epoch = Build(Make(1970, 1, 1)), change = Build(Make(1752, 9, 14));
    EXPECT_EQ(2440588u, RDDatetimeGetJulian(&epoch));
    EXPECT_EQ(5, Split(epoch).weekday); // a Thursday
    EXPECT_EQ(2361222u, RDDatetimeGetJulian(&change));
    // clang-format off
    const Parts invalid[] = {
        Make(1752, 9, 10), Make(1752, 9, 3), Make(1752, 9, 13), Make(1900, 2, 29),
        Make(2001, 2, 29), Make(0, 1, 1), Make(1996, 13, 1), Make(1996, 4, 31),
        Make(1996, 1, 1, 24, 0, 0, 0), Make(1996, 1, 1, 0, 60, 0, 0), Make(1996, 1, 1, 0, 0, 0, 100),
        Make(1996, 1, 1, 12, 0, 0, 0, 0, 16), Make(1996, 1, 1, 12, 0, 0, 0, 0, -24),
        Make(1996, 1, 1, 12, 0, 0, 0, 0, 6000), Make(1996, 1, 1, 12, 0, 0, 0, 0, 9999)};
    // clang-format on
    for (const Parts &p : invalid) {
        RDDatetime v{7, 7};
        EXPECT_EQ(12807u, RDDatetimeSetParts(&v, &p, 0)) << Show(p, true);
        EXPECT_EQ(7u, v.ticks); // untouched on failure
    }
}

TEST_F(Datetime, ZonesAndDaylightSaving) {
    // Local parts, the day, ticks and zone byte stored, the daylight flag read back.
    const std::tuple<Parts, uint32_t, uint32_t, uint32_t, int32_t> cases[] = {
        {Make(1970, 1, 1, 12, 0, 0, 0, 0, 0), 2440588, 4320000, 0x00, 0},
        {Make(1970, 1, 1, 12, 0, 0, 0, 0, -5), 2440588, 6120000, 0x05, 0},
        {Make(1970, 1, 1, 12, 0, 0, 0, 1, 3005), 2440588, 2340000, 0xE5, 0},
        {Make(1970, 1, 1, 12, 0, 0, 0, 0, -3003), 2440588, 5580000, 0x23, 0},
        {Make(1970, 1, 1, 2, 0, 0, 0, 0, 4510), 2440587, 5490000, 0x7A, 0},
        {Make(1970, 1, 1, 22, 0, 0, 0, 0, -3), 2440589, 360000, 0x03, 0},
        {Make(1996, 7, 1, 12, 0, 0, 0, 1, -5), 2450266, 5760000, 0x85, 1},
        {Make(1996, 4, 7, 1, 59, 0, 0, 1, -5), 2450181, 2514000, 0x85, 0},
        {Make(1996, 4, 7, 3, 0, 0, 0, 1, -5), 2450181, 2520000, 0x85, 1},
        {Make(1996, 10, 27, 0, 30, 0, 0, 1, -5), 2450384, 1620000, 0x85, 1},
        {Make(1996, 10, 27, 1, 30, 0, 0, 1, -5), 2450384, 2340000, 0x85, 0},
        {Make(1996, 10, 27, 2, 0, 0, 0, 1, -5), 2450384, 2520000, 0x85, 0},
        {Make(1996, 10, 26, 23, 59, 59, 99, 1, -5), 2450384, 1439999, 0x85, 1},
        {Make(1996, 7, 1, 12, 0, 0, 0, 0, -5), 2450266, 6120000, 0x05, 0}};
    for (auto [local, day, ticks, zoneByte, dst] : cases) {
        const RDDatetime v = Build(local);
        EXPECT_EQ(day | zoneByte << 24, v.date) << Show(local, true);
        EXPECT_EQ(ticks, v.ticks) << Show(local, true);
        local.dst = dst;
        EXPECT_EQ(Show(local, true), Show(Split(v), true));
    }
    // The skipped hour of the April change day becomes 03:00 daylight time.
    const RDDatetime skipped = Build(Make(1996, 4, 7, 2, 30, 15, 5, 1, -5));
    EXPECT_EQ("1996-4-7 3:00:00.00 1 -5", Show(Split(skipped), true));
}

TEST_F(Datetime, ClockTimesDoNotChangeDatesOrTimesAlone) {
    rdxtest::ScopedEnv tz("TZ", "EST5EDT,M4.1.0,M10.5.0");
    // 1996-12-25 and 1996-07-04 at several hours, UTC.
    const int64_t moments[] = {851472000, 851472000 + 1800,  851472000 + 43200, 851472000 + 84600,
                               836438400, 836438400 + 10800, 836438400 + 80000};
    for (int64_t moment : moments) {
        RDTestClockSet(1, moment, 0);
        for (int32_t zone : {-5, 4510, -11, 13, 0})
            for (int32_t dst : {0, 1}) {
                const RDDatetime v = Build(Make(1996, 12, 25, -1, -1, -1, -1, dst, zone));
                EXPECT_EQ(2450443u, RDDatetimeGetJulian(&v)) << moment << " " << zone;
                EXPECT_EQ(RDDT_ABSENT, v.ticks);
                EXPECT_EQ("1996-12-25", Show(Split(v))) << moment << " " << zone;
            }
        const RDDatetime timeOnly = Build(Make(-1, -1, -1, 23, 30, 0, 0, 1, -5));
        EXPECT_TRUE(timeOnly.date == RDDT_ABSENT && timeOnly.ticks == 8460000u) << moment;
        EXPECT_EQ(23, Split(timeOnly).hour);
        // The date reader follows the same rule.
        rdxtest::Stream text("12/25/1996", RDCHARSET_INTERCHANGE);
        RDDatetime read{};
        ASSERT_EQ(0u, RDDatetimeFromStream(&read, &text));
        EXPECT_EQ(2450443u | 0x85u << 24, read.date) << moment;
    }
    // The current time: 1996-07-04 15:00:07.25 UTC is 11:00:07.25 daylight time.
    RDTestClockSet(1, 836438400 + 3600 * 15 + 7, 250000000);
    RDDatetime now{};
    ASSERT_EQ(0u, RDDatetimeSetCurrent(&now));
    EXPECT_EQ("1996-7-4 11:00:07.25 1 -5", Show(Split(now), true));
    EXPECT_EQ(5400725u, now.ticks);
    EXPECT_EQ(12807u, RDDatetimeSetCurrent(nullptr));
}

TEST_F(Datetime, NullFlagsAndPlatformZones) {
    // Written as absent: one- or zero-filled parts.
    const Parts one = Split(Build(Make(-1, -1, -1, 9, 5, 3, 7)), RDDT_ONENULL);
    EXPECT_EQ("1-1-1 9:05:03.07", Show(one));
    EXPECT_EQ(1, one.weekday);
    EXPECT_EQ("1996-12-25 0:00:00.00", Show(Split(Build(Make(1996, 12, 25)), RDDT_ZERONULL)));
    // Read as absent: 0-0-0 / 1-1-1 dates and midnight.
    EXPECT_EQ(RDDT_ABSENT, Build(Make(0, 0, 0, 10, 0, 0, 0), RDDT_ZERONULL).date);
    EXPECT_EQ(RDDT_ABSENT, Build(Make(1, 1, 1, 10, 0, 0, 0), RDDT_ONENULL).date);
    EXPECT_EQ(RDDT_ABSENT, Build(Make(1996, 1, 1, 0, 0, 0, 0), RDDT_ONENULL).ticks);
    EXPECT_EQ(0u, Build(Make(1996, 1, 1, 0, 0, 0, 0)).ticks);
    // The platform's zone (-5 with daylight saving) or UTC with its daylight saving.
    const RDDatetime local = Build(Make(1996, 7, 1, 12, 0, 0, 0, 0, 3000), RDDT_LOCALZONE);
    EXPECT_TRUE(local.date >> 24 == 0x85 && local.ticks == 5760000);
    const RDDatetime utc = Build(Make(1996, 1, 1, 12, 0, 0, 0, 0, -7), RDDT_UTC);
    EXPECT_TRUE(utc.date >> 24 == 0x80 && utc.ticks == 4320000);
    EXPECT_EQ(17, Split(local, RDDT_UTC).hour);
    // Refused flags, null arguments (given parts zeroed) and out-of-range years.
    RDDatetime v{};
    Parts p = Make(1996, 1, 1), filled = Make(5, 5, 5, 5, 5, 5, 5, 5, 5);
    EXPECT_EQ(12304u, RDDatetimeSetParts(&v, &p, RDDT_ZERONULL | RDDT_ONENULL));
    EXPECT_EQ(12304u, RDDatetimeSetParts(&v, &p, RDDT_LOCALZONE | RDDT_UTC));
    EXPECT_EQ(12807u, RDDatetimeSetParts(nullptr, &p, 0));
    EXPECT_EQ(12807u, RDDatetimeSetParts(&v, nullptr, 0));
    EXPECT_EQ(12304u, RDDatetimeGetParts(&local, RDDT_LOCALZONE | RDDT_UTC, &filled));
    EXPECT_EQ(0, filled.year + filled.hour + filled.zone);
    filled.year = 5;
    EXPECT_EQ(12807u, RDDatetimeGetParts(nullptr, 0, &filled));
    EXPECT_EQ(0, filled.year);
    EXPECT_EQ(12301u, RDDatetimeGetParts(&local, 0, nullptr));
    for (int32_t year : {-2, INT32_MIN, 32768, INT32_MAX}) {
        p.year = year;
        EXPECT_EQ(12801u, RDDatetimeSetParts(&v, &p, 0));
        EXPECT_TRUE(v.date == (year < 0 ? 0 : 0xFFFFFFu) && v.ticks == 0) << year;
    }
}

TEST_F(Datetime, LimitsSplitAndBuildWithoutOverflow) {
    RDDatetime v{};
    // Ticks or days, the value set, the value read back and the status.
    // clang-format off
    const std::tuple<bool, uint32_t, uint32_t, uint32_t> limits[] = {
        {false, 0, 0, 0}, {false, 0xFFFFFF, 0xFFFFFF, 0}, {false, 0x1000000, 0xFFFFFF, 12801},
        {false, 0xFFFFFFFE, 0xFFFFFF, 12801}, {false, RDDT_ABSENT, RDDT_ABSENT, 0},
        {true, 8640000, 8640000, 0}, {true, 8640001, 8640000, 12801}, {true, RDDT_ABSENT, RDDT_ABSENT, 0}};
    // clang-format on
    for (const auto &[ticks, in, out, status] : limits) {
        EXPECT_EQ(status, ticks ? RDDatetimeSetTicks(&v, in) : RDDatetimeSetJulian(&v, in)) << in;
        EXPECT_EQ(out, ticks ? RDDatetimeGetTicks(&v) : RDDatetimeGetJulian(&v)) << in;
    }
    EXPECT_EQ(0u, RDDatetimeGetJulian(nullptr) + RDDatetimeGetTicks(nullptr));
    EXPECT_EQ(12807u, RDDatetimeSetJulian(nullptr, 1));
    EXPECT_EQ(12807u, RDDatetimeSetTicks(nullptr, 1));
    // Day 0 cannot be split; the largest day at 24:00 can, and builds back
    // clamped.
    Parts p{};
    ASSERT_EQ(0u, RDDatetimeSetConstant(&v, RDDT_MINIMUM));
    EXPECT_EQ(12807u, RDDatetimeGetParts(&v, 0, &p));
    p = Split(RDDatetime{RDDT_MAX_TICKS, 0xFFFFFF | 0x4Fu << 24}); // zone +15 hours
    EXPECT_TRUE(p.year > 32767 && p.hour == 15 && p.minute == 0) << p.year;
    EXPECT_EQ(12801u, RDDatetimeSetParts(&v, &p, 0));
    EXPECT_EQ(32767, Split(Build(Make(32767, 12, 31, 23, 59, 59, 99, 1, 4515))).year);
    // Constants, clear and copy.
    EXPECT_EQ(12807u, RDDatetimeSetConstant(&v, 4));
    EXPECT_EQ(12807u, RDDatetimeSetConstant(nullptr, 1));
    ASSERT_EQ(0u, RDDatetimeSetConstant(&v, RDDT_MAXIMUM));
    RDDatetime copy{};
    RDDatetimeCopy(&copy, &v);
    EXPECT_TRUE(copy.date == 0xFFFFFF && copy.ticks == 0);
    RDDatetimeCopy(&copy, nullptr);
    EXPECT_TRUE(copy.date == RDDT_ABSENT && copy.ticks == RDDT_ABSENT);
}

TEST_F(Datetime, CompareAndDifferencesInEveryUnit) {
    const RDDatetime noon = Build(Make(1996, 1, 2, 12, 0, 0, 0));
    const RDDatetime later = Build(Make(1996, 1, 2, 12, 0, 0, 1));
    const RDDatetime nextDay = Build(Make(1996, 1, 3, 0, 0, 0, 0));
    const RDDatetime dateOnly = Build(Make(1996, 1, 2)),
                     timeOnly = Build(Make(-1, -1, -1, 1, 0, 0, 0));
    RDDatetime none{};
    RDDatetimeClear(&none);
    const std::tuple<const RDDatetime &, const RDDatetime &, int32_t> orders[] = {
        {noon, later, -1},   {later, noon, 1},    {nextDay, later, 1},
        {noon, noon, 0},     {dateOnly, noon, 0}, {dateOnly, nextDay, -1},
        {timeOnly, noon, 0}, {none, nextDay, 0},  {nextDay, timeOnly, 0}};
    for (const auto &[first, second, expected] : orders) {
        int32_t result = 9;
        ASSERT_EQ(0u, RDDatetimeCompare(&first, &second, &result));
        EXPECT_EQ(expected, result) << Show(Split(first)) << " vs " << Show(Split(second));
    }
    const RDDatetime a = Build(Make(1997, 3, 1, 10, 0, 0, 0, 1, 3005));
    const RDDatetime b = Build(Make(1996, 12, 31, 9, 30, 0, 50, 0, -5));
    const RDDatetime ten = Build(Make(1996, 1, 1, 10, 0, 0, 0));
    const RDDatetime nineThirty = Build(Make(1996, 1, 1, 9, 30, 0, 0));
    const RDDatetime halfPast = Build(Make(-1, -1, -1, 9, 30, 0, 0)), day = Build(Make(1996, 1, 1));
    // clang-format off
    const std::tuple<const RDDatetime &, const RDDatetime &, int32_t, int32_t> diffs[] = {
        {a, b, 1, 1}, {a, b, 2, 3}, {b, a, 2, -3}, {a, b, 3, 60}, {a, b, 4, 4}, {a, b, 9, 3010},
        {ten, nineThirty, 5, 0}, {ten, nineThirty, 6, 30}, {nineThirty, ten, 6, -30},
        {ten, nineThirty, 7, 1800}, {ten, nineThirty, 8, 180000}, {ten, halfPast, 6, 30},
        {ten, day, 6, 0}, {day, ten, 3, 0}, {halfPast, ten, 1, 0}};
    // clang-format on
    for (const auto &[first, second, unit, expected] : diffs) {
        int32_t result = 77;
        ASSERT_EQ(0u, RDDatetimeGetDiff(&first, &second, unit, &result));
        EXPECT_EQ(expected, result)
            << Show(Split(first)) << " - " << Show(Split(second)) << " in " << unit;
    }
    int32_t result = 5;
    EXPECT_EQ(12807u, RDDatetimeCompare(nullptr, &noon, &result));
    EXPECT_EQ(0, result);
    EXPECT_EQ(12302u, RDDatetimeCompare(&noon, &noon, nullptr));
    result = 5;
    EXPECT_EQ(12801u, RDDatetimeGetDiff(&a, &b, 0, &result));
    EXPECT_EQ(0, result);
    EXPECT_EQ(12801u, RDDatetimeGetDiff(&a, &b, 10, &result));
    EXPECT_EQ(12807u, RDDatetimeGetDiff(&a, nullptr, 3, &result));
    EXPECT_EQ(12302u, RDDatetimeGetDiff(&a, &b, 3, nullptr));
    // Beyond 32 bits the result is clamped, not wrapped.
    const RDDatetime far{0, 0xFFFFFF}, near{0, 0};
    EXPECT_EQ(12801u, RDDatetimeGetDiff(&far, &near, 8, &result));
    EXPECT_EQ(INT32_MAX, result);
}

TEST_F(Datetime, AdjustCarriesAndFallsBackToMonthEnds) {
    // clang-format off
    const std::tuple<Parts, std::vector<int32_t>, const char *> cases[] = {
        {Make(1996, 5, 5, 23, 30, 0, 0), {0, 0, 0, 0, 1, 0, 0, 0}, "1996-5-6 0:30:00.00 0 0"},
        {Make(1996, 5, 6, 0, 30, 0, 0), {0, 0, 0, 0, -1, 0, 0, 0}, "1996-5-5 23:30:00.00 0 0"},
        {Make(2000, 12, 15), {0, 12, 0, 0, 0, 0, 0, 0}, "2001-12-15 0 0"},
        {Make(2000, 1, 31), {0, 1, 0, 0, 0, 0, 0, 0}, "2000-2-29 0 0"},
        {Make(2001, 3, 31), {0, -1, 0, 0, 0, 0, 0, 0}, "2001-2-28 0 0"},
        {Make(2000, 2, 29), {1, 0, 0, 0, 0, 0, 0, 0}, "2001-2-28 0 0"},
        {Make(2000, 1, 1), {0, -13, 0, 0, 0, 0, 0, 0}, "1998-12-1 0 0"},
        {Make(1752, 9, 2), {0, 0, 1, 99, 0, 0, 0, 0}, "1752-9-14 0 0"},
        {Make(1996, 1, 1, 0, 0, 0, 0), {0, 0, 0, 0, 0, 0, -1, 0}, "1995-12-31 23:59:59.00 0 0"},
        {Make(1996, 1, 1, 0, 0, 0, 0), {0, 0, -1, 0, 49, 0, 0, 0}, "1996-1-2 1:00:00.00 0 0"},
        {Make(1996, 7, 1, 12, 0, 0, 0, 1, -5), {0, 6, 0, 0, 0, 0, 0, 0}, "1997-1-1 12:00:00.00 0 -5"},
        {Make(-1, -1, -1, 23, 0, 0, 0), {0, 0, 0, 0, 2, 0, 0, 0}, "1:00:00.00 0 0"}};
    // clang-format on
    for (const auto &[from, delta, to] : cases) {
        RDDatetime v = Build(from);
        ASSERT_EQ(0u, RDDatetimeAdjust(&v, delta.data())) << Show(from);
        EXPECT_EQ(to, Show(Split(v), true)) << Show(from);
    }
    // Year overflow and null arguments fail, leaving the value as it was.
    RDDatetime v = Build(Make(32767, 12, 1));
    const RDDatetime before = v;
    const int32_t years[8] = {INT32_MAX, INT32_MAX, INT32_MAX, 0, 0, 0, 0, 0};
    EXPECT_EQ(12807u, RDDatetimeAdjust(&v, years));
    EXPECT_EQ(0, memcmp(&before, &v, sizeof v));
    RDDatetime timed = Build(Make(32767, 12, 31, 12, 0, 0, 0));
    const int32_t hours[8] = {0, 0, 0, 0, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX};
    EXPECT_EQ(12807u, RDDatetimeAdjust(&timed, hours));
    const uint32_t day = RDDatetimeGetJulian(&timed);
    const int32_t back[8] = {0, 0, 0, 0, -24000, 0, 0, 0};
    EXPECT_EQ(0u, RDDatetimeAdjust(&timed, back));
    EXPECT_EQ(day - 1000, RDDatetimeGetJulian(&timed));
    EXPECT_EQ(12807u, RDDatetimeAdjust(nullptr, years));
    EXPECT_EQ(12807u, RDDatetimeAdjust(&v, nullptr));
}

} // namespace

// The first day that splits is 0000-01-01 (day 1721058). Its early hours
// in a zone west of UTC fall on the day before, which has no year: every
// operation that splits refuses it, while noon of that day still splits.
TEST_F(Datetime, NoLocalDateBeforeTheFirstYear) {
    constexpr uint32_t kWestFive = 0x05u << 24, kFirstDay = 1721058;
    const RDDatetime early{100, kFirstDay | kWestFive}, noon{4320000, kFirstDay | kWestFive};
    EXPECT_EQ("0-1-1 7:00:00.00 0 -5", Show(Split(noon), true));
    Parts p{};
    EXPECT_EQ(12807u, RDDatetimeGetParts(&early, 0, &p));
    rdxtest::Stream text;
    EXPECT_EQ(12807u, RDStreamFromDatetime(&text, &early, RDCHARSET_INTERCHANGE));
    EXPECT_EQ(0u, RDStreamFromDatetime(&text, &noon, RDCHARSET_INTERCHANGE));
    int32_t diff = 5;
    for (int32_t unit : {RDDT_UNIT_YEAR, RDDT_UNIT_MONTH, RDDT_UNIT_WEEKDAY}) {
        EXPECT_EQ(12807u, RDDatetimeGetDiff(&early, &noon, unit, &diff)) << unit;
        EXPECT_EQ(12807u, RDDatetimeGetDiff(&noon, &early, unit, &diff)) << unit;
    }
    // Day numbers and clock units need no split.
    EXPECT_EQ(0u, RDDatetimeGetDiff(&noon, &early, RDDT_UNIT_DAY, &diff));
    EXPECT_EQ(0, diff);
    EXPECT_EQ(0u, RDDatetimeGetDiff(&noon, &early, RDDT_UNIT_MINUTE, &diff));
    EXPECT_EQ(4319900 / 6000, diff);
}
