// SPDX-License-Identifier: Apache-2.0
// Message formatting: every markup item, groups and cut points, the sections,
// cutting at character boundaries, and growth for repeated texts.
#include "../support/alloc_failure.h"
#include "activity/log_format.h"
#include "activity_test_env.h"

#include <optional>

namespace {

using namespace rdx;
using rdxtest::Repeat;
using rdxtest::Stream;

class LogFormatTest : public rdxtest::ActivityTest {
  protected:
    // The record's text, formatted; the status must be 0.
    std::string Format(const LogRecord &record, bool withSections = true) {
        Stream out;
        EXPECT_EQ(0u, FormatLogRecord(record, withSections, &out));
        EXPECT_EQ(256u, out.s.charset);
        return out.Bytes();
    }
    // pattern as the template of an informational free text (no prefix).
    std::string Markup(const std::string &pattern, std::array<uint32_t, 3> args = {},
                       std::array<std::optional<std::string>, 3> texts = {}) {
        Stream text(pattern, 256);
        Stream slots[3];
        LogRecord record{};
        record.message = RDMESSAGE_INFOTEXT;
        record.text = &text;
        for (int i = 0; i < 3; ++i) {
            record.args[i] = args[i];
            if (texts[i]) {
                RDStreamDataSet(&slots[i], 256, texts[i]->data(),
                                static_cast<uint32_t>(texts[i]->size()));
                record.streams[i] = &slots[i];
            }
        }
        return Format(record, false);
    }
};

TEST_F(LogFormatTest, NumbersTypesAndKinds) {
    struct Case {
        std::string pattern;
        uint32_t arg;
        std::string expected;
    } cases[] = {
        {"a [[RDI1]] b", 7, "a 7 b"},
        {"[[RDI1]]", 70000, "0x11170"},
        {"[[RDI1]]", static_cast<uint32_t>(-5), "-5"},
        {"[[RDI1]]", 65535, "65535"},
        {"[[RDI1]]", static_cast<uint32_t>(-65535), "-65535"},
        {"[[RDI1]]", 65536, "0x10000"},
        {"[[RDI1]]", static_cast<uint32_t>(-65536), "0xffff0000"},
        {"a [[RDI1]] b", 0, "a  b"},
        {"[[RDI4]][[RDI0]][[RDI]]", 7, ""}, // no slot selected
        {"[[RDI1 anything]]", 7, "7"},      // only two characters are read
        {"[[RDO1]]", 2, "database"},
        {"[[RDO1]]", 0, ""},
        {"[[RDT1]]", 6, "text"},
        {"[[RDT1]]", 0x40000003, "text list"},
        {"[[RDT1]]", 200, "MSG# 1608 NOT FOUND"},
        {"[[RDP1]]", 0x10004, "0x10004"}, // no declarations: the number
        {"[[RDP1]]", 3, "3"},
        {"x[[RDQ1]]y[[RD]]z", 7, "xyz"},    // unknown letters are dropped
        {"a [[RDI1 b", 7, "a "},            // no closing: the text ends
        {"100% [[RDI1]]%s", 1, "100% 1%s"}, // no printf in free texts
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, Markup(c.pattern, {c.arg})) << c.pattern << " with " << c.arg;
}

TEST_F(LogFormatTest, TextsBySlot) {
    EXPECT_EQ("1:a 2:b 3:c", Markup("1:[[RDS1]] 2:[[RDS2]] 3:[[RDS3]]", {}, {"a", "b", "c"}));
    EXPECT_EQ("1: 2:", Markup("1:[[RDS1]] 2:[[RDS2]]", {}, {std::nullopt, ""}));
    // A text in another character set is converted to UTF-8.
    Stream wide(rdxtest::Wide(u"\u00e9t\u00e9"), 160), pattern("<[[RDS1]]>", 256);
    LogRecord record{};
    record.message = RDMESSAGE_INFOTEXT;
    record.text = &pattern;
    record.streams[0] = &wide;
    EXPECT_EQ("<\xC3\xA9t\xC3\xA9>", Format(record, false));
}

TEST_F(LogFormatTest, CutPoints) {
    const std::string pattern = "word [[RDI1]] second [[RDX-]]third [[RDS1]]";
    EXPECT_EQ("word 7 second ", Markup(pattern, {7}));
    EXPECT_EQ("word 7 second third T", Markup(pattern, {7}, {"T"}));
    EXPECT_EQ("a ", Markup("a [[RDX-]]b")); // nothing replaced after the cut point
    EXPECT_EQ("a 1 b", Markup("a [[RDI1]] [[RDX-]]b[[RDX-]]", {1})); // cut at the end
    EXPECT_EQ("a ", Markup("a [[RDX-]]b[[RDS1]]"));
    EXPECT_EQ("a b ", Markup("a [[RDX-]]b [[RDX-]]c[[RDS1]]")); // the last cut point counts
}

TEST_F(LogFormatTest, Groups) {
    const std::string pattern = "A [[RDX(]]B [[RDS2]] C[[RDX)]] D";
    EXPECT_EQ("A  D", Markup(pattern));
    EXPECT_EQ("A  D", Markup(pattern, {}, {"x", ""}));
    EXPECT_EQ("A B t C D", Markup(pattern, {}, {std::nullopt, "t"}));
    EXPECT_EQ("ab", Markup("a[[RDX)]]b")); // a close without an open group
    // An outer group whose only replacement is in a nested group is kept.
    const std::string nested = "<[[RDX(]]outer [[RDX(]]inner [[RDS1]][[RDX)]] tail[[RDX)]]>";
    EXPECT_EQ("<outer inner x tail>", Markup(nested, {}, {"x"}));
    EXPECT_EQ("<>", Markup(nested));
    EXPECT_EQ("<>", Markup("<[[RDX(]]outer [[RDX(]]in[[RDX)]] tail[[RDI1]][[RDX)]]>", {0}));
    EXPECT_EQ("<outer  tail1>",
              Markup("<[[RDX(]]outer [[RDX(]]in[[RDX)]] tail[[RDI1]][[RDX)]]>", {1}));
}

TEST_F(LogFormatTest, GroupsBeyondSixDeep) {
    const std::string open = Repeat("[[RDX(]]", 8), close = Repeat("[[RDX)]]", 8);
    EXPECT_EQ("<>", Markup("<" + open + "z[[RDS1]]" + close + ">"));
    EXPECT_EQ("<zq>", Markup("<" + open + "z[[RDS1]]" + close + ">", {}, {"q"}));
}

TEST_F(LogFormatTest, RepeatedTextsGrowTheOutput) {
    const std::string text = Repeat("\xC3\xA9", 256); // 512 bytes
    const std::string out = Markup(Repeat("[[RDS1]]", 100), {}, {text});
    EXPECT_EQ(Repeat(text, 100), out);
}

TEST_F(LogFormatTest, PrefixNotFoundAndSections) {
    LogRecord record{};
    record.message = 1546;
    EXPECT_EQ("ERROR: The link connector could not be loaded.", Format(record));
    record.message = 4242;
    EXPECT_EQ("ERROR: MSG# 4242 NOT FOUND", Format(record));
    rdxtest::FakeConnection connection{};
    RDStreamDataSet(&connection.name, 256, "src", 3);
    Stream text("disk full", 256);
    struct Case {
        uint32_t entry, argument, number;
        bool withText;
        std::string sections;
    } cases[] = {
        {0, 0, 0, false, ""},
        {7, 0, 0, false, "; while calling RDXConnect"},
        {15, 2, 0, false, "; while calling RDXAction (action 2)"},
        // A connector's own code beyond the named ones is shown as a number.
        {15, 32, 0, false, "; while calling RDXAction (32)"},
        {17, 0x524F4C4C, 0, false, "; while calling RDXCreate (1380928588)"},
        {16, 3, 0, false, "; while calling RDXCatalog (metadata)"},
        {0, 0, 70000, false, "; number 0x11170"},
        {0, 0, 42, true, "; disk full 42"},
        {0, 0, 0, true, "; disk full "},
    };
    for (const Case &c : cases) {
        record = LogRecord{};
        record.message = 1546;
        record.connection = connection.Record();
        record.entry = c.entry;
        record.operationArgument = c.argument;
        record.number = c.number;
        record.text = c.withText ? &text : nullptr;
        EXPECT_EQ("ERROR: The link connector could not be loaded.; connection src" + c.sections,
                  Format(record))
            << c.entry << " " << c.argument << " " << c.number;
        EXPECT_EQ("ERROR: The link connector could not be loaded.", Format(record, false));
    }
    RDStreamDataFree(&connection.name);
}

TEST_F(LogFormatTest, SectionsAreCutAtCharacters) {
    rdxtest::FakeConnection connection{};
    const std::string name = "x" + Repeat("\xC3\xA9", 300);
    RDStreamDataSet(&connection.name, 256, name.data(), static_cast<uint32_t>(name.size()));
    LogRecord record{};
    record.message = RDMESSAGE_INFORMATIONAL; // the informational form of text 0
    record.connection = connection.Record();
    const std::string section = "connection " + name.substr(0, 1 + 2 * 249); // 510 bytes
    EXPECT_EQ("The operation completed successfully.; " + section, Format(record));
    RDStreamDataFree(&connection.name);
}

TEST_F(LogFormatTest, FailedAllocations) {
    Stream wide(rdxtest::Wide(std::u16string(300, u'\u00e9')), 160);
    Stream pattern(Repeat("[[RDS1]]", 4) + "[[RDX(]][[RDS2]][[RDX)]]", 256);
    LogRecord record{};
    record.message = kFreeTextMessage;
    record.text = &pattern;
    record.streams[0] = &wide;
    record.number = 3;
    rdtest::ForEachAllocationFailure(
        [&] {
            Stream out;
            const uint32_t status = FormatLogRecord(record, true, &out);
            if (status == 0) {
                EXPECT_EQ(7u + 4 * 600 + 10, out.s.length);
            }
            return status;
        },
        [](uint32_t status) { EXPECT_EQ(258u, status); });
}

} // namespace
