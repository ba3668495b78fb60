// SPDX-License-Identifier: Apache-2.0
// Incremental selects of the SQLite connector: the bookmark is the text of
// a key value as it was fetched, and rows compare with it as the values
// rdsqlite writes.
#include "sqlite_test_env.h"

#include <sstream>

namespace connectortest {
namespace {

std::vector<std::string> Split(const std::string &row) {
    std::vector<std::string> parts;
    std::stringstream in(row);
    for (std::string part; std::getline(in, part, '|');)
        parts.push_back(part);
    return parts;
}

class IncrementalSqliteTest : public SqliteTest {
  protected:
    // Columns as rdsqlite declares them for int, numeric(14,2), float and
    // datetime fields, named with a blank and a quote; values as it stores
    // them, two rows with equal keys and one without.
    void SetUp() override {
        SqliteTest::SetUp();
        auto db = OpenDb({{"Create", "yes"}});
        ASSERT_EQ(0u, Execute(*db, "CREATE TABLE t (id INTEGER, \"i k\" INTEGER,"
                                   " \"n\"\"k\" NUMERIC(14,2), \"d k\" REAL, \"t k\" DATETIME)"))
            << db->LastError();
        ASSERT_EQ(0u, Execute(*db, "INSERT INTO t VALUES"
                                   " (1, -5, -10.5, -1.5, '1999-12-31 23:59:59.99'),"
                                   " (2, 3, 9.25, 0.25, '2024-01-01 10:00:00.50'),"
                                   " (3, 3, 9.25, 0.25, '2024-01-01 10:00:00.50'),"
                                   " (4, 7, 10.5, 2.5, '2024-01-01 10:00:00.51'),"
                                   " (5, NULL, NULL, NULL, NULL)"))
            << db->LastError();
    }

    // The ids of the rows read with the key and, when given, the value.
    std::vector<std::string> Ids(const std::string &key, const std::string &from,
                                 const std::string &op, std::vector<std::string> *rows = nullptr) {
        auto db = OpenDb({{"Table", "t"}, {"OrderBy", "id"}, {"IncrementalKey", key}});
        EXPECT_EQ(0u, db->Set("IncrementalFrom", from));
        EXPECT_EQ(0u, db->Set("IncrementalOp", op));
        List out(10);
        EXPECT_EQ(0u, db->Select(out, 10)) << db->LastError();
        std::vector<std::string> read, ids;
        FetchAll(*db, out, read);
        for (const std::string &row : read)
            ids.push_back(Split(row)[0]);
        if (rows != nullptr) *rows = read;
        return ids;
    }

    // For key (column column of the table): the fetched texts of rows 1
    // and 2 as bookmarks give exactly the rows after them.
    void ExpectFilters(const std::string &key, size_t column) {
        std::vector<std::string> rows;
        // Without a value every row comes, the null key first as SQLite sorts.
        EXPECT_EQ((std::vector<std::string>{"5", "1", "2", "3", "4"}), Ids(key, "", ">", &rows));
        ASSERT_EQ(5u, rows.size());
        const std::string oldest = Split(rows[1])[column], equal = Split(rows[2])[column];
        EXPECT_EQ((std::vector<std::string>{"4"}), Ids(key, equal, ">")) << key << " " << equal;
        EXPECT_EQ((std::vector<std::string>{"2", "3", "4"}), Ids(key, equal, ">=")) << key;
        EXPECT_EQ((std::vector<std::string>{"2", "3", "4"}), Ids(key, oldest, ">")) << oldest;
        EXPECT_EQ((std::vector<std::string>{"1", "2", "3", "4"}), Ids(key, oldest, ">="));
    }
};

TEST_F(IncrementalSqliteTest, EachKeyTypeReadsPastItsFetchedText) {
    ExpectFilters("i k", 1);
    ExpectFilters("n\"k", 2);
    ExpectFilters("d k", 3);
    ExpectFilters("t k", 4);
}

TEST_F(IncrementalSqliteTest, SelectTextIsWrappedAndBadKeysRefused) {
    auto db = OpenDb({{"SQL", "SELECT id, \"i k\" AS k FROM t WHERE id < 4"},
                      {"IncrementalKey", "k"},
                      {"IncrementalFrom", "-5"}});
    List out(10);
    ASSERT_EQ(0u, db->Select(out, 10)) << db->LastError();
    std::vector<std::string> rows;
    FetchAll(*db, out, rows);
    EXPECT_EQ((std::vector<std::string>{"2|3", "3|3"}), rows);

    EXPECT_EQ(RDSTATUS_FREETEXT, db->Set("IncrementalOp", "<"));
    EXPECT_EQ(">", db->Get("IncrementalOp"));
    EXPECT_EQ(0u, db->Set("IncrementalKey", "missing"));
    EXPECT_EQ(RDSTATUS_FREETEXT, db->Select(out, 10));
    EXPECT_NE(std::string::npos, db->LastError().find("missing")) << db->LastError();
}

} // namespace
} // namespace connectortest
