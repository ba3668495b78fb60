// SPDX-License-Identifier: Apache-2.0
// The MariaDB connector under test, against the temporary server of the
// test program, which lives for the whole program; each test starts with
// an empty database.
#pragma once

#include "connector_actions.h"
#include "connector_harness.h"
#include "maria_server.h"
#include "sql_catalog.h"

namespace connectortest {

using rdtest::MariaServer;

class MysqlTest : public rdxtest::SystemTest {
  protected:
    void SetUp() override {
        rdxtest::SystemTest::SetUp();
        if (const std::string &failure = MariaServer::Start(); !failure.empty())
            GTEST_SKIP() << "no MariaDB server can be started: " << failure;
        Sql(std::string("DROP DATABASE ") + MariaServer::kDatabase + "; CREATE DATABASE " +
            MariaServer::kDatabase);
    }
    static void TearDownTestSuite() { MariaServer::Stop(); }

    // A connection to the test database by its parts, with the given
    // properties, connected (the status is checked).
    std::unique_ptr<Connection>
    Open(const std::vector<std::pair<std::string, std::string>> &props = {},
         uint32_t expectConnect = 0) {
        auto c = std::make_unique<Connection>(maria_);
        EXPECT_EQ(0u, c->Set("Socket", MariaServer::Socket()));
        EXPECT_EQ(0u, c->Set("User", MariaServer::kUser));
        EXPECT_EQ(0u, c->Set("Password", MariaServer::kPassword));
        EXPECT_EQ(0u, c->Set("Database", MariaServer::kDatabase));
        for (const auto &[property, value] : props)
            EXPECT_EQ(0u, c->Set(property, value)) << property;
        EXPECT_EQ(expectConnect, c->Connect()) << c->LastError();
        return c;
    }
    uint32_t Execute(Connection &c, const std::string &sql, uint32_t *count = nullptr) {
        EXPECT_EQ(0u, c.Set("SQL", sql));
        uint32_t local = 0;
        return maria_.RDXExecute(c.Private(), 0, 0, count ? count : &local);
    }
    uint32_t Create(Connection &c, uint32_t kind, uint32_t list) {
        return maria_.RDXCreate(c.Private(), kind, list);
    }
    uint32_t Drop(Connection &c) { return maria_.RDXDrop(c.Private(), 3); }
    uint32_t Catalog(Connection &c, uint32_t kind, uint32_t list, uint32_t *count) {
        return maria_.RDXCatalog(c.Private(), kind, list, count);
    }
    uint32_t Update(Connection &c, uint32_t list, uint32_t first, uint32_t count, uint32_t *done) {
        return maria_.RDXUpdate(c.Private(), list, first, count, done);
    }
    uint32_t Remove(Connection &c, uint32_t list, uint32_t first, uint32_t count, uint32_t *done) {
        return maria_.RDXRemove(c.Private(), list, first, count, done);
    }
    // Every row of sql run as root in the test database, texts joined by '|'.
    std::vector<std::string> Sql(const std::string &sql) { return rdtest::MariaSql(sql); }
    // Every row c selects from table, ordered by orderBy.
    std::vector<std::string> ReadTable(Connection &c, const std::string &table,
                                       const std::string &orderBy) {
        EXPECT_EQ(0u, c.Set("Table", table));
        EXPECT_EQ(0u, c.Set("SQL", ""));
        return ReadOrdered(c, orderBy);
    }

    Plugin maria_{RDTEST_RDMYSQL_PATH};
};

} // namespace connectortest
