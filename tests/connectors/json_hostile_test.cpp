// SPDX-License-Identifier: Apache-2.0
// Hostile JSON Lines: each bad line fails as its own record, named by its
// line, kept for the rejects, and the lines after it still read; nothing
// reads past what the file holds, however deep, long or broken a line is.
#include "json_test_env.h"

#include <fstream>

#include <random>

namespace connectortest {
namespace {

struct Fault {
    uint64_t line;
    std::string reject, error;
};

// Reads name with fields n:int, s:text through every record fault; the
// good rows and the faults in order.
void ReadThrough(JsonTest &test, Connection &c, std::vector<std::string> &rows,
                 std::vector<Fault> &faults) {
    List list(3);
    ASSERT_EQ(0u, c.Select(list, 3)) << c.LastError();
    for (int guard = 0; guard < 1000; ++guard) {
        uint32_t fetched = 0;
        const uint32_t status = c.Fetch(list, 1, 3, &fetched);
        for (const std::string &row : KitRows(list, 1, fetched))
            rows.push_back(row);
        if (status == RDX_END_OF_DATA) return;
        if (status == 0) continue;
        ASSERT_EQ(RDSTATUS_RECORDFAULT, status) << c.LastError();
        faults.push_back({std::stoull(c.Get("RejectLine")), c.Get("RejectRecord"), c.LastError()});
    }
    (void)test;
}

TEST_F(JsonTest, EachBadLineFailsAloneAndTheRestReads) {
    const std::string deep = std::string(5000, '[') + std::string(5000, ']');
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"{\"n\":1,\"n\":2}", "comes twice"},
        {"[1,2]", "no JSON object"},
        {"\"text\"", "no JSON object"},
        {"{\"n\":1} {\"n\":2}", "more than one JSON value"},
        {"{\"n\":1,}", "valid JSON"},
        {"{\"n\":1}]", "JSON"},
        {"{\"n\":1", "valid JSON"},
        {"{\"s\":\"open", "valid JSON"},
        {"{\"s\":\"\xC3\x28\"}", "valid JSON"},          // broken UTF-8
        {"{\"s\":\"\\ud800\"}", "valid JSON"},           // a lone surrogate
        {"{\"s\":\"a\x01\"}", "valid JSON"},             // a raw control character
        {"{\"n\":1e999999}", "not an integer"},          // beyond any number
        {"{\"n\":123456789012345678901234567890}", "n"}, // beyond int
        {"{\"n\":01}", "not a JSON number"},
        {"{\"s\":" + deep + "}", "1024 levels"},
        {"{\"s\":[1,]}", "nested value is no valid JSON"},
        {"{\"s\":{\"a\" 1}}", "valid JSON"},
        {"{\"n\":tru}", "valid JSON"},
        {"{\"n\":nul}", "valid JSON"},
    };
    std::string file = "{\"n\":0,\"s\":\"first\"}\n";
    for (const auto &[line, why] : bad)
        file += line + "\n{\"n\":1}\n";
    WriteFile(Path("bad.jsonl"), file);
    auto c = Open("bad.jsonl", {{"Columns", "n:int,s:text"}});
    std::vector<std::string> rows;
    std::vector<Fault> faults;
    ReadThrough(*this, *c, rows, faults);
    ASSERT_EQ(bad.size() + 1, rows.size());
    EXPECT_EQ("0|first", rows[0]);
    EXPECT_EQ(std::vector<std::string>(bad.size(), "1|<null>"),
              std::vector<std::string>(rows.begin() + 1, rows.end()));
    ASSERT_EQ(bad.size(), faults.size());
    for (size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(bad[i].first.substr(0, 40));
        EXPECT_EQ(2 + 2 * i, faults[i].line);
        EXPECT_EQ(bad[i].first + "\n", faults[i].reject);
        EXPECT_NE(std::string::npos, faults[i].error.find(bad[i].second)) << faults[i].error;
        EXPECT_NE(std::string::npos, faults[i].error.find("line " + std::to_string(2 + 2 * i)))
            << faults[i].error;
    }
}

TEST_F(JsonTest, DeepNestingIsKeptAsTextWithinTheParsersDepth) {
    const std::string nested = std::string(500, '[') + "1" + std::string(500, ']');
    WriteFile(Path("deep.jsonl"), "{\"j\":" + nested + "}\n");
    EXPECT_EQ((std::vector<std::string>{nested}), ReadAll("deep.jsonl", {}));
}

