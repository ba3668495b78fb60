// SPDX-License-Identifier: Apache-2.0
// Incremental reads of the delimited-text connector: records whose key does
// not pass the bookmark are dropped as the file is read, compared by the
// key field's type; the read position moves past them; bad records stay
// record faults.
#include "csv_test_env.h"

#include <fstream>

namespace connectortest {
namespace {

std::string FirstOf(const std::string &row) {
    return row.substr(0, row.find('|'));
}

class CsvIncrementalTest : public CsvTest {
  protected:
    // Keys whose text order differs from their typed order (10.00 after
    // 9.5, fractions of a second), equal keys, and a record without keys.
    void SetUp() override {
        CsvTest::SetUp();
        WriteFile(Path("in.csv"), "id,n k,t\n"
                                  "1,5.00,2024-01-01 10:00:00\n"
                                  "2,9.5,2023-12-31 23:59:59.5\n"
                                  "3,10.00,2024-01-01 10:00:00.5\n"
                                  "4,,\n"
                                  "5,5,2024-01-01 10:00:00.50\n"
                                  "6,-2,2024-02-01 00:00:00\n");
    }
    std::unique_ptr<Connection> Source(const std::string &key, const std::string &from,
                                       const std::string &op = ">") {
        auto c = Open("in.csv", {{"Columns", "id:int,n k:numeric(10,2),t:datetime"},
                                 {"IncrementalKey", key},
                                 {"IncrementalFrom", from},
                                 {"IncrementalOp", op}});
        return c;
    }
    // The ids read in fetches of batch records.
    std::string Ids(const std::string &key, const std::string &from, const std::string &op,
                    uint32_t batch = 10) {
        auto c = Source(key, from, op);
        List list(batch);
        EXPECT_EQ(0u, c->Select(list, batch)) << c->LastError();
        std::vector<std::string> rows;
        FetchAll(*c, list, rows);
        std::string ids;
        for (const std::string &row : rows)
            ids += (ids.empty() ? "" : ",") + FirstOf(row);
        return ids;
    }
};

TEST_F(CsvIncrementalTest, KeysCompareByTheirFieldsType) {
    EXPECT_EQ("1,2,3,4,5,6", Ids("n k", "", ">")); // no value: every record
    EXPECT_EQ("4,5,6", Ids("id", "3", ">"));
    EXPECT_EQ("3,4,5,6", Ids("ID", "3", ">="));
    EXPECT_EQ("2,3", Ids("n k", "5", ">"));
    EXPECT_EQ("1,2,3,5", Ids("n k", "5.000", ">="));
    EXPECT_EQ("3", Ids("n k", "9.50", ">"));
    EXPECT_EQ("3,5,6", Ids("t", "2024-01-01 10:00:00", ">"));
    EXPECT_EQ("1,3,5,6", Ids("t", "2024-01-01T10:00:00", ">="));
    EXPECT_EQ("1,3,5,6", Ids("t", "2024-01-01 09:00:00-01:00", ">="));
    EXPECT_EQ("3,5,6", Ids("t", "2024-01-01 10:00:00.49", ">"));
    EXPECT_EQ("6", Ids("t", "2024-01-01 10:00:00.5", ">"));
}

// The text of a fetched key, as the library gives it, is a bookmark that
// reads past exactly the records up to it.
TEST_F(CsvIncrementalTest, FetchedTextIsABookmark) {
    auto all = Source("t", "");
    List list(10);
    ASSERT_EQ(0u, all->Select(list, 10));
    uint32_t fetched = 0;
    ASSERT_EQ(RDX_END_OF_DATA, all->Fetch(list, 1, 10, &fetched));
    ASSERT_EQ(6u, fetched);
    uint32_t n = 0, t = 0;
    ASSERT_EQ(0u, RDFieldlistGetField(list, 2, 256, &n, nullptr));
    ASSERT_EQ(0u, RDFieldlistGetField(list, 3, 256, &t, nullptr));
    EXPECT_EQ("2,3", Ids("n k", ValueText(n, 1), ">")) << ValueText(n, 1);
    EXPECT_EQ("1,2,3,5", Ids("n k", ValueText(n, 5), ">=")) << ValueText(n, 5);
    EXPECT_EQ("6", Ids("t", ValueText(t, 3), ">")) << ValueText(t, 3);
    EXPECT_EQ("3,5,6", Ids("t", ValueText(t, 5), ">=")) << ValueText(t, 5);
}

// Records dropped before, between and after the passing ones of one
// fetch; the position after each fetch is past what it read, so a select
// set to it sees neither the dropped records nor the fetched ones again.
TEST_F(CsvIncrementalTest, DroppedRecordsAreReadPast) {
    WriteFile(Path("in.csv"), "id,k\n1,1\n2,2\n3,9\n4,1\n5,8\n6,0\n7,1\n");
    auto c = Open("in.csv",
                  {{"Columns", "id:int,k:int"}, {"IncrementalKey", "k"}, {"IncrementalFrom", "5"}});
    List list(2);
    ASSERT_EQ(0u, c->Select(list, 2));
    uint32_t fetched = 0;
    ASSERT_EQ(0u, c->Fetch(list, 1, 2, &fetched));
    EXPECT_EQ((std::vector<std::string>{"3|9", "5|8"}), Rows(list, 1, fetched));
    EXPECT_EQ("offset=25;line=7", c->Get("ReadPosition"));
    // A fetch of dropped records only ends with nothing, at the file's end.
    EXPECT_EQ(RDX_END_OF_DATA, c->Fetch(list, 1, 2, &fetched));
    EXPECT_EQ(0u, fetched);
    const std::string end = c->Get("ReadPosition");
    EXPECT_EQ("offset=33;line=9", end);

    std::ofstream(Path("in.csv"), std::ios::app) << "8,3\n9,6\n";
    for (const auto &[position, ids] : std::vector<std::pair<std::string, std::string>>{
             {"offset=25;line=7", "9"}, {end, "9"}, {"", "3,5,9"}}) {
        auto again = Open("in.csv", {{"Columns", "id:int,k:int"},
                                     {"IncrementalKey", "k"},
                                     {"IncrementalFrom", "5"},
                                     {"ReadPosition", position}});
        List out(10);
        ASSERT_EQ(0u, again->Select(out, 10)) << again->LastError();
        std::vector<std::string> rows;
        FetchAll(*again, out, rows);
        std::string got;
        for (const std::string &row : rows)
            got += (got.empty() ? "" : ",") + FirstOf(row);
        EXPECT_EQ(ids, got) << position;
    }
}

// A bad record is a record fault whether or not its key would pass; the
// fetch after it goes on with the filter.
TEST_F(CsvIncrementalTest, BadRecordsStayFaults) {
    WriteFile(Path("in.csv"), "id,k\n1,1\n2x,1\n3,9\n4,zz\n5,1\n6,7\n7,\n");
    auto c = Open("in.csv",
                  {{"Columns", "id:int,k:int"}, {"IncrementalKey", "k"}, {"IncrementalFrom", "5"}});
    List list(10);
    ASSERT_EQ(0u, c->Select(list, 10));
    std::vector<std::string> rows;
    EXPECT_EQ((std::vector<Step>{{RDSTATUS_RECORDFAULT, 0}}), FetchAll(*c, list, rows));
    EXPECT_EQ("3", c->Get("RejectLine"));
    EXPECT_EQ("2x,1\n", c->Get("RejectRecord"));
    EXPECT_EQ((std::vector<Step>{{RDSTATUS_RECORDFAULT, 1}}), FetchAll(*c, list, rows));
    EXPECT_EQ("5", c->Get("RejectLine"));
    EXPECT_EQ((std::vector<Step>{{RDX_END_OF_DATA, 1}}), FetchAll(*c, list, rows));
    EXPECT_EQ((std::vector<std::string>{"3|9", "6|7"}), rows);
}

TEST_F(CsvIncrementalTest, RefusesWhatItCannotFilterBy) {
    auto c = Source("missing", "");
    List list(10);
    EXPECT_EQ(RDSTATUS_FREETEXT, c->Select(list, 10));
    EXPECT_NE(std::string::npos, c->LastError().find("no column missing")) << c->LastError();
    EXPECT_NE(std::string::npos, c->LastError().find("id, n k, t")) << c->LastError();

    EXPECT_EQ(0u, c->Set("IncrementalKey", "t"));
    EXPECT_EQ(0u, c->Set("IncrementalFrom", "yesterday"));
    EXPECT_EQ(RDSTATUS_FREETEXT, c->Select(list, 10));
    EXPECT_NE(std::string::npos, c->LastError().find("\"yesterday\" is no datetime"))
        << c->LastError();

    EXPECT_EQ(RDSTATUS_FREETEXT, c->Set("IncrementalOp", "<"));
    EXPECT_EQ(">", c->Get("IncrementalOp"));
}

} // namespace
} // namespace connectortest
