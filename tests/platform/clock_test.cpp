// SPDX-License-Identifier: Apache-2.0
#include "platform_test.h"

#include <climits>
#include <cstdio>
#include <ctime>

namespace {

// Runs each test in a chosen TZ and restores TZ, the clock and the
// international formats afterwards.
class Clock : public ::testing::Test {
  protected:
    void SetUp() override {
        UseZone("UTC");
        RDPlatTerm();
    }
    void TearDown() override {
        RDTestClockSet(0, 0, 0);
        RDPlatTerm();
    }
    void UseZone(const char *zone) {
        tz_.Set(zone);
        tzset();
    }
    // Parts that RDPlatGetDatetime would never store.
    static RDDatetimeParts Marked() { return {-7, -7, -7, 99, -7, -7, -7, -7, -7, -7}; }
    // The calendar parts and the weekday; "/dst zone" when withZone.
    static std::string Text(const RDDatetimeParts &p, bool withZone = false) {
        char text[128];
        int n = std::snprintf(text, sizeof text, "%d-%d-%d w%d %d:%d:%d.%d", p.year, p.month, p.day,
                              p.weekday, p.hour, p.minute, p.second, p.hundredth);
        if (withZone) std::snprintf(text + n, sizeof text - n, "/%d %d", p.dst, p.zone);
        return text;
    }
    struct ZoneReload {
        ~ZoneReload() { tzset(); } // after tz_ has put TZ back
    } reload_;
    rdtest::ScopedEnv tz_{"TZ", std::getenv("TZ")};
};

constexpr int64_t kFeb29At130507 = 1709211907;   // 2024-02-29 13:05:07 UTC
constexpr int64_t kNewYearsEve2330 = 1704065400; // 2023-12-31 23:30:00 UTC

TEST_F(Clock, FixedTimeGivesLocalPartsAndLeavesWeekday) {
    const struct {
        const char *zone;
        int64_t utc;
        int32_t nanoseconds;
        RDDatetimeParts expected;
    } cases[] = {
        {"UTC", kFeb29At130507, 89000000, {2024, 2, 29, 99, 13, 5, 7, 8, 0, 0}},
        {"UTC", kFeb29At130507, 9999999, {2024, 2, 29, 99, 13, 5, 7, 0, 0, 0}},
        {"UTC", kFeb29At130507, 999999999, {2024, 2, 29, 99, 13, 5, 7, 99, 0, 0}},
        {"UTC", kFeb29At130507, -1, {2024, 2, 29, 99, 13, 5, 6, 99, 0, 0}},
        {"UTC", kFeb29At130507, 1500000000, {2024, 2, 29, 99, 13, 5, 8, 50, 0, 0}},
        {"XST-3", kNewYearsEve2330, 0, {2024, 1, 1, 99, 2, 30, 0, 0, 0, 0}},
        {"YST5", kNewYearsEve2330 + 7200, 0, {2023, 12, 31, 99, 20, 30, 0, 0, 0, 0}},
        {"ZST-5:30", kFeb29At130507, 0, {2024, 2, 29, 99, 18, 35, 7, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        UseZone(c.zone);
        RDTestClockSet(1, c.utc, c.nanoseconds);
        RDDatetimeParts parts = Marked();
        EXPECT_EQ(RDPlatGetDatetime(&parts), 0u);
        EXPECT_EQ(Text(parts), Text(c.expected)) << c.zone << " " << c.nanoseconds;
    }
}

TEST_F(Clock, DstAndZoneComeFromTheInternationalFormatsEvenForAnUnrepresentableTime) {
    EXPECT_EQ(RDPlatGetDatetime(nullptr), 0u);
    RDTestClockSet(1, kFeb29At130507, 0);
    const std::string calendar = "2024-2-29 w99 13:5:7.0/";
    RDDatetimeParts parts = Marked();
    RDPlatGetDatetime(&parts);
    EXPECT_EQ(Text(parts, true), calendar + "0 0") << "no settings loaded";
    ASSERT_EQ(RDPlatSetIntlFormat(nullptr), 0u);
    RDPlatGetDatetime(&parts);
    EXPECT_EQ(Text(parts, true), calendar + "1 -5");
    RDIntlFormat format = *RDPlatGetIntlFormat();
    format.intlFlags = RDINTL_24HOUR;
    format.timeZone = 530;
    ASSERT_EQ(RDPlatSetIntlFormat(&format), 0u);
    RDPlatGetDatetime(&parts);
    EXPECT_EQ(Text(parts, true), calendar + "0 530")
        << "the record's zone does not shift the clock";
    RDTestClockSet(1, INT64_MAX, INT32_MAX);
    parts = Marked();
    EXPECT_EQ(RDPlatGetDatetime(&parts), 0u);
    EXPECT_EQ(Text(parts, true), Text(Marked()) + "/0 530") << "calendar parts stay as they were";
}

TEST_F(Clock, SystemClockIsReadOnceTheHookIsOff) {
    RDTestClockSet(1, kFeb29At130507, 0);
    RDTestClockSet(0, 0, 0);
    // time() reads a coarse clock that can lag the one the platform reads.
    const auto now = [] {
        timespec ts;
        clock_gettime(CLOCK_REALTIME, &ts);
        return ts.tv_sec;
    };
    time_t before = now();
    RDDatetimeParts p = Marked();
    RDPlatGetDatetime(&p);
    time_t after = now();
    std::tm tm{p.second, p.minute, p.hour, p.day, p.month - 1, p.year - 1900, 0, 0, 0, 0, nullptr};
    time_t read = timegm(&tm); // TZ is UTC
    EXPECT_LE(before, read);
    EXPECT_LE(read, after);
}

} // namespace
