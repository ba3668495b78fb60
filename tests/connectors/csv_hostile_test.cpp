// SPDX-License-Identifier: Apache-2.0
// Hostile delimited files against a small reference reader of RFC 4180
// written here: a quote opens a quoted field only at the start of a field,
// a record ends at the first line end outside quotes. Fetching on past
// every record fault must give exactly the reference's good records, and
// RejectRecord, RejectLine and ReadPosition after each fault exactly its
// bad ones, byte for byte.
#include "csv_test_env.h"

#include <random>

namespace connectortest {
namespace {

constexpr size_t kColumns = 3;
constexpr size_t kLimit = 16u << 20; // bytes of one record's values
constexpr size_t kCut = 64u << 10;   // bytes kept of a longer bad record

struct RefRecord {
    std::string raw;       // as the file holds it
    uint64_t line = 1;     // where it begins
    uint64_t end = 0;      // offset right after it
    uint64_t nextLine = 1; // line right after it
    std::string row;       // its values joined by '|' ("<null>" for none)
    bool good = true;
};

bool ValidUtf8(const std::string &s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80         ? 1
                         : (c >> 5) == 6  ? 2
                         : (c >> 4) == 14 ? 3
                         : (c >> 3) == 30 ? 4
                                          : 0;
        if (n == 0 || i + n > s.size() || (n == 2 && c < 0xC2)) return false;
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
        }
        const unsigned char d = static_cast<unsigned char>(s[i + 1 < s.size() ? i + 1 : i]);
        if ((n == 3 && c == 0xE0 && d < 0xA0) || (n == 3 && c == 0xED && d > 0x9F) ||
            (n == 4 && c == 0xF0 && d < 0x90) || (n == 4 && (c > 0xF4 || (c == 0xF4 && d > 0x8F))))
            return false;
        i += n;
    }
    return true;
}

// The records of file, with three text columns, ',' and '"'.
std::vector<RefRecord> ReferenceRead(const std::string &file) {
    std::vector<RefRecord> records;
    size_t pos = file.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    uint64_t line = 1;
    while (pos < file.size()) {
        RefRecord rec;
        rec.line = line;
        const size_t start = pos;
        std::vector<std::string> values;
        std::vector<bool> quoted;
        size_t bytes = 0;
        for (bool more = true; more;) {
            std::string value;
            const bool inQuotes = file[pos] == '"';
            bool stray = false;
            if (inQuotes) {
                for (++pos;; ++pos) {
                    if (pos == file.size()) {
                        rec.good = false; // never closed
                        break;
                    }
                    if (file[pos] == '"' && pos + 1 < file.size() && file[pos + 1] == '"') {
                        value += '"';
                        ++pos;
                    } else if (file[pos] == '"') {
                        ++pos;
                        break;
                    } else {
                        line += file[pos] == '\n';
                        value += file[pos];
                    }
                }
                // After the closing quote: a delimiter, a line end or the end.
                const bool crEnd = pos < file.size() && file[pos] == '\r' &&
                                   (pos + 1 == file.size() || file[pos + 1] == '\n');
                pos += crEnd;
                stray = pos < file.size() && file[pos] != ',' && file[pos] != '\n';
            }
            for (; pos < file.size() && file[pos] != ',' && file[pos] != '\n'; ++pos) {
                stray = stray || file[pos] == '"';
                if (!inQuotes) value += file[pos];
            }
            if (!inQuotes && !value.empty() && value.back() == '\r' &&
                (pos == file.size() || file[pos] == '\n'))
                value.pop_back();
            rec.good = rec.good && !stray;
            bytes += value.size();
            values.push_back(value);
            quoted.push_back(inQuotes);
            more = pos < file.size() && file[pos] == ',';
            if (pos < file.size()) line += file[pos++] == '\n';
        }
        rec.raw = file.substr(start, pos - start);
        rec.end = pos;
        rec.nextLine = line;
        rec.good = rec.good && values.size() == kColumns && bytes <= kLimit;
        for (size_t i = 0; rec.good && i < values.size(); ++i) {
            rec.good = ValidUtf8(values[i]);
            rec.row += (i ? "|" : "") + (values[i].empty() && !quoted[i] ? "<null>" : values[i]);
        }
        records.push_back(rec);
    }
    return records;
}

class CsvHostileTest : public CsvTest {
  protected:
    // Reads the file as a copy that skips bad records does, and compares
    // each good record, fault and position with the reference's.
    void ReadAndCompare(const std::string &what, const std::string &file) {
        SCOPED_TRACE(what);
        WriteFile(Path("h.csv"), file);
        auto in = Open("h.csv", {{"Header", "no"}, {"Columns", "a:text,b:text,c:text"}});
        List list(4);
        ASSERT_EQ(0u, in->Select(list, 4)) << in->LastError();
        std::vector<std::string> good, expectedGood;
        std::vector<std::pair<uint64_t, std::string>> bad, expectedBad;
        std::vector<std::string> positions, expectedPositions;
        for (const RefRecord &rec : ReferenceRead(file)) {
            if (rec.good) {
                expectedGood.push_back(rec.row);
                continue;
            }
            expectedBad.emplace_back(rec.line,
                                     rec.raw.size() > kLimit ? rec.raw.substr(0, kCut) : rec.raw);
            expectedPositions.push_back("offset=" + std::to_string(rec.end) +
                                        ";line=" + std::to_string(rec.nextLine));
        }
        for (int guard = 0; guard < 10000; ++guard) {
            uint32_t fetched = 0;
            const uint32_t status = in->Fetch(list, 1, 4, &fetched);
            for (const std::string &row : Rows(list, 1, fetched))
                good.push_back(row);
            if (status == RDX_END_OF_DATA) break;
            if (status == 0) continue;
            ASSERT_EQ(RDSTATUS_RECORDFAULT, status) << in->LastError();
            bad.emplace_back(std::stoull(in->Get("RejectLine")), in->Get("RejectRecord"));
            positions.push_back(in->Get("ReadPosition"));
        }
        EXPECT_EQ(expectedGood, good);
        EXPECT_EQ(expectedBad.size(), bad.size());
        EXPECT_TRUE(expectedBad == bad);
        EXPECT_EQ(expectedPositions, positions);
    }
};

