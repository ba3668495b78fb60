// SPDX-License-Identifier: Apache-2.0
// The bytes of a CSV file on their way into fields: UTF-8 checked on texts
// wherever a bad sequence lies against the checker's eight-byte steps,
// numbers read without a check and failed with the same text as a checked
// field, and records read in place or copied (across the reader's buffer,
// with doubled quotes) alike.
#include "csv_test_env.h"

namespace connectortest {
namespace {

constexpr const char *kBadBytes = "holds bytes that are not valid in character set utf-8 (65001)";

// Fetches the next record alone: 0 and its row, or the fault's text.
std::string FetchOne(Connection &c, uint32_t list) {
    uint32_t fetched = 0;
    const uint32_t status = c.Fetch(list, 1, 1, &fetched);
    if (status == 0 && fetched == 1) return "ok " + Rows(list, 1, 1)[0];
    if (status == RDSTATUS_RECORDFAULT) return "fault " + c.LastError();
    return "status " + std::to_string(status);
}

TEST_F(CsvTest, TextsAreCheckedAtEveryOffsetOfTheirSequences) {
    struct Sequence {
        const char *what;
        std::string bytes;
        bool valid;
    };
    const Sequence sequences[] = {
        {"two bytes", "\xC3\xA9", true},
        {"three bytes", "\xE2\x82\xAC", true},
        {"four bytes", "\xF0\x9F\x98\x80", true},
        {"largest", "\xF4\x8F\xBF\xBF", true},
        {"cut two", "\xC3", false},
        {"cut three", "\xE2\x82", false},
        {"cut four", "\xF0\x9F\x98", false},
        {"overlong two", "\xC1\xBF", false},
        {"overlong three", "\xE0\x9F\xBF", false},
        {"overlong four", "\xF0\x8F\xBF\xBF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"above the largest", "\xF4\x90\x80\x80", false},
        {"lone continuation", "\x80", false},
        {"lead without room", "\xF5\x80\x80\x80", false},
        {"continuation missing",
         "\xE2"
         "a\xAC",
         false},
    };
    // Each sequence after 0-17 ASCII bytes, with nothing, one byte or more
    // than a word after it: one record each, fetched one by one.
    std::string file;
    std::vector<std::string> expected;
    int line = 1;
    for (const Sequence &s : sequences) {
        for (size_t before = 0; before < 18; ++before) {
            for (size_t after : {0, 1, 9}) {
                const std::string text =
                    std::string(before, 'a') + s.bytes + std::string(after, 'b');
                ++line;
                file += std::to_string(line) + "," + text + "\n";
                expected.push_back(s.valid ? "ok " + std::to_string(line) + "|" + text
                                           : "fault line " + std::to_string(line) + " of " +
                                                 Path("u.csv") + ": field 2 (t) " + kBadBytes);
            }
        }
    }
    WriteFile(Path("u.csv"), "n,t\n" + file);
    auto in = Open("u.csv", {{"Columns", "n:int,t:text"}});
    List list(1);
    ASSERT_EQ(0u, in->Select(list, 1));
    for (const std::string &want : expected)
        ASSERT_EQ(want, FetchOne(*in, list));
    uint32_t fetched = 0;
    EXPECT_EQ(RDX_END_OF_DATA, in->Fetch(list, 1, 1, &fetched));
}

// A number is read from its bytes without a check first: a byte outside
// ASCII fails it, with the text of a checked field when the bytes are not
// UTF-8 and with the value's when they are.
TEST_F(CsvTest, NumbersFailOnBytesOutsideAsciiAsBefore) {
    WriteFile(Path("n.csv"), "i,f,m,d,c\n"
                             "1,2.5,3.25,2024-02-29 10:00:00,4.5\n"
                             "1\xFF,2.5,3.25,2024-02-29,4.5\n"
                             "1,2.5\xC3,3.25,2024-02-29,4.5\n"
                             "1,2.5,3\xC3\xA9,2024-02-29,4.5\n"
                             "1,2.5,3.25,2024-02-29\xED\xA0\x80,4.5\n"
                             "1,2.5,3.25,2024-02-29,4.5\x80\n"
                             "\xC3\xA9,2.5,3.25,2024-02-29,4.5\n"
                             "7,8,9,2024-03-01,10\n");
    auto in = Open("n.csv", {{"Columns", "i:int,f:float,m:numeric(9,2),d:datetime,c:currency"}});
    List list(1);
    ASSERT_EQ(0u, in->Select(list, 1));
    const std::string at = " of " + Path("n.csv") + ": ";
    const std::string expected[] = {
        "ok 1|2.5|3.25|",
        "fault line 3" + at + "field 1 (i) " + kBadBytes,
        "fault line 4" + at + "field 2 (f) " + kBadBytes,
        "fault line 5" + at + "field 3 (m): \"3\xC3\xA9\" is not a numeric",
        "fault line 6" + at + "field 4 (d) " + kBadBytes,
        "fault line 7" + at + "field 5 (c) " + kBadBytes,
        "fault line 8" + at + "field 1 (i): \"\xC3\xA9\" is not an integer",
        "ok 7|8|9|",
    };
    for (const std::string &want : expected) {
        // The ok rows' date-time and currency texts are the library's:
        // their start is compared.
        const std::string got = FetchOne(*in, list);
        if (want.rfind("ok", 0) == 0) {
            EXPECT_EQ(0u, got.rfind(want, 0)) << got;
        } else {
            EXPECT_EQ(want, got);
        }
    }
}

// Records of every shape, over several of the reader's 64 KiB buffers: the
// ones it reads in place and the ones it copies (across a buffer's end,
// doubled quotes) give the same fields, and the lines stay counted: a bad
// record at the end names its line.
TEST_F(CsvTest, RecordsReadInPlaceOrCopiedAlike) {
    std::string file = "n,t,u\n";
    std::vector<std::string> expected;
    int line = 2;
    for (int i = 0; i < 9000; ++i) {
        const std::string pad(static_cast<size_t>(i % 37), 'p');
        std::string t, u, written;
        switch (i % 6) {
        case 0: // plain, LF
            t = "plain" + pad, u = std::to_string(i);
            written = t + "," + u + "\n";
            break;
        case 1: // plain, CRLF
            t = "crlf" + pad, u = "x";
            written = t + "," + u + "\r\n";
            break;
        case 2: // quoted with a delimiter and a line end inside
            t = "a,b\n" + pad, u = "q";
            written = "\"" + t + "\",\"" + u + "\"\n";
            break;
        case 3: // doubled quotes
            t = "say \"hi\"" + pad, u = "\"";
            written = "\"say \"\"hi\"\"" + pad + "\",\"\"\"\"\n";
            break;
        case 4: // quoted, then CRLF; an empty quoted text
            t = pad, u = "";
            written = "\"" + t + "\",\"\"\r\n";
            break;
        default: // a lone CR is data; an unquoted empty field is null
            t = "c\rr" + pad, u = "<null>";
            written = t + ",\n";
            break;
        }
        file += std::to_string(i) + "," + written;
        expected.push_back(std::to_string(i) + "|" + t + "|" + u);
        line += 1 + (i % 6 == 2 ? 1 : 0);
    }
    file += "oops,x,y\n";
    ASSERT_GT(file.size(), 3u * 65536);
    WriteFile(Path("s.csv"), file);
    auto in = Open("s.csv", {{"Columns", "n:int,t:text,u:text"}});
    List list(250);
    ASSERT_EQ(0u, in->Select(list, 250));
    std::vector<std::string> rows;
    const std::vector<Step> steps = FetchAll(*in, list, rows);
    ASSERT_EQ(RDSTATUS_RECORDFAULT, steps.back().status);
    ASSERT_EQ(expected.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        ASSERT_EQ(expected[i], rows[i]) << i;
    EXPECT_EQ(0u, in->LastError().find("line " + std::to_string(line) + " of ")) << in->LastError();
}

} // namespace
} // namespace connectortest
