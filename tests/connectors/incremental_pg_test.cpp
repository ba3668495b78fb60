// SPDX-License-Identifier: Apache-2.0
// Incremental selects against PostgreSQL, through rdpg and through rdodbc
// with the server's ODBC driver: the bookmark is the text of a key value as
// it was fetched, and rows compare with it as values of the key column's
// type (an integer, a numeric, a double with no exact binary form, a
// timestamp with fractions), equal keys included.
#include "incremental_checks.h"
#include "odbc_test_env.h"
#include "pg_test_env.h"

namespace connectortest {
namespace {

class IncrementalPgTest : public PgTest {
  protected:
    void SetUp() override {
        PgTest::SetUp();
        if (IsSkipped()) return;
        Sql("CREATE TABLE t (id integer, \"i k\" integer, \"n k\" numeric(14,2),"
            " \"d k\" double precision, \"t k\" timestamp)");
        Sql("INSERT INTO t VALUES"
            " (1, -5, -10.5, -1.5, '1999-12-31 23:59:59.99'),"
            " (2, 3, 9.25, 0.1, '2024-01-01 10:00:00.50'),"
            " (3, 3, 9.25, 0.1, '2024-01-01 10:00:00.50'),"
            " (4, 12, 10.5, 2.7, '2024-01-01 10:00:00.51'),"
            " (5, NULL, NULL, NULL, NULL)");
    }

    // Every key type; the server sorts the null key last.
    void ExpectEachKeyType(const Opener &open) {
        const Ids all{"1", "2", "3", "4", "5"};
        ExpectKeyFilters(open, "i k", 1, all);
        ExpectKeyFilters(open, "n k", 2, all);
        ExpectKeyFilters(open, "d k", 3, all);
        ExpectKeyFilters(open, "t k", 4, all);
        ExpectIsoBookmarks(open);
        ExpectSelectTextAndRefusal(open, "SELECT id, \"i k\" AS k FROM t WHERE id < 4");
    }

    Opener Rdpg() {
        return [this](const std::vector<std::pair<std::string, std::string>> &props) {
            return OpenPg(props);
        };
    }
    // rdodbc through a connection string naming the driver: the data
    // source files are read once by the driver manager, before the
    // cluster's present port was known.
    Opener Rdodbc() {
        return [this](const std::vector<std::pair<std::string, std::string>> &props) {
            auto c = std::make_unique<Connection>(odbc_);
            EXPECT_EQ(0u, c->Set("DataSource",
                                 "Driver=PostgreSQL;Servername=" + PgCluster::Socket() + ";Port=" +
                                     PgCluster::Port() + ";Database=postgres;Username=postgres"));
            for (const auto &[property, value] : props)
                EXPECT_EQ(0u, c->Set(property, value)) << property;
            EXPECT_EQ(0u, c->Connect()) << c->LastError();
            return c;
        };
    }

    Plugin odbc_{RDTEST_RDODBC_PATH};
};

TEST_F(IncrementalPgTest, RdpgReadsPastTheFetchedTextOfEachKeyType) {
    ExpectEachKeyType(Rdpg());
}

TEST_F(IncrementalPgTest, RdodbcReadsPastTheFetchedTextOfEachKeyType) {
    if (!std::filesystem::exists(OdbcFolder::kPgDriver))
        GTEST_SKIP() << "no PostgreSQL ODBC driver: " << OdbcFolder::kPgDriver;
    OdbcFolder::Get(); // the driver's name in the driver files
    ExpectEachKeyType(Rdodbc());
}

} // namespace
} // namespace connectortest
