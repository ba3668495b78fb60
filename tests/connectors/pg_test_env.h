// SPDX-License-Identifier: Apache-2.0
// The PostgreSQL connector under test, against the temporary cluster of
// the test program, which lives for the whole suite.
#pragma once

#include "csv_test_env.h"
#include "pg_cluster.h"

#include <libpq-fe.h>

namespace connectortest {

using rdtest::PgCluster;

class PgTest : public CsvTest {
  protected:
    void SetUp() override {
        CsvTest::SetUp();
        if (const std::string &failure = PgCluster::Start(); !failure.empty())
            GTEST_SKIP() << "no PostgreSQL server can be started: " << failure;
        Sql("DROP SCHEMA public CASCADE; CREATE SCHEMA public");
    }
    static void TearDownTestSuite() { PgCluster::Stop(); }

    // A connection to the test database with the given properties.
    std::unique_ptr<Connection>
    OpenPg(const std::vector<std::pair<std::string, std::string>> &props = {},
           uint32_t expectConnect = 0) {
        auto c = std::make_unique<Connection>(pg_);
        EXPECT_EQ(0u, c->Set("Host", PgCluster::Socket()));
        EXPECT_EQ(0u, c->Set("Port", PgCluster::Port()));
        EXPECT_EQ(0u, c->Set("User", "postgres"));
        EXPECT_EQ(0u, c->Set("Database", "postgres"));
        for (const auto &[property, value] : props)
            EXPECT_EQ(0u, c->Set(property, value)) << property;
        EXPECT_EQ(expectConnect, c->Connect()) << c->LastError();
        return c;
    }
    uint32_t Execute(Connection &c, const std::string &sql, uint32_t *count = nullptr) {
        EXPECT_EQ(0u, c.Set("SQL", sql));
        uint32_t local = 0;
        return pg_.RDXExecute(c.Private(), 0, 0, count ? count : &local);
    }
    // The rows of sql straight from the server, as texts joined by '|'.
    std::vector<std::string> Sql(const std::string &sql) { return rdtest::PgSql(sql); }

    Plugin pg_{RDTEST_RDPG_PATH};
};

} // namespace connectortest
