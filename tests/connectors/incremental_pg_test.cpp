// Incremental selects against PostgreSQL, through rdpg and through rdodbc
// with the server's ODBC driver: the bookmark is the text of a key value as
// it was fetched, and rows compare with it as values of the key column's
// type (an integer, a numeric, a double with no exact binary form, a
// timestamp with fractions), equal keys included.
#include "odbc_test_env.h"
#include "pg_test_env.h"

#include <functional>
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

using Ids = std::vector<std::string>;
// Opens a connection with the given properties.
using Opener = std::function<std::unique_ptr<Connection>(
    const std::vector<std::pair<std::string, std::string>> &)>;

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

    // The ids of the rows read by key, from the value when given.
    Ids Read(const Opener &open, const std::string &key, const std::string &from,
             const std::string &op, std::vector<std::string> *rows = nullptr) {
        auto db = open({{"Table", "t"}, {"OrderBy", "id"}, {"IncrementalKey", key}});
        EXPECT_EQ(0u, db->Set("IncrementalFrom", from));
        EXPECT_EQ(0u, db->Set("IncrementalOp", op));
        List out(3); // rows over more than one fetch
        EXPECT_EQ(0u, db->Select(out, 3)) << db->LastError();
        std::vector<std::string> read;
        FetchAll(*db, out, read);
        Ids ids;
        for (const std::string &row : read)
            ids.push_back(Split(row)[0]);
        if (rows != nullptr) *rows = read;
        return ids;
    }

    // For key (column column of t): the fetched texts of rows 1 and 2 as
    // bookmarks give exactly the rows after them.
    void ExpectFilters(const Opener &open, const std::string &key, size_t column) {
        SCOPED_TRACE(key);
        std::vector<std::string> rows;
        // Without a value every row comes, the null key last as the server
        // sorts.
        EXPECT_EQ((Ids{"1", "2", "3", "4", "5"}), Read(open, key, "", ">", &rows));
        ASSERT_EQ(5u, rows.size());
        const std::string oldest = Split(rows[0])[column], equal = Split(rows[1])[column];
        EXPECT_EQ((Ids{"4"}), Read(open, key, equal, ">")) << equal;
        EXPECT_EQ((Ids{"2", "3", "4"}), Read(open, key, equal, ">=")) << equal;
        EXPECT_EQ((Ids{"2", "3", "4"}), Read(open, key, oldest, ">")) << oldest;
        EXPECT_EQ((Ids{"1", "2", "3", "4"}), Read(open, key, oldest, ">=")) << oldest;
    }

    void ExpectEachKeyType(const Opener &open) {
        ExpectFilters(open, "i k", 1);
        ExpectFilters(open, "n k", 2);
        ExpectFilters(open, "d k", 3);
        ExpectFilters(open, "t k", 4);
    }

    // A select text is filtered as a whole; a key it does not return is
    // refused at select, naming the key.
    void ExpectSelectTextAndRefusal(const Opener &open) {
        auto db = open({{"SQL", "SELECT id, \"i k\" AS k FROM t WHERE id < 4"},
                        {"IncrementalKey", "k"},
                        {"IncrementalFrom", "-5"}});
        List out(10);
        ASSERT_EQ(0u, db->Select(out, 10)) << db->LastError();
        std::vector<std::string> rows;
        FetchAll(*db, out, rows);
        EXPECT_EQ((std::vector<std::string>{"2|3", "3|3"}), rows);
        EXPECT_EQ(0u, db->Set("IncrementalKey", "missing"));
        EXPECT_EQ(RDSTATUS_FREETEXT, db->Select(out, 10));
        EXPECT_NE(std::string::npos, db->LastError().find("missing")) << db->LastError();
    }

    Opener Rdpg() {
        return [this](const std::vector<std::pair<std::string, std::string>> &props) {
            return OpenPg(props);
        };
    }
    // rdodbc through the data source "rdpgtest" (skips without the driver).
    Opener Rdodbc() {
        return [this](const std::vector<std::pair<std::string, std::string>> &props) {
            auto c = std::make_unique<Connection>(odbc_);
            EXPECT_EQ(0u, c->Set("DataSource", "rdpgtest"));
            for (const auto &[property, value] : props)
                EXPECT_EQ(0u, c->Set(property, value)) << property;
            EXPECT_EQ(0u, c->Connect()) << c->LastError();
            return c;
        };
    }
    bool OdbcDriver() {
        if (!std::filesystem::exists(OdbcFolder::kPgDriver)) return false;
        OdbcFolder::Get().SetPgSource(PgCluster::Socket(), PgCluster::Port());
        return true;
    }

    Plugin odbc_{RDTEST_RDODBC_PATH};
};

TEST_F(IncrementalPgTest, RdpgReadsPastTheFetchedTextOfEachKeyType) {
    ExpectEachKeyType(Rdpg());
    ExpectSelectTextAndRefusal(Rdpg());
}

TEST_F(IncrementalPgTest, RdodbcReadsPastTheFetchedTextOfEachKeyType) {
    if (!OdbcDriver()) GTEST_SKIP() << "no PostgreSQL ODBC driver: " << OdbcFolder::kPgDriver;
    ExpectEachKeyType(Rdodbc());
    ExpectSelectTextAndRefusal(Rdodbc());
}

} // namespace
} // namespace connectortest
