// SPDX-License-Identifier: Apache-2.0
// What the server manager's log receives: each entry as sentences, with the
// connection and what it was doing in words for an error, and the status a
// free text tells as the entry's number instead of a trailing section. The
// last entry that programs read keeps its sections.
#include "activity/log_format.h"
#include "activity_test_env.h"

namespace {

using rdxtest::Stream;

class LogSentenceTest : public rdxtest::ActivityTest {
  protected:
    void SetUp() override {
        ActivityTest::SetUp();
        RDStreamDataSet(&connection_.name, 256, "src", 3);
    }
    void TearDown() override {
        rdx::Context()->log.current = {};
        RDStreamDataFree(&connection_.name);
        ActivityTest::TearDown();
    }
    // The next entries are logged during entry point `entry` of the connection.
    void During(uint32_t entry) { rdx::Context()->log.current = {connection_.Record(), entry, 0}; }
    std::string Sentence(const rdx::LogRecord &record) {
        Stream out;
        EXPECT_EQ(0u, rdx::FormatLogSentence(record, &out));
        return out.Bytes();
    }

    rdxtest::FakeConnection connection_{};
};

TEST_F(LogSentenceTest, ErrorsNameTheConnectionAndOperationInWords) {
    During(7);
    RDActivityLog(1547);
    Stream bad("line 3: \"x\" is not an integer", 256);
    During(11);
    RDActivityLogStream(0, &bad, 12803);
    ASSERT_EQ(2u, sent().size());
    EXPECT_EQ(1547u, sent()[0].message);
    EXPECT_EQ("ERROR: The library is not a complete link connector (connection src, connecting).",
              sent()[0].text);
    // The free text's own status is the number; no "; number" trails it.
    EXPECT_EQ(12803u, sent()[1].message);
    EXPECT_EQ("ERROR: line 3: \"x\" is not an integer (connection src, fetching records).",
              sent()[1].text);
    // Programs reading the last entry still get the sections.
    Stream last;
    RDActivityGetLogLast(&last, nullptr, nullptr);
    EXPECT_EQ("ERROR: line 3: \"x\" is not an integer; connection src; while calling RDXFetch; "
              "number 12803",
              last.Bytes());
}

TEST_F(LogSentenceTest, InformationAndStopsAreTheirOwnWords) {
    During(17);
    Stream name("T1", 256);
    RDActivityLogEx(0x10000664, 3, 0, 0, &name, nullptr, nullptr);
    rdx::Context()->log.current = {};
    Stream stop("Stopped on request after 874,200 records", 256), note("all done", 256);
    RDActivityLogStream(0, &stop, 1542);
    RDActivityLogStream(RDLOG_INFORMATIONAL, &note, 0);
    ASSERT_EQ(3u, sent().size());
    EXPECT_EQ(0x10000664u, sent()[0].message);
    EXPECT_EQ("Created metadata T1.", sent()[0].text);
    EXPECT_EQ(1542u, sent()[1].message);
    EXPECT_EQ("ERROR: Stopped on request after 874,200 records.", sent()[1].text);
    EXPECT_EQ(RDMESSAGE_INFOTEXT, sent()[2].message);
    EXPECT_EQ("all done.", sent()[2].text);
}

TEST_F(LogSentenceTest, SentenceEndsAndAFreeTextAfterACatalogueMessage) {
    struct Case {
        const char *text;
        std::string expected;
    } cases[] = {
        {"Done.", "Done."},
        {"Done?", "Done?"},
        {"trailing; ", "trailing."},
        {"", ""},
    };
    for (const Case &c : cases) {
        Stream text(c.text, 256);
        rdx::LogRecord record{};
        record.message = RDMESSAGE_INFOTEXT;
        record.text = &text;
        EXPECT_EQ(c.expected, Sentence(record)) << c.text;
        EXPECT_EQ(RDMESSAGE_INFOTEXT, rdx::LogColumnNumber(record));
    }
    // A catalogue message keeps its number in the column and shows the
    // number its free text came with in words.
    Stream disk("disk full", 256);
    rdx::LogRecord record{};
    record.message = 1546;
    record.text = &disk;
    record.number = 42;
    record.connection = connection_.Record();
    EXPECT_EQ("ERROR: The link connector could not be loaded. disk full (42) (connection src).",
              Sentence(record));
    EXPECT_EQ(1546u, rdx::LogColumnNumber(record));
}

} // namespace
