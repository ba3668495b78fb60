// SPDX-License-Identifier: Apache-2.0
// A select text holds one statement: a second one is refused before the
// database sees it, by SQLite, PostgreSQL and ODBC connections alike, while
// semicolons in literals, quoted names, comments and dollar quotes do not
// count.
#include "odbc_test_env.h"
#include "pg_test_env.h"
#include "sql_statements.h"
#include "sqlite_test_env.h"

namespace connectortest {
namespace {

struct StatementCase {
    const char *sql;
    const char *statement; // nullptr: refused
};

void Check(const std::vector<StatementCase> &cases, std::span<const rdxc::SqlDialect> readings) {
    for (const StatementCase &c : cases) {
        std::string_view statement;
        std::string error;
        const bool single = rdxc::SingleStatement(c.sql, readings, statement, error);
        EXPECT_EQ(c.statement != nullptr, single) << c.sql << ": " << error;
        if (c.statement != nullptr && single) {
            EXPECT_EQ(c.statement, statement) << c.sql;
        }
        if (!single) {
            EXPECT_NE(std::string::npos, error.find("more than one statement")) << error;
        }
    }
}

TEST(SelectStatement, SqliteTexts) {
    Check({{"SELECT 1", "SELECT 1"},
           {"SELECT 1;", "SELECT 1"},
           {" /* lead */ SELECT 1 ; -- done\n /* c */ ;; ", "SELECT 1 "},
           {"SELECT 1; DROP TABLE t", nullptr},
           {"SELECT 1;\nDROP TABLE t;", nullptr},
           {"SELECT 'a;b', \"c;d\", `e;f`, [g;h] FROM t;",
            "SELECT 'a;b', \"c;d\", `e;f`, [g;h] FROM t"},
           {"SELECT 'it''s;' AS \"x\"\"; y\" ;", "SELECT 'it''s;' AS \"x\"\"; y\" "},
           {"SELECT 1 -- ; DROP TABLE t", "SELECT 1 -- ; DROP TABLE t"},
           {"SELECT 1 /* ; */ ; DROP TABLE t", nullptr},
           {"SELECT 'a\\'; DROP TABLE t; --'", nullptr},
           {"SELECT 1 /* never closed ; DROP TABLE t", "SELECT 1 /* never closed ; DROP TABLE t"},
           {"", ""},
           {"-- nothing\n;", ""}},
          std::span<const rdxc::SqlDialect>(&rdxc::kSqliteDialect, 1));
}

TEST(SelectStatement, PostgresqlTexts) {
    const rdxc::SqlDialect conforming = rdxc::PostgresDialect(true);
    Check({{"SELECT $$a;b$$, $tag$ ; $$ ; $tag$ AS x;", "SELECT $$a;b$$, $tag$ ; $$ ; $tag$ AS x"},
           {"SELECT $1; DROP TABLE t", nullptr},
           {"SELECT a$b$ FROM t; DROP TABLE t", nullptr},
           {"SELECT E'a\\'; DROP TABLE t; --'", "SELECT E'a\\'; DROP TABLE t; --'"},
           {"SELECT e'\\\\'; DROP TABLE t", nullptr},
           {"SELECT 'a\\'; DROP TABLE t; --'", nullptr},
           {"SELECT /* /* ; */ ; */ 1", "SELECT /* /* ; */ ; */ 1"},
           {"SELECT U&'d\\0061t;a' FROM t", "SELECT U&'d\\0061t;a' FROM t"}},
          std::span<const rdxc::SqlDialect>(&conforming, 1));
    // A server whose strings take backslash escapes reads this as one string.
    const rdxc::SqlDialect escaping = rdxc::PostgresDialect(false);
    Check({{"SELECT 'a\\'; DROP TABLE t; --'", "SELECT 'a\\'; DROP TABLE t; --'"}},
          std::span<const rdxc::SqlDialect>(&escaping, 1));
}

// A database not known is read every way: a second statement in any
// reading is refused.
TEST(SelectStatement, TextsForAnUnknownDatabase) {
    Check({{"SELECT 'a;b' FROM t;", "SELECT 'a;b' FROM t"},
           {"SELECT 'a\\'; DROP TABLE t; --'", nullptr},
           {"SELECT 'a\\''; DROP TABLE t", nullptr},
           {"SELECT 1 --; DROP TABLE t", nullptr},
           {"SELECT 1 # ; DROP TABLE t", nullptr},
           {"SELECT 1 -- ;\n", "SELECT 1 -- ;\n"}},
          rdxc::kUnknownDialects);
}

const char *const kTwoStatements = "SELECT 1 AS x; DROP TABLE victim";
const char *const kRefusal = "the select text holds more than one statement: a second begins at "
                             "byte 16 (\"DROP TABLE victim\")";

TEST_F(SqliteTest, ASelectOfTwoStatementsIsRefused) {
    auto db = OpenDb({{"Create", "yes"}});
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE victim (a INTEGER)")) << db->LastError();
    ASSERT_EQ(0u, db->Set("SQL", kTwoStatements));
    List list(4);
    EXPECT_EQ(RDSTATUS_FREETEXT, db->Select(list, 4));
    EXPECT_EQ(kRefusal, db->LastError());
    EXPECT_EQ("victim", Query("SELECT name FROM sqlite_master WHERE name = 'victim'"));

    ASSERT_EQ(0u, db->Set("SQL", "SELECT 'a;b' AS \"x;y\"; -- one\n"));
    List one(4);
    ASSERT_EQ(0u, db->Select(one, 4)) << db->LastError();
    std::vector<std::string> rows;
    FetchAll(*db, one, rows);
    EXPECT_EQ((std::vector<std::string>{"a;b"}), rows);
}

TEST_F(PgTest, ASelectOfTwoStatementsIsRefused) {
    Sql("CREATE TABLE victim (a integer)");
    auto c = OpenPg({{"SQL", kTwoStatements}});
    List list(4);
    EXPECT_EQ(RDSTATUS_FREETEXT, c->Select(list, 4));
    EXPECT_EQ(kRefusal, c->LastError());
    EXPECT_EQ((std::vector<std::string>{"1"}),
              Sql("SELECT count(*) FROM pg_tables WHERE tablename = 'victim'"));

    ASSERT_EQ(0u, c->Set("SQL", "SELECT $$a;b$$ AS x, 'c;d' AS \"y;z\";"));
    List one(4);
    ASSERT_EQ(0u, c->Select(one, 4)) << c->LastError();
    std::vector<std::string> rows;
    FetchAll(*c, one, rows);
    EXPECT_EQ((std::vector<std::string>{"a;b|c;d"}), rows);
}

TEST_F(OdbcTest, ASelectOfTwoStatementsIsRefused) {
    auto db = Open();
    ASSERT_EQ(0u, Execute(*db, "CREATE TABLE victim (a INTEGER)")) << db->LastError();
    ASSERT_EQ(0u, db->Set("SQL", kTwoStatements));
    List list(4);
    EXPECT_EQ(RDSTATUS_FREETEXT, db->Select(list, 4));
    EXPECT_EQ(kRefusal, db->LastError());
    EXPECT_EQ("victim", Query("SELECT name FROM sqlite_master WHERE name = 'victim'"));
}

} // namespace
} // namespace connectortest