TEST_F(CsvHostileTest, EveryFileReadsAsTheReferenceReadsIt) {
    const std::string big(kLimit + 100, 'x');
    std::string bigLines = big;
    for (size_t i = 500; i < bigLines.size(); i += 1000)
        bigLines[i] = '\n';
    const std::vector<std::pair<std::string, std::string>> files = {
        {"quotes in and across lines",
         "1,\"a \"\"q\"\" b\",x\n2,\"multi\nline\nfield\",y\n3,\"\",\n\"4\",\"a,b\",\"\"\"\"\n"},
        {"a quote inside a field opens nothing",
         "h,h,h\n1,ab\"c,\"multi\n5,FAKE,x\n\"\n2,ok,fine\n3,ok,fine\n"},
        {"stray quotes", "1,a\"b,c\n2,\"x\"y,z\n3,\"ok\",w\n4,x,\"y\"\r\"\n5,ok,ok\n\"\"\",a,b\n"},
        {"text after the closing quote opens a new field", "1,\"a\"x,\"b\nc\",d\n2,ok,ok\n"},
        {"field counts and empty lines", "1,2\n\n1,2,3,4\n,,\n1,2,3"},
        {"invalid UTF-8", "1,\xC3(,x\n2,\xFF\xFE,y\n3,ok,\xE2\x82\n4,\xC3\xA9,\xF0\x9F\x98\x80\n"},
        {"CR only", "1,a,b\r2,c,d\r3,e,f\r"},
        {"mixed line ends", "1,a,b\r\n2,c,d\n3,\"x\r\ny\",z\r\n4,e\r,f\r5,g,h\r\n"},
        {"byte-order marks", "\xEF\xBB\xBF\"1\",a,b\n\xEF\xBB\xBF"
                             "2,c,d\n3,\xEF\xBB\xBF,e\n"},
        {"a byte-order mark alone", "\xEF\xBB\xBF"},
        {"a quoted field over the limit", "0,a,b\n1,\"" + bigLines + "\",x\n2,ok,ok\n"},
        {"a plain field over the limit", "1," + big + ",x\n2,ok,ok"},
    };
    for (const auto &[what, file] : files)
        ReadAndCompare(what, file);
}

// One quote more at every place of a file whose records span lines.
TEST_F(CsvHostileTest, AnUnterminatedQuoteAtEveryPlace) {
    const std::string base = "1,ab,cd\n2,\"e\nf\",g\n3,\"h\"\"i\",jk\r\n4,,\n";
    for (size_t at = 0; at <= base.size(); ++at)
        ReadAndCompare("a quote at " + std::to_string(at),
                       base.substr(0, at) + "\"" + base.substr(at));
}

// Files of random bytes from the characters that matter, the same ones at
// every run.
TEST_F(CsvHostileTest, RandomFilesOfQuotesDelimitersAndLineEnds) {
    std::mt19937 random(4180);
    const std::string alphabet = ",,\"\"\"\n\n\rab\xC3\xA9";
    for (int round = 0; round < 300; ++round) {
        std::string file(random() % 40, ' ');
        for (char &c : file)
            c = alphabet[random() % alphabet.size()];
        ReadAndCompare("random file " + std::to_string(round), file);
    }
}

// The fault of a quote left open names where it began and the lines it
// took; reading on from the position after it finds the end of the file.
TEST_F(CsvHostileTest, AnUnterminatedQuoteNamesItsLineAndLength) {
    WriteFile(Path("h.csv"), "1,a,b\n2,\"x\ny\",z\n3,c,\"open\n4,d,e\n5,f,g");
    auto in = Open("h.csv", {{"Header", "no"}, {"Columns", "a:text,b:text,c:text"}});
    List list(5);
    ASSERT_EQ(0u, in->Select(list, 5));
    uint32_t fetched = 0;
    EXPECT_EQ(RDSTATUS_RECORDFAULT, in->Fetch(list, 1, 5, &fetched));
    EXPECT_EQ(2u, fetched);
    EXPECT_EQ("line 4 of " + Path("h.csv") +
                  ": the quoted field 3, opened on line 4, is not closed: it runs to the end of "
                  "the file, 3 lines",
              in->LastError());
    EXPECT_EQ("4", in->Get("RejectLine"));
    EXPECT_EQ("3,c,\"open\n4,d,e\n5,f,g", in->Get("RejectRecord"));
    const std::string position = in->Get("ReadPosition");
    EXPECT_EQ("offset=37;line=6", position);
    EXPECT_EQ(RDX_END_OF_DATA, in->Fetch(list, 1, 5, &fetched));
    EXPECT_EQ("", in->Get("RejectRecord"));
    EXPECT_EQ("0", in->Get("RejectLine"));
    // A select set to that position ends at once.
    auto again = Open("h.csv", {{"Header", "no"}, {"Columns", "a:text,b:text,c:text"}});
    ASSERT_EQ(0u, again->Set("ReadPosition", position));
    ASSERT_EQ(0u, again->Select(list, 5)) << again->LastError();
    EXPECT_EQ(RDX_END_OF_DATA, again->Fetch(list, 1, 5, &fetched));
    EXPECT_EQ(0u, fetched);
}

} // namespace
} // namespace connectortest
