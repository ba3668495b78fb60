#include "rdplat.h"
#include "rdplat_test.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace {

// Runs each test in a chosen TZ and restores TZ, the clock and the
// international formats afterwards.
class Clock : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char *tz = std::getenv("TZ")) savedTz_ = tz;
        UseZone("UTC");
        RDPlatTerm();
    }
    void TearDown() override {
        RDTestClockSet(0, 0, 0);
        savedTz_ ? setenv("TZ", savedTz_->c_str(), 1) : unsetenv("TZ");
        tzset();
        RDPlatTerm();
    }
    static void UseZone(const char *zone) {
        setenv("TZ", zone, 1);
        tzset();
    }
    // Parts that RDPlatGetDatetime would never store.
    static RDDatetimeParts Marked() { return {-7, -7, -7, 99, -7, -7, -7, -7, -7, -7}; }
    std::optional<std::string> savedTz_;
};

constexpr int64_t kFeb29At130507 = 1709211907;   // 2024-02-29 13:05:07 UTC
constexpr int64_t kNewYearsEve2330 = 1704065400; // 2023-12-31 23:30:00 UTC

TEST_F(Clock, FixedTimeGivesLocalPartsAndLeavesWeekday) {
    const struct {
        const char *zone;
        int64_t utc;
        int32_t nanoseconds;
        RDDatetimeParts expected; // dst and zone unchecked here
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
        const RDDatetimeParts &e = c.expected;
        std::string why = std::string(c.zone) + " " + std::to_string(c.nanoseconds);
        EXPECT_EQ(parts.year * 10000 + parts.month * 100 + parts.day,
                  e.year * 10000 + e.month * 100 + e.day)
            << why;
        EXPECT_EQ(parts.weekday, 99) << why;
        EXPECT_EQ(parts.hour * 10000 + parts.minute * 100 + parts.second,
                  e.hour * 10000 + e.minute * 100 + e.second)
            << why;
        EXPECT_EQ(parts.hundredth, e.hundredth) << why;
    }
}

TEST_F(Clock, DstAndZoneComeFromTheInternationalFormats) {
    RDTestClockSet(1, kFeb29At130507, 0);
    RDDatetimeParts parts = Marked();
    RDPlatGetDatetime(&parts);
    EXPECT_EQ(parts.dst, 0) << "no settings loaded";
    EXPECT_EQ(parts.zone, 0);
    ASSERT_EQ(RDPlatSetIntlFormat(nullptr), 0u);
    RDPlatGetDatetime(&parts);
    EXPECT_EQ(parts.dst, 1);
    EXPECT_EQ(parts.zone, -5);
    RDIntlFormat format = *RDPlatGetIntlFormat();
    format.intlFlags = RDINTL_24HOUR;
    format.timeZone = 530;
    ASSERT_EQ(RDPlatSetIntlFormat(&format), 0u);
    RDPlatGetDatetime(&parts);
    EXPECT_EQ(parts.dst, 0);
    EXPECT_EQ(parts.zone, 530);
    EXPECT_EQ(parts.hour, 13) << "the record's zone does not shift the clock";
}

TEST_F(Clock, SystemClockIsReadOnceTheHookIsOff) {
    RDTestClockSet(1, kFeb29At130507, 0);
    RDTestClockSet(0, 0, 0);
    time_t before = time(nullptr);
    RDDatetimeParts p = Marked();
    RDPlatGetDatetime(&p);
    time_t after = time(nullptr);
    std::tm tm{p.second, p.minute, p.hour, p.day, p.month - 1, p.year - 1900, 0, 0, 0, 0, nullptr};
    time_t read = timegm(&tm); // TZ is UTC
    EXPECT_LE(before, read);
    EXPECT_LE(read, after);
}

TEST_F(Clock, UnrepresentableTimeAndNullRecordAreHarmless) {
    EXPECT_EQ(RDPlatGetDatetime(nullptr), 0u);
    ASSERT_EQ(RDPlatSetIntlFormat(nullptr), 0u);
    RDTestClockSet(1, INT64_MAX, INT32_MAX);
    RDDatetimeParts parts = Marked();
    EXPECT_EQ(RDPlatGetDatetime(&parts), 0u);
    EXPECT_EQ(parts.year, -7) << "calendar parts stay as they were";
    EXPECT_EQ(parts.hour, -7);
    EXPECT_EQ(parts.zone, -5);
}

} // namespace
