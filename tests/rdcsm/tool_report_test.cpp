// SPDX-License-Identifier: Apache-2.0
// What the tool shows of stored names, values and log texts: controls and
// broken UTF-8 as escapes, passwords in log texts masked, and times of any
// year.
#include "rdcsm_test_env.h"
#include "report.h"
#include "tool_env.h"

#include "rdx_status.h"

#include <climits>
#include <random>

namespace rdcsmtest {
namespace {

// What a terminal would act on.
bool HasRawControl(const std::string &text) {
    for (unsigned char c : text)
        if ((c < 0x20 && c != '\n') || c == 0x7F || c >= 0x80) return true;
    return false;
}

TEST_F(ServerTest, LogTextsAndStoredValuesCannotActOnTheTerminal) {
    const std::string evil = "x\x1b[2J\r\nFAKE 999 ok\x07\x7f\xc2\x9b\xff";
    Define(rdcsm::kActivity, "load" + evil, {TextItem(0x10001, evil), TextItem(5, "plain")});
    ASSERT_EQ(0, RunTool(home_, "run " + Quoted("load" + evil)).status);
    NextActivityRecord next{};
    ASSERT_EQ(0u, CSMgrNextActivity(&next));
    const std::string failure = "bad value '" + evil + "' in column 2";
    ASSERT_EQ(0u, CSMgrLog(next.handle, RDSTATUS_EXCHANGE, &Stream(failure.c_str(), 256)));
    ASSERT_EQ(0u, CSMgrLog(next.handle, RDSTATUS_EXCHANGE,
                           &Stream("cannot connect with host=db password=hunter2", 256)));

    const std::string escaped = "x\\x1b[2J\\r\\nFAKE 999 ok\\x07\\x7f\\u009b\\xff";
    ToolRun run = RunTool(home_, "log " + Quoted("load" + evil));
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_FALSE(HasRawControl(run.out)) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("  783  bad value '" + escaped + "' in column 2\n"))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find("host=db password=****\n")) << run.out;
    EXPECT_EQ(std::string::npos, run.out.find("hunter2"));
    EXPECT_EQ(2, std::count(run.out.begin(), run.out.end(), '\n')); // one line a record

    run = RunTool(home_, "list");
    EXPECT_FALSE(HasRawControl(run.out)) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("activity load" + escaped + "  (handle")) << run.out;

    run = RunTool(home_, "show " + Quoted("load" + evil));
    EXPECT_FALSE(HasRawControl(run.out)) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("activity load" + escaped + " (handle")) << run.out;
    // Not UTF-8, the value shows as its bytes.
    EXPECT_NE(std::string::npos, run.out.find("0x00010001 Server = { charset = 256, hex = '78"))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find("0x00000005 = 'plain'")) << run.out;

    // A well-formed text keeps its characters, controls written as escapes.
    Define(rdcsm::kLink, "l", {TextItem(0x10001, "a\x1b[31m\tb\xc2\x85")});
    run = RunTool(home_, "show l");
    EXPECT_NE(std::string::npos, run.out.find("Server = \"a\\u001B[31m\\tb\\u0085\"")) << run.out;
}

struct Time {
    int64_t ms;
    const char *text;
};

TEST(TimeText, AnyTimeBeforeOrAfter1970) {
    const Time cases[] = {
        {0, "1970-01-01 00:00:00.000"},
        {-1, "1969-12-31 23:59:59.999"},
        {-792, "1969-12-31 23:59:59.208"},
        {-1000, "1969-12-31 23:59:59.000"},
        {-1001, "1969-12-31 23:59:58.999"},
        {-86400000, "1969-12-31 00:00:00.000"},
        {951782400123, "2000-02-29 00:00:00.123"},
        {-62135596800000, "0001-01-01 00:00:00.000"},
        {-62135596800001, "0000-12-31 23:59:59.999"},
        {253402300799999, "9999-12-31 23:59:59.999"},
        {253402300800000, "10000-01-01 00:00:00.000"},
        {INT64_MAX, "292278994-08-17 07:12:55.807"},
        {INT64_MIN, "-292275055-05-16 16:47:04.192"},
    };
    for (const Time &c : cases)
        EXPECT_EQ(c.text, rdcsm::TimeText(c.ms)) << c.ms;
}

// The civil date of days since 1970 (proleptic Gregorian), computed
// without the C library.
std::string CivilText(int64_t ms) {
    int64_t days = ms / 86400000, rest = ms % 86400000;
    if (rest < 0) rest += 86400000, --days;
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yoe + era * 400 + (month <= 2);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%03lld",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(rest / 3600000),
                  static_cast<long long>(rest / 60000 % 60),
                  static_cast<long long>(rest / 1000 % 60), static_cast<long long>(rest % 1000));
    return text;
}

TEST(TimeText, AgreesWithTheCalendarOverTheWholeRange) {
    std::mt19937_64 random(1970);
    for (int i = 0; i < 20000; ++i) {
        // Times near 1970 as often as times anywhere.
        const int64_t ms = static_cast<int64_t>(random()) >> (i % 2 == 0 ? 0 : 24);
        ASSERT_EQ(CivilText(ms), rdcsm::TimeText(ms)) << ms;
    }
}

TEST_F(ServerTest, LogShowsRecordsOfAClockBefore1970) {
    Define(rdcsm::kActivity, "load", {});
    // Twice 68 years back: the server's clock in the 1890s.
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(0u, __CSMgrAdvanceClock(static_cast<uint32_t>(INT32_MIN + 1)));
    ASSERT_EQ(0, RunTool(home_, "run load").status);
    NextActivityRecord next{};
    ASSERT_EQ(0u, CSMgrNextActivity(&next));
    ASSERT_EQ(0u, CSMgrLog(next.handle, RDSTATUS_EXCHANGE, &Stream("long ago", 256)));
    const ToolRun run = RunTool(home_, "log load");
    ASSERT_EQ(0, run.status) << run.err;
    // "18YY-MM-DD hh:mm:ss.mmm  run 1  783  long ago"
    ASSERT_GE(run.out.size(), 23u) << run.out;
    EXPECT_EQ("18", run.out.substr(0, 2)) << run.out;
    EXPECT_EQ('.', run.out[19]) << run.out;
    EXPECT_EQ(std::string::npos, run.out.substr(20, 3).find_first_not_of("0123456789")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find("  run 1  783  long ago\n")) << run.out;
}

} // namespace
} // namespace rdcsmtest
