// SPDX-License-Identifier: Apache-2.0
// Checks of incremental selects shared by the SQL connectors' tests: a
// table t with an id and key columns of each type, two rows with equal
// keys and one without, read back past the fetched text of a key.
#pragma once

#include "connector_harness.h"

#include <functional>
#include <sstream>

namespace connectortest {

using Ids = std::vector<std::string>;
// Opens a connection with the given properties, connected.
using Opener = std::function<std::unique_ptr<Connection>(
    const std::vector<std::pair<std::string, std::string>> &)>;

inline std::vector<std::string> SplitRow(const std::string &row) {
    std::vector<std::string> parts;
    std::stringstream in(row);
    for (std::string part; std::getline(in, part, '|');)
        parts.push_back(part);
    return parts;
}

// The ids of the rows of t read by key, from the value when given, in
// fetches of three rows; the rows themselves into rows.
inline Ids ReadByKey(const Opener &open, const std::string &key, const std::string &from,
                     const std::string &op, std::vector<std::string> *rows = nullptr) {
    auto db = open({{"Table", "t"}, {"OrderBy", "id"}, {"IncrementalKey", key}});
    EXPECT_EQ(0u, db->Set("IncrementalFrom", from));
    EXPECT_EQ(0u, db->Set("IncrementalOp", op));
    List out(3);
    EXPECT_EQ(0u, db->Select(out, 3)) << db->LastError();
    std::vector<std::string> read;
    FetchAll(*db, out, read);
    Ids ids;
    for (const std::string &row : read)
        ids.push_back(SplitRow(row)[0]);
    if (rows != nullptr) *rows = read;
    return ids;
}

// Rows 1-4 of t have keys k1 < k2 = k3 < k4, row 5 none. Without a value
// every row comes (all: the order of the null key as the server sorts it);
// the fetched texts of rows 1 and 2 as bookmarks give exactly the rows
// after them.
inline void ExpectKeyFilters(const Opener &open, const std::string &key, size_t column,
                             const Ids &all) {
    SCOPED_TRACE(key);
    std::vector<std::string> rows;
    EXPECT_EQ(all, ReadByKey(open, key, "", ">", &rows));
    ASSERT_EQ(5u, rows.size());
    const size_t first = all[0] == "5" ? 1 : 0;
    const std::string oldest = SplitRow(rows[first])[column];
    const std::string equal = SplitRow(rows[first + 1])[column];
    EXPECT_EQ((Ids{"4"}), ReadByKey(open, key, equal, ">")) << equal;
    EXPECT_EQ((Ids{"2", "3", "4"}), ReadByKey(open, key, equal, ">=")) << equal;
    EXPECT_EQ((Ids{"2", "3", "4"}), ReadByKey(open, key, oldest, ">")) << oldest;
    EXPECT_EQ((Ids{"1", "2", "3", "4"}), ReadByKey(open, key, oldest, ">=")) << oldest;
}

// The ISO text a copy keeps as its bookmark of a date-time key (column "t
// k" of t: rows 2 and 3 at 10:00:00.50 on 2024-01-01, row 4 a hundredth
// later).
inline void ExpectIsoBookmarks(const Opener &open) {
    EXPECT_EQ((Ids{"4"}), ReadByKey(open, "t k", "2024-01-01 10:00:00.50", ">"));
    EXPECT_EQ((Ids{"2", "3", "4"}), ReadByKey(open, "t k", "2024-01-01T10:00:00.5", ">="));
    EXPECT_EQ((Ids{"2", "3", "4"}), ReadByKey(open, "t k", "2024-01-01 10:00:00.49", ">"));
}

// A select text is filtered as a whole; a key it does not return is
// refused at select, naming the key.
inline void ExpectSelectTextAndRefusal(const Opener &open, const std::string &select) {
    auto db = open({{"SQL", select}, {"IncrementalKey", "k"}, {"IncrementalFrom", "-5"}});
    List out(10);
    ASSERT_EQ(0u, db->Select(out, 10)) << db->LastError();
    std::vector<std::string> rows;
    FetchAll(*db, out, rows);
    EXPECT_EQ((std::vector<std::string>{"2|3", "3|3"}), rows);
    EXPECT_EQ(0u, db->Set("IncrementalKey", "missing"));
    EXPECT_EQ(RDSTATUS_FREETEXT, db->Select(out, 10));
    EXPECT_NE(std::string::npos, db->LastError().find("missing")) << db->LastError();
}

} // namespace connectortest
