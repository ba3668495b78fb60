// SPDX-License-Identifier: Apache-2.0
// The log and status functions: the status word rules, informational
// messages, entries not logged twice, sending, the last-entry accessors,
// RDActivityPrint and the checks that open them.
#include "../support/alloc_failure.h"
#include "activity_test_env.h"

namespace {

using rdxtest::Stream;

constexpr char kLinkLoad[] = "ERROR: The link connector could not be loaded.";

class ActivityLogTest : public rdxtest::ActivityTest {};

TEST_F(ActivityLogTest, StatusWordRules) {
    EXPECT_EQ(0u, RDActivityGetStatus());
    EXPECT_EQ(1546u, RDActivityLog(1546));
    EXPECT_EQ(1546u, RDActivityGetStatus());
    EXPECT_EQ(kLinkLoad, LastText());
    Stream name("T1", 256);
    EXPECT_EQ(0u, RDActivityLogEx(0x10000664, 3, 0, 0, &name, nullptr, nullptr));
    EXPECT_EQ("Created metadata T1.", LastText()); // informational: no prefix
    EXPECT_EQ(1546u, RDActivityGetStatus());       // and the status word stays
    RDActivityClearStatus();
    EXPECT_EQ(0u, RDActivityGetStatus());
    EXPECT_EQ(12548u, RDActivityLogEx(12548, 3, 4, 0, nullptr, nullptr, nullptr));
    EXPECT_EQ("ERROR: The record has 3 fields, the layout 4.", LastText());
    EXPECT_EQ(12548u, RDActivityGetStatus());
}

TEST_F(ActivityLogTest, MessagesThatAreNotLogged) {
    ASSERT_EQ(1546u, RDActivityLog(1546));
    const size_t sentBefore = sent().size();
    for (uint32_t message : {0u, 1542u, 1543u, 12325u})
        EXPECT_EQ(message, RDActivityLog(message)) << message;
    EXPECT_EQ(0u, RDActivityLogEx(0, 1, 2, 3, nullptr, nullptr, nullptr));
    EXPECT_EQ(sentBefore, sent().size());
    EXPECT_EQ(1546u, RDActivityGetLogLast(nullptr, nullptr, nullptr)); // unchanged
    EXPECT_EQ(1546u, RDActivityGetStatus());
}

TEST_F(ActivityLogTest, ConnectorEntryIsNotLoggedTwice) {
    rdxtest::FakeConnection connection{};
    RDStreamDataSet(&connection.name, 256, "src", 3);
    rdx::Context()->log.current = {connection.Record(), 7, 0};
    // The connector logs 1547 during RDXConnect, then returns it.
    EXPECT_EQ(1547u, RDActivityLogEx(1547, 0, 0, 0, nullptr, nullptr, nullptr));
    EXPECT_EQ(1547u, RDActivityLog(1547));
    ASSERT_EQ(1u, sent().size());
    EXPECT_EQ("ERROR: The library is not a complete link connector (connection src, connecting).",
              sent()[0].text);
    EXPECT_EQ(1546u, RDActivityLog(1546)); // another number is logged
    EXPECT_EQ(2u, sent().size());
    // A record fault comes with the connector's free text, which says more.
    RDStream text{};
    RDStreamDataSet(&text, 256, "line 3: bad", 11);
    EXPECT_EQ(RDSTATUS_FREETEXT, RDActivityLogStream(0, &text, 12806));
    EXPECT_EQ(RDSTATUS_RECORDFAULT, RDActivityLog(RDSTATUS_RECORDFAULT));
    EXPECT_EQ(3u, sent().size());
    RDStreamDataFree(&text);
    rdx::Context()->log.current = {};
    RDStreamDataFree(&connection.name);
}

TEST_F(ActivityLogTest, SentOnlyWithAServerManagerActivity) {
    RDActivityLog(1546);
    ASSERT_EQ(1u, sent().size());
    EXPECT_EQ(9u, sent()[0].handle);
    EXPECT_EQ(1546u, sent()[0].message);
    EXPECT_EQ(kLinkLoad, sent()[0].text);
    RDActivityLogEx(0x10000666, 0, 0, 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(0x10000666u, sent().back().message); // with its bit 28
    rdx::Context()->activity.activityMode |= rdx::kModeStandAlone;
    RDActivityLog(1545);
    rdx::Context()->activity.activityMode = 0;
    block_.handle = 0;
    RDActivityLog(1544);
    EXPECT_EQ(2u, sent().size());
    EXPECT_EQ(1544u, RDActivityGetLogLast(nullptr, nullptr, nullptr)); // still remembered
}

TEST_F(ActivityLogTest, FreeTexts) {
    Stream text("disk [[RDI1]] full", 256), freeText;
    EXPECT_EQ(12325u, RDActivityLogStreamEx(0, &text, 42, 7, 0, 0, nullptr, nullptr, nullptr));
    EXPECT_EQ("ERROR: disk 7 full; number 42", LastText());
    EXPECT_EQ(12325u, RDActivityGetStatus());
    uint32_t number = 0;
    EXPECT_EQ(12325u, RDActivityGetLogLast(nullptr, &number, &freeText));
    EXPECT_EQ(42u, number);
    EXPECT_EQ("disk [[RDI1]] full", freeText.Bytes());
    RDActivityClearStatus();
    Stream note("all done", 256);
    EXPECT_EQ(0u, RDActivityLogStream(RDLOG_INFORMATIONAL, &note, 0));
    EXPECT_EQ("all done", LastText());
    EXPECT_EQ(0u, RDActivityGetStatus());
    // With number 0 the free text is not handed out: the out stream is released.
    EXPECT_EQ(RDMESSAGE_INFOTEXT, RDActivityGetLogLast(nullptr, &number, &freeText));
    EXPECT_EQ(0u, number);
    EXPECT_EQ("", freeText.Bytes());
    EXPECT_EQ(12325u, RDActivityLogStream(0, nullptr, 0));
    EXPECT_EQ("ERROR: ", LastText());
}

TEST_F(ActivityLogTest, StatusStreamHasNoSections) {
    rdxtest::FakeConnection connection{};
    rdx::Context()->log.current = {connection.Record(), 7, 0};
    Stream out;
    EXPECT_EQ(0u, RDActivityGetStatusStream(1546, &out));
    EXPECT_EQ(kLinkLoad, out.Bytes());
    EXPECT_EQ(256u, out.s.charset);
    EXPECT_EQ(0u, RDActivityGetStatusStream(4242, &out));
    EXPECT_EQ("ERROR: MSG# 4242 NOT FOUND", out.Bytes());
    EXPECT_EQ(12808u, RDActivityGetStatusStream(1546, nullptr));
    EXPECT_EQ(0u, RDActivityGetLogLast(nullptr, nullptr, nullptr)); // nothing was logged
    rdx::Context()->log.current = {};
}

TEST_F(ActivityLogTest, Print) {
    struct Case {
        const char *bytes;
        uint32_t length, charset;
        std::string printed;
    } cases[] = {{"hello", 5, 256, "hello\n"},
                 {"", 0, 256, "\n"},
                 {"a\0b", 3, 256, "a\n"},
                 {"h\0i\0", 4, 160, "hi\n"}};
    for (const Case &c : cases) {
        Stream text(std::string(c.bytes, c.length), c.charset);
        testing::internal::CaptureStdout();
        EXPECT_EQ(0u, RDActivityPrint(&text));
        EXPECT_EQ(c.printed, testing::internal::GetCapturedStdout());
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(0u, RDActivityPrint(nullptr));
    block_.command = 2;
    Stream text("x", 256);
    EXPECT_EQ(1543u, RDActivityPrint(&text));
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ(1546u, RDActivityLog(1546)); // the log does not check the command
}

TEST_F(ActivityLogTest, WithoutAnActivity) {
    RDActivityLog(1546);
    rdx::Context()->activity.activityNesting = 0;
    Stream out;
    const uint32_t statuses[] = {
        RDActivityLog(1546),
        RDActivityLogEx(1546, 0, 0, 0, nullptr, nullptr, nullptr),
        RDActivityLogStream(0, &out, 0),
        RDActivityLogStreamEx(0, &out, 0, 0, 0, 0, nullptr, nullptr, nullptr),
        RDActivityGetStatus(),
        RDActivityGetStatusStream(1546, &out),
        RDActivityGetLogLast(&out, nullptr, nullptr),
        RDActivityPrint(&out),
    };
    for (uint32_t status : statuses)
        EXPECT_EQ(12321u, status);
    RDActivityClearStatus();
    EXPECT_EQ(0u, rdx::Context()->activity.activityStatus);
    rdx::Context()->activity.activityNesting = 1;
}

TEST_F(ActivityLogTest, FailedAllocationsStillKeepTheStatus) {
    rdx::g_logHooks.send = nullptr; // the recorder allocates
    Stream wide(rdxtest::Wide(u"f\u00fcnf"), 160), pattern("[[RDS1]]: [[RDI1]]", 256);
    const std::string expected = "ERROR: f\xC3\xBCnf: 3; number 5";
    auto bytes = [](const Stream &s) {
        return std::string_view(reinterpret_cast<const char *>(s.s.data), s.s.length);
    };
    rdtest::ForEachAllocationFailure(
        [&] {
            RDActivityClearStatus();
            const uint32_t status =
                RDActivityLogStreamEx(0, &pattern, 5, 3, 0, 0, &wide, nullptr, nullptr);
            Stream text, copy;
            RDActivityGetLogLast(&text, nullptr, &copy);
            const bool whole = bytes(text) == expected && bytes(copy) == bytes(pattern);
            return status == 12325u && whole ? 0u : 258u;
        },
        [&](uint32_t) {
            EXPECT_EQ(12325u, RDActivityGetStatus());
            EXPECT_EQ(12325u, RDActivityGetLogLast(nullptr, nullptr, nullptr));
        });
}

TEST(ActivityLogNoSystem, ChecksComeFirst) {
    RDActivityClearStatus(); // without a context: nothing happens
    EXPECT_EQ(12321u, RDActivityGetStatus());
    EXPECT_EQ(12321u, RDActivityLog(1546));
    EXPECT_EQ(12321u, RDActivityPrint(nullptr));
}

} // namespace
