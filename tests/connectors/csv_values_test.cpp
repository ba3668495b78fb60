// SPDX-License-Identifier: Apache-2.0
// The values of delimited files: types inferred over 10,000 records (or all
// of them), 64-bit integers, numerics that keep their scale and are never
// cut, date-times by a pattern.
#include "csv_test_env.h"

#include "rdx_status.h"

namespace connectortest {
namespace {

class CsvValuesTest : public CsvTest {
  protected:
    // "name:type" of the file's columns as the catalog gives them.
    std::string Types(Connection &c) {
        List list(16);
        uint32_t count = 0;
        EXPECT_EQ(0u, csv_.RDXCatalog(c.Private(), 3, list, &count)) << c.LastError();
        std::string types;
        for (const std::string &row : Rows(list, 1, count))
            types += (types.empty() ? "" : ",") + row.substr(0, row.find('|')) + ":" +
                     row.substr(row.find('|') + 1);
        return types;
    }
    // Every record of the file as rows, and the texts of the faults met.
    std::vector<std::string> ReadAll(Connection &c, std::vector<std::string> &faults) {
        List list(1000);
        EXPECT_EQ(0u, c.Select(list, 1000)) << c.LastError();
        std::vector<std::string> rows;
        for (int guard = 0; guard < 1000; ++guard) {
            uint32_t fetched = 0;
            const uint32_t status = c.Fetch(list, 1, 1000, &fetched);
            for (const std::string &row : Rows(list, 1, fetched))
                rows.push_back(row);
            if (status == RDX_END_OF_DATA) break;
            if (status == 0) continue;
            EXPECT_EQ(RDSTATUS_RECORDFAULT, status) << c.LastError();
            if (status != RDSTATUS_RECORDFAULT) break;
            faults.push_back(c.LastError());
        }
        return rows;
    }
};

// 12,000 integers with one decimal at record `odd`: the default sample of
// 10,000 records sees it up to the 10,000th; after that the column is int
// and the record fails, naming its line, its value and InferRows, until
// InferRows is "all".
TEST_F(CsvValuesTest, InferenceSeesTheFirstOddValueWhereverItIs) {
    constexpr int kRecords = 12000;
    for (const int odd : {1, 100, 150, 10000, kRecords}) {
        SCOPED_TRACE(odd);
        std::string file = "id,v\n";
        for (int r = 1; r <= kRecords; ++r)
            file += std::to_string(r) + "," + (r == odd ? "150.5" : std::to_string(r % 97)) + "\n";
        WriteFile(Path("odd.csv"), file);
        auto c = Open("odd.csv");
        std::vector<std::string> faults;
        const std::vector<std::string> rows = ReadAll(*c, faults);
        if (odd <= 10000) {
            EXPECT_EQ("id:int,v:numeric(19,1)", Types(*c));
            EXPECT_TRUE(faults.empty()) << faults.front();
            ASSERT_EQ(size_t{kRecords}, rows.size());
            EXPECT_EQ(std::to_string(odd) + "|150.5", rows[odd - 1]);
            continue;
        }
        EXPECT_EQ("id:int,v:int", Types(*c));
        ASSERT_EQ(1u, faults.size());
        EXPECT_EQ("line 12001 of " + Path("odd.csv") +
                      ": field 2 (v): \"150.5\" is not an integer; the column's type int was "
                      "inferred from the first 10000 records: set InferRows higher (or to "
                      "\"all\"), or declare the column in Columns",
                  faults[0]);
        EXPECT_EQ(size_t{kRecords - 1}, rows.size());
        ASSERT_EQ(0u, c->Set("InferRows", "all"));
        EXPECT_EQ("all", c->Get("InferRows"));
        faults.clear();
        EXPECT_EQ(size_t{kRecords}, ReadAll(*c, faults).size());
        EXPECT_TRUE(faults.empty());
        EXPECT_EQ("id:int,v:numeric(19,1)", Types(*c));
    }
    auto c = Open("odd.csv");
    EXPECT_EQ(RDSTATUS_FREETEXT, c->Set("InferRows", "most"));
    EXPECT_EQ(0u, c->SetInt("InferRows", 5));
    EXPECT_EQ("5", c->Get("InferRows"));
}

// Integers of 32 bits stay int, of 64 bits become bigint, beyond that
// numeric; decimals take the largest scale seen and are written with it.
TEST_F(CsvValuesTest, IntegersAndScalesAsTheFileHasThem) {
    WriteFile(Path("n.csv"), "i,b,w,n,z\n"
                             "2147483647,3000000000,9223372036854775808,-12.50,0\n"
                             "-2147483648,-9223372036854775808,1,0.00,007\n"
                             "0,9223372036854775807,-99999999999999999999,3,1\n");
    auto in = Open("n.csv");
    EXPECT_EQ("i:int,b:bigint,w:numeric(20,0),n:numeric(20,2),z:text", Types(*in));
    auto out = Open("out.csv", {{"Create", "yes"}, {"LineEnd", "LF"}});
    EXPECT_EQ(RDX_END_OF_DATA, Copy(*in, *out, 2)) << out->LastError();
    EXPECT_EQ("i,b,w,n,z\n"
              "2147483647,3000000000,9223372036854775808,-12.50,0\n"
              "-2147483648,-9223372036854775808,1,0.00,007\n"
              "0,9223372036854775807,-99999999999999999999,3.00,1\n",
              ReadFile(Path("out.csv")));

    // Declared: bigint and int64 are 64 bits, int 32; a numeric(12,2) takes
    // no third digit after the point unless it rounds.
    WriteFile(Path("d.csv"), "a,b,c,n\n3000000000,-9223372036854775808,1,1.999\n"
                             "1,2,3000000000,2.005\n");
    auto declared = Open("d.csv", {{"Columns", "a:bigint,b:int64,c:int,n:numeric(12,2)"}});
    EXPECT_EQ("a:bigint,b:bigint,c:int,n:numeric(12,2)", Types(*declared));
    std::vector<std::string> faults;
    EXPECT_TRUE(ReadAll(*declared, faults).empty());
    ASSERT_EQ(2u, faults.size());
    EXPECT_EQ("line 2 of " + Path("d.csv") +
                  ": field 4 (n): \"1.999\" has more digits after the point (3) than the 2 that "
                  "the field holds; set Rounding to half-even to round it",
              faults[0]);
    EXPECT_NE(std::string::npos, faults[1].find("field 3 (c): \"3000000000\" is not an integer"))
        << faults[1];
    ASSERT_EQ(0u, declared->Set("Rounding", "half-even"));
    ASSERT_EQ(0u, declared->Set("Columns", "a:bigint,b:int64,c:bigint,n:numeric(12,2)"));
    faults.clear();
    EXPECT_EQ((std::vector<std::string>{"3000000000|-9223372036854775808|1|2", "1|2|3000000000|2"}),
              ReadAll(*declared, faults));
    EXPECT_EQ(RDSTATUS_FREETEXT, declared->Set("Rounding", "up"));
    EXPECT_EQ("half-even", declared->Get("Rounding"));
    EXPECT_EQ(RDSTATUS_FREETEXT, declared->Set("Columns", "a:bigint(5)"));
    EXPECT_EQ("Columns: column 1 has an unknown type \"bigint(5)\"", declared->LastError());
}

// A pattern reads the texts the ISO forms do not (and the ISO ones still),
// makes a column of them date-times, and writes date-times when a target
// has one; a target without one writes the ISO text.
TEST_F(CsvValuesTest, DatetimeFormatReadsAndWrites) {
    WriteFile(Path("when.csv"), "d\n30/06/2024 10:15\n2024-06-30T10:15:00.125+02:00\n");
    auto plain = Open("when.csv");
    EXPECT_EQ("d:text", Types(*plain));
    auto in = Open("when.csv", {{"DatetimeFormat", "%d/%m/%Y %H:%M"}});
    EXPECT_EQ("d:datetime", Types(*in));
    EXPECT_EQ("%d/%m/%Y %H:%M", in->Get("DatetimeFormat"));
    auto iso = Open("iso.csv", {{"Create", "yes"}, {"LineEnd", "LF"}});
    EXPECT_EQ(RDX_END_OF_DATA, Copy(*in, *iso, 5)) << iso->LastError();
    EXPECT_EQ("d\n2024-06-30 10:15:00\n2024-06-30 08:15:00.13\n", ReadFile(Path("iso.csv")));
    auto again = Open("when.csv", {{"DatetimeFormat", "%d/%m/%Y %H:%M"}});
    auto shaped = Open(
        "shaped.csv",
        {{"Create", "yes"}, {"LineEnd", "LF"}, {"DatetimeFormat", "%d %b %Y at %I:%M:%S.%f %p"}});
    EXPECT_EQ(RDX_END_OF_DATA, Copy(*again, *shaped, 5)) << shaped->LastError();
    EXPECT_EQ("d\n30 Jun 2024 at 10:15:00.00 AM\n30 Jun 2024 at 08:15:00.13 AM\n",
              ReadFile(Path("shaped.csv")));
    EXPECT_EQ(RDSTATUS_FREETEXT, in->Set("DatetimeFormat", "%d/%m"));
}

} // namespace
} // namespace connectortest