// Keys are data: an empty key is a field like any other, and more keys
// than any table has are refused before a field list is laid out.
TEST_F(JsonTest, EmptyKeysAndEndlesslyManyKeys) {
    WriteFile(Path("empty.jsonl"), "{\"\":1,\" \":\"x\"}\n");
    std::string layout;
    EXPECT_EQ((std::vector<std::string>{"1|x"}), ReadAll("empty.jsonl", {}, &layout));
    EXPECT_EQ(":1, :6", layout);
    std::string many;
    for (int line = 0; line < 50; ++line) {
        many += "{";
        for (int key = 0; key < 100; ++key)
            many += (key ? ",\"k" : "\"k") + std::to_string(line * 100 + key) + "\":0";
        many += "}\n";
    }
    WriteFile(Path("many.jsonl"), many);
    auto c = Open("many.jsonl");
    List list(1);
    EXPECT_EQ(RDSTATUS_FREETEXT, c->Select(list, 1));
    EXPECT_NE(std::string::npos, c->LastError().find("line 41")) << c->LastError();
    EXPECT_EQ(0u, RDFieldlistGetCount(list));
}

// A line beyond MaxLineBytes fails alone, without being held: the reject
// keeps its first 64 KiB.
TEST_F(JsonTest, ALineBeyondTheLimitFailsWithoutBeingHeld) {
    const std::string huge = "{\"s\":\"" + std::string(3u << 20, 'x') + "\"}";
    WriteFile(Path("long.jsonl"), "{\"s\":\"a\"}\n" + huge + "\n{\"s\":\"b\"}\n" + huge);
    auto c = Open("long.jsonl", {{"Columns", "s:text"}, {"MaxLineBytes", "1000000"}});
    std::vector<std::string> rows;
    std::vector<Fault> faults;
    ReadThrough(*this, *c, rows, faults);
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), rows);
    ASSERT_EQ(2u, faults.size());
    EXPECT_EQ(2u, faults[0].line);
    EXPECT_EQ(4u, faults[1].line);
    EXPECT_EQ(huge.substr(0, 64u << 10) + "\n", faults[0].reject);
    EXPECT_NE(std::string::npos, faults[0].error.find("MaxLineBytes")) << faults[0].error;
    // Under the default limit the same line reads.
    const auto all = ReadAll("long.jsonl", {{"Columns", "s:text"}});
    ASSERT_EQ(4u, all.size());
    EXPECT_EQ(3u << 20, all[1].size());
}

// A line of 100 MB under the default limit of 16 MiB: read past in blocks,
// never held whole, and the lines after it read.
TEST_F(JsonTest, AHundredMegabyteLineIsReadPast) {
    {
        std::ofstream file(Path("huge.jsonl"), std::ios::binary);
        file << "{\"s\":\"a\"}\n{\"s\":\"";
        const std::string chunk(1u << 20, 'x');
        for (int i = 0; i < 100; ++i)
            file << chunk;
        file << "\"}\n{\"s\":\"b\"}\n";
    }
    auto c = Open("huge.jsonl", {{"Columns", "s:text"}});
    std::vector<std::string> rows;
    std::vector<Fault> faults;
    ReadThrough(*this, *c, rows, faults);
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), rows);
    ASSERT_EQ(1u, faults.size());
    EXPECT_EQ(2u, faults[0].line);
    EXPECT_EQ((64u << 10) + 1, faults[0].reject.size());
}

// Random bytes and random cuts of good lines never take the reader past a
// line: every line is a record or a fault of its own.
TEST_F(JsonTest, RandomLinesAreEachARecordOrAFault) {
    std::mt19937 random(20240229);
    const std::string good = "{\"n\":12,\"s\":\"\xC3\xA9\\\"x\\u0041\",\"o\":{\"a\":[1,{}]}}";
    const std::string alphabet = "{}[]\":,\\ntrufalse0123456789.eE+-\xC3\xA9\x80\xFF ";
    std::string file;
    const int lines = 400;
    for (int i = 0; i < lines; ++i) {
        std::string line = good;
        switch (random() % 3) {
        case 0:
            line = line.substr(0, random() % line.size());
            break;
        case 1:
            for (int k = 0; k < 3; ++k)
                line[random() % line.size()] = alphabet[random() % alphabet.size()];
            break;
        default:
            line.clear();
            for (size_t k = random() % 40 + 1; k > 0; --k)
                line += alphabet[random() % alphabet.size()];
        }
        for (char &ch : line)
            if (ch == '\n') ch = ' ';
        if (line.find_first_not_of(" \t\r") == std::string::npos) line = "x";
        file += line + "\n";
    }
    WriteFile(Path("random.jsonl"), file);
    auto c = Open("random.jsonl", {{"Columns", "n:int,s:text,o:json"}});
    std::vector<std::string> rows;
    std::vector<Fault> faults;
    ReadThrough(*this, *c, rows, faults);
    EXPECT_EQ(static_cast<size_t>(lines), rows.size() + faults.size());
    for (const Fault &f : faults)
        EXPECT_NE(std::string::npos, file.find(f.reject)) << f.line;
}

} // namespace
} // namespace connectortest
