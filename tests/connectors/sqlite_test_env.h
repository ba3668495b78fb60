// SPDX-License-Identifier: Apache-2.0
// The SQLite connector under test, over databases in a temporary home; the
// delimited-text connector beside it for the round trips.
#pragma once

#include "csv_test_env.h"

namespace connectortest {

class SqliteTest : public CsvTest {
  protected:
    std::unique_ptr<Connection>
    OpenDb(const std::vector<std::pair<std::string, std::string>> &props = {},
           uint32_t expectConnect = 0) {
        auto c = std::make_unique<Connection>(sqlite_);
        EXPECT_EQ(0u, c->Set("Database", Path("test.db")));
        for (const auto &[property, value] : props)
            EXPECT_EQ(0u, c->Set(property, value)) << property;
        EXPECT_EQ(expectConnect, c->Connect()) << c->LastError();
        return c;
    }
    uint32_t Execute(Connection &c, const std::string &sql, uint32_t *count = nullptr) {
        EXPECT_EQ(0u, c.Set("SQL", sql));
        uint32_t local = 0;
        return sqlite_.RDXExecute(c.Private(), 0, 0, count ? count : &local);
    }
    // The first column of the first row of sql, straight from SQLite.
    std::string Query(const std::string &sql) { return SqliteFirst(Path("test.db"), sql); }

    Plugin sqlite_{RDTEST_RDSQLITE_PATH};
};

} // namespace connectortest
