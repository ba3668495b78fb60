// SPDX-License-Identifier: Apache-2.0
// Reading delimited files: RFC 4180 shapes, column types, batches and the
// faults of malformed lines.
#include "csv_test_env.h"

namespace connectortest {
namespace {

TEST_F(CsvTest, IdentifiesAsACompleteLinkConnector) {
    ASSERT_NE(nullptr, csv_.library) << dlerror();
    EXPECT_EQ(0u, csv_.identifyStatus);
    EXPECT_TRUE(csv_.Complete());
    EXPECT_EQ(RDX_INTERFACE_VERSION, csv_.record.version);
    EXPECT_EQ(RDX_KIND_LINK, csv_.record.kind);
    for (const char *name : {"Path", "Delimiter", "Quote", "Header", "Charset", "Columns",
                             "InferRows", "LineEnd", "Create", "LastError"})
        EXPECT_NE(0u, csv_.Number(name)) << name;
}

// Quoted delimiters, doubled quotes, line breaks inside quotes, empty text
// against null, non-ASCII text; with LF and with CRLF line ends.
TEST_F(CsvTest, Rfc4180ShapesReadAndWrittenBackByteForByte) {
    for (const std::string eol : {"\n", "\r\n"}) {
        const std::string file = "id,name,note" + eol + "1,plain,x" + eol +
                                 "2,\"with, comma\",\"\"" + eol + "3,\"say \"\"hi\"\"\"," + eol +
                                 "4,\"two" + eol + "lines\",end" + eol +
                                 "5,\xC3\xBCn\xC3\xAF c\xC3\xB6"
                                 "de \xE2\x9C\x93,\"cr\rinside\"" +
                                 eol + ",,\" lead and trail \"" + eol;
        WriteFile(Path("in.csv"), file);
        auto in = Open("in.csv");
        auto out = Open("out.csv", {{"Create", "yes"}, {"LineEnd", eol == "\n" ? "LF" : "CRLF"}});
        List list(2);
        ASSERT_EQ(0u, in->Select(list, 2));
        EXPECT_EQ("id:1,name:6,note:6", Layout(list));
        std::vector<std::string> rows;
        EXPECT_EQ((std::vector<Step>{{0, 2}, {0, 2}, {0, 2}, {RDX_END_OF_DATA, 0}}),
                  FetchAll(*in, list, rows));
        EXPECT_EQ((std::vector<std::string>{"1|plain|x", "2|with, comma|", "3|say \"hi\"|<null>",
                                            "4|two" + eol + "lines|end",
                                            "5|\xC3\xBCn\xC3\xAF c\xC3\xB6"
                                            "de \xE2\x9C\x93|cr\rinside",
                                            "<null>|<null>| lead and trail "}),
                  rows);
        ASSERT_EQ(RDX_END_OF_DATA, Copy(*in, *out, 4));
        EXPECT_EQ(file, ReadFile(Path("out.csv")));
        std::remove(Path("out.csv").c_str());
    }
}

TEST_F(CsvTest, OtherDelimiterAndQuoteAndNoHeader) {
    WriteFile(Path("in.txt"), "1;'a;b';'it''s'\n2;c;d\n");
    auto in = Open("in.txt", {{"Delimiter", ";"}, {"Quote", "'"}, {"Header", "no"}});
    List list(5);
    ASSERT_EQ(0u, in->Select(list, 5));
    EXPECT_EQ("Column1:1,Column2:6,Column3:6", Layout(list));
    std::vector<std::string> rows;
    FetchAll(*in, list, rows);
    EXPECT_EQ((std::vector<std::string>{"1|a;b|it's", "2|c|d"}), rows);
}

TEST_F(CsvTest, ColumnTypesDeclaredOrInferred) {
    WriteFile(Path("t.csv"), "id,amount,when,day,name\n"
                             "1,12.50,2024-02-29 13:45:00,2024-03-01,alpha\n"
                             "-7,0.001,1999-12-31T23:59:59.5,1999-12-31,\n"
                             ",-3,,,gamma\n");
    {
        auto in = Open("t.csv");
        List list(5);
        ASSERT_EQ(0u, in->Select(list, 5));
        EXPECT_EQ("id:1,amount:4,when:5,day:5,name:6", Layout(list));
        uint32_t fetched = 0;
        EXPECT_EQ(RDX_END_OF_DATA, in->Fetch(list, 1, 5, &fetched));
        ASSERT_EQ(3u, fetched);
        uint32_t field = 0;
        ASSERT_EQ(0u, RDFieldlistGetField(list, 3, 256, &field, nullptr));
        RDDatetime when{};
        uint32_t isNull = 0;
        ASSERT_EQ(0u, RDFieldGetDatetime(field, 2, &when, &isNull));
        RDDatetimeParts parts{};
        ASSERT_EQ(0u, RDDatetimeGetParts(&when, 0, &parts));
        EXPECT_EQ("1999-12-31 23:59:59.50", rdxtest::Show(parts));
        const std::vector<std::string> rows = Rows(list, 1, 3);
        EXPECT_EQ("1|12.5|", rows[0].substr(0, 7));
        EXPECT_EQ("-7|0.001|", rows[1].substr(0, 9));
        EXPECT_EQ("<null>|-3|<null>|<null>|gamma", rows[2]);
    }
    {
        auto in = Open("t.csv", {{"Columns", "id:float, amount:numeric(12,2), when:text, "
                                             "day:datetime, label:text"}});
        List list(5);
        ASSERT_EQ(0u, in->Select(list, 5));
        EXPECT_EQ("id:2,amount:4,when:6,day:5,label:6", Layout(list));
        uint32_t field = 0, precision = 0, scale = 0;
        ASSERT_EQ(0u, RDFieldlistGetField(list, 2, 256, &field, nullptr));
        ASSERT_EQ(0u, RDFieldGetFormatNumber(field, nullptr, nullptr, &precision, &scale));
        EXPECT_EQ(12u, precision);
        EXPECT_EQ(2u, scale);
    }
    // Numbers that would not come back as written stay texts.
    {
        WriteFile(Path("z.csv"), "zip,n,x\n01234,+5,0.5\n00,1,-0\n");
        auto in = Open("z.csv");
        List list(2);
        ASSERT_EQ(0u, in->Select(list, 2));
        EXPECT_EQ("zip:6,n:6,x:4", Layout(list));
    }
    // A declared list that does not fit the header fails the select; an
    // unknown type is refused already when the list is set.
    {
        auto in = Open("t.csv", {{"Columns", "int,text"}});
        List list(5);
        EXPECT_EQ(RDSTATUS_FREETEXT, in->Select(list, 5));
        EXPECT_NE(std::string::npos, in->LastError().find("column")) << in->LastError();
    }
    Connection bad(csv_);
    EXPECT_EQ(RDSTATUS_FREETEXT, bad.Set("Columns", "id:int,amount:money(3),a:text"));
    EXPECT_NE(std::string::npos, bad.LastError().find("column 2 has an unknown type \"money(3)\""))
        << bad.LastError();
}

// Each batch is filled from record 1 of the list; the last one ends with
// RDX_END_OF_DATA and the count of the records it still filled.
TEST_F(CsvTest, BatchesEndingAtAndOnePastTheBatchSize) {
    struct Case {
        int records;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {6, {{0, 3}, {0, 3}, {RDX_END_OF_DATA, 0}}},
        {7, {{0, 3}, {0, 3}, {RDX_END_OF_DATA, 1}}},
        {2, {{RDX_END_OF_DATA, 2}}},
        {0, {{RDX_END_OF_DATA, 0}}},
    };
    for (const Case &c : cases) {
        std::string file = "n,t\n";
        for (int i = 1; i <= c.records; ++i)
            file += std::to_string(i) + ",r" + std::to_string(i) + "\n";
        WriteFile(Path("b.csv"), file);
        auto in = Open("b.csv", {{"Columns", "n:int,t:text"}});
        List list(3);
        uint32_t count = 0;
        ASSERT_EQ(0u, in->Select(list, 3, &count));
        EXPECT_EQ(RDX_COUNT_UNKNOWN, count);
        std::vector<std::string> rows;
        EXPECT_EQ(c.steps, FetchAll(*in, list, rows)) << c.records;
        ASSERT_EQ(static_cast<size_t>(c.records), rows.size());
        if (c.records > 0) {
            EXPECT_EQ(std::to_string(c.records) + "|r" + std::to_string(c.records), rows.back());
        }
        // Past the end the fetch keeps saying so.
        uint32_t fetched = 9;
        EXPECT_EQ(RDX_END_OF_DATA, in->Fetch(list, 1, 3, &fetched));
        EXPECT_EQ(0u, fetched);
    }
}

// A malformed line fails the fetch as a record fault, the records
// before it counted, and a text naming the line and the fault; the next
// fetch goes on after it.
TEST_F(CsvTest, MalformedLinesNameTheLineAndTheFault) {
    struct Case {
        const char *what;
        std::string body;
        std::string line, fault;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {"unbalanced quote",
         "1,a\n2,\"open\n3,c\n",
         "line 3 ",
         "quoted field 2, opened on line 3, is not closed: it runs to the end of the file, 2 lines",
         {}},
        {"too many fields",
         "1,a\n2,b,extra\n3,c\n",
         "line 3 ",
         "has 3 fields, 2 are expected",
         {"3|c"}},
        {"too few fields", "1,a\n2\n3,c\n", "line 3 ", "has 1 fields, 2 are expected", {"3|c"}},
        {"not an integer",
         "1,a\n2x,b\n3,c\n",
         "line 3 ",
         "field 1 (id): \"2x\" is not an integer",
         {"3|c"}},
        {"integer overflow", "1,a\n2147483648,b\n3,c\n", "line 3 ", "is not an integer", {"3|c"}},
        {"invalid UTF-8",
         "1,a\n2,b\xC3(\n3,c\n",
         "line 3 ",
         "not valid in character set utf-8 (65001)",
         {"3|c"}},
        {"text after a closing quote",
         "1,a\n2,\"b\"x\n3,c\n",
         "line 3 ",
         "text follows the closing quote of field 2",
         {"3|c"}},
        {"quote inside a field",
         "1,a\n2,b\"c\n3,c\n",
         "line 3 ",
         "field 2 holds a quote but does not start with one",
         {"3|c"}},
        {"after a multi-line record",
         "1,\"a\nb\"\n2x,c\n",
         "line 4 ",
         "\"2x\" is not an integer",
         {}},
    };
    for (const Case &c : cases) {
        WriteFile(Path("bad.csv"), "id,name\n" + c.body);
        auto in = Open("bad.csv", {{"Columns", "id:int,name:text"}});
        List list(10);
        ASSERT_EQ(0u, in->Select(list, 10));
        uint32_t fetched = 0;
        EXPECT_EQ(RDSTATUS_RECORDFAULT, in->Fetch(list, 1, 10, &fetched)) << c.what;
        EXPECT_EQ(1u, fetched) << c.what;
        const std::string error = in->LastError();
        EXPECT_EQ(0u, error.find(c.line + "of " + Path("bad.csv") + ": ")) << error;
        EXPECT_NE(std::string::npos, error.find(c.fault)) << error;
        std::vector<std::string> rows;
        EXPECT_EQ(RDX_END_OF_DATA, FetchAll(*in, list, rows).back().status) << c.what;
        EXPECT_EQ(c.after, rows) << c.what;
    }
}

TEST_F(CsvTest, ConnectNamesWhatIsMissing) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> props;
        std::string path, fault;
    };
    const std::string missing = Path("missing.csv");
    const Case cases[] = {
        {{}, missing, missing + " cannot be found"},
        {{{"Create", "yes"}}, Path("nofolder/x.csv"), "the folder " + Path("nofolder")},
        {{{"Delimiter", "\""}}, "", "must differ"},
        {{{"Charset", "160"}}, "", "not supported"},
        {{}, "", "no file is named"},
    };
    for (const Case &c : cases) {
        Connection conn(csv_);
        if (!c.path.empty()) {
            ASSERT_EQ(0u, conn.Set("Path", c.path));
        } else if (c.fault != "no file is named") {
            WriteFile(Path("x"), "a\n");
            ASSERT_EQ(0u, conn.Set("Path", Path("x")));
        }
        for (const auto &[property, value] : c.props)
            ASSERT_EQ(0u, conn.Set(property, value));
        EXPECT_EQ(RDSTATUS_FREETEXT, conn.Connect()) << c.fault;
        EXPECT_NE(std::string::npos, conn.LastError().find(c.fault)) << conn.LastError();
    }
    Connection conn(csv_);
    for (const auto &[property, value] : std::vector<std::pair<std::string, std::string>>{
             {"Delimiter", "ab"}, {"Charset", "klingon"}, {"LineEnd", "CR"}})
        EXPECT_EQ(RDSTATUS_FREETEXT, conn.Set(property, value)) << property;
}

} // namespace
} // namespace connectortest
