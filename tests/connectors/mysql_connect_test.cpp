// SPDX-License-Identifier: Apache-2.0
// Connecting to the server by properties and by URI, and the password kept
// out of everything shown.
#include "mysql_test_env.h"

namespace connectortest {
namespace {

class MysqlConnectTest : public MysqlTest {};

// "p@ss:w/rd%1" percent-encoded for the URI's user part.
const std::string kEncoded = "p%40ss%3Aw%2Frd%251";

TEST_F(MysqlConnectTest, UriConnectsWithEncodedPasswordAndShowsItMasked) {
    const std::string uri = "mariadb://" + std::string(MariaServer::kUser) + ":" + kEncoded +
                            "@localhost/" + MariaServer::kDatabase +
                            "?socket=" + MariaServer::Socket();
    Connection c(maria_);
    ASSERT_EQ(0u, c.Set("Connection", uri));
    const std::string shown = c.Get("Connection");
    EXPECT_EQ(std::string::npos, shown.find(kEncoded)) << shown;
    EXPECT_NE(std::string::npos, shown.find(":****@localhost/")) << shown;
    ASSERT_EQ(0u, c.Connect()) << c.LastError();
    uint32_t count = 0;
    ASSERT_EQ(0u, Execute(c, "SELECT DATABASE(), CURRENT_USER()", &count)) << c.LastError();
    EXPECT_EQ(1u, count);
    // The separate properties win over the URI's parts.
    Connection wrong(maria_);
    ASSERT_EQ(0u, wrong.Set("Connection", uri));
    ASSERT_EQ(0u, wrong.Set("Database", "no_such_database"));
    EXPECT_NE(0u, wrong.Connect());
    EXPECT_NE(std::string::npos, wrong.LastError().find("no_such_database")) << wrong.LastError();
}

TEST_F(MysqlConnectTest, HostAndPortOverTcp) {
    Connection c(maria_);
    ASSERT_EQ(0u, c.Set("Host", "127.0.0.1"));
    ASSERT_EQ(0u, c.Set("Port", MariaServer::Port()));
    ASSERT_EQ(0u, c.Set("User", MariaServer::kUser));
    ASSERT_EQ(0u, c.Set("Password", MariaServer::kPassword));
    ASSERT_EQ(0u, c.Set("Database", MariaServer::kDatabase));
    ASSERT_EQ(0u, c.Connect()) << c.LastError();
    ASSERT_EQ(0u, c.Set("Table", "t"));
    EXPECT_NE(std::string::npos, c.Get("Identity").find(":" + MariaServer::Port() + ":rdtest.t"))
        << c.Get("Identity");
    Connection uri(maria_);
    ASSERT_EQ(0u, uri.Set("Connection", "mysql://" + std::string(MariaServer::kUser) + ":" +
                                            kEncoded + "@127.0.0.1:" + MariaServer::Port() + "/" +
                                            MariaServer::kDatabase));
    EXPECT_EQ(0u, uri.Connect()) << uri.LastError();
}

TEST_F(MysqlConnectTest, PasswordNeverShownNorLogged) {
    Connection c(maria_);
    ASSERT_EQ(0u, c.Set("Socket", MariaServer::Socket()));
    ASSERT_EQ(0u, c.Set("User", MariaServer::kUser));
    const std::string secret = "Wr0ng-Secret";
    ASSERT_EQ(0u, c.Set("Password", secret));
    EXPECT_EQ("", c.Get("Password"));
    EXPECT_NE(0u, c.Connect());
    const std::string error = c.LastError();
    EXPECT_NE(std::string::npos, error.find("cannot be reached")) << error;
    EXPECT_NE(std::string::npos, error.find("1045")) << error; // access denied
    EXPECT_EQ(std::string::npos, error.find(secret)) << error;
    // A password among the URI's options is masked too.
    ASSERT_EQ(0u, c.Set("Connection", "mysql://u@h:3306/d?password=" + secret));
    EXPECT_EQ(std::string::npos, c.Get("Connection").find(secret)) << c.Get("Connection");
}

TEST_F(MysqlConnectTest, MalformedConnectionsRefusedWithReason) {
    const std::pair<std::string, std::string> cases[] = {
        {"postgresql://u@h/d", "a connection text is a URI"},
        {"mariadb://u@h:99999/d", "port"},
        {"mariadb://u@h:12ab/d", "port"},
        {"mariadb://u:pa%zz@h/d", "'%'"},
        {"mariadb://u@[::1/d", "'['"},
        {"mariadb://u@h/d?timeout=3", "unknown"},
    };
    for (const auto &[uri, says] : cases) {
        Connection c(maria_);
        ASSERT_EQ(0u, c.Set("Connection", uri));
        EXPECT_NE(0u, c.Connect()) << uri;
        EXPECT_NE(std::string::npos, c.LastError().find(says)) << uri << ": " << c.LastError();
    }
    Connection c(maria_);
    ASSERT_EQ(0u, c.Set("Port", "0"));
    EXPECT_NE(0u, c.Connect());
    EXPECT_EQ(RDSTATUS_FREETEXT, c.SetInt("BatchRows", 0));
}

TEST_F(MysqlConnectTest, ExecuteRunsEveryStatementAndCountsTheLast) {
    auto c = Open();
    uint32_t count = 0;
    ASSERT_EQ(0u, Execute(*c,
                          "CREATE TABLE t (a int); INSERT INTO t VALUES (1), (2), (3); "
                          "UPDATE t SET a = a + 1 WHERE a > 1",
                          &count))
        << c->LastError();
    EXPECT_EQ(2u, count);
    EXPECT_EQ((std::vector<std::string>{"1", "3", "4"}), Sql("SELECT a FROM t ORDER BY a"));
    // A failing second statement is named; the first stays done.
    EXPECT_NE(0u, Execute(*c, "DELETE FROM t WHERE a = 1; SELECT * FROM missing"));
    EXPECT_NE(std::string::npos, c->LastError().find("statement 2")) << c->LastError();
    EXPECT_EQ((std::vector<std::string>{"3", "4"}), Sql("SELECT a FROM t ORDER BY a"));
    ASSERT_EQ(0u, c->Set("Table", "t"));
    const std::string identity = c->Get("Identity");
    EXPECT_EQ(0u, identity.rfind("mariadb:", 0)) << identity;
    EXPECT_EQ(":rdtest.t", identity.substr(identity.size() - 9)) << identity;
}

} // namespace
} // namespace connectortest
