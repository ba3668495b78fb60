// SPDX-License-Identifier: Apache-2.0
// rdx copy --dry-run shows the fields the source gives, with the types a run
// would infer, and the CREATE TABLE of the target, and leaves no table, file,
// stored item or run behind.
#include "rdx_test_env.h"

#include <sqlite3.h>

namespace rdxtest {
namespace {

// A file whose columns are not declared, so that their types are inferred.
const char *const kUntyped = "id,amount,placed,customer\n"
                             "1,12.50,2024-03-01 10:00:00,Ada\n"
                             "2,0.99,2024-03-02 11:30:00,\"Smith, Jo\"\n";

void MakeDatabase(const std::string &path, const char *sql) {
    sqlite3 *db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, sql, nullptr, nullptr, nullptr));
    sqlite3_close(db);
}

bool Has(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

class RdxDryRunTest : public RdxTest {
  protected:
    // What the home's server manager keeps: objects, runs and log lines.
    std::string Stored() const {
        return SqliteRows(DefaultHome() + "/rdcsm.db",
                          "SELECT (SELECT count(*) FROM objects), (SELECT count(*) FROM runs), "
                          "(SELECT count(*) FROM log)");
    }
    // The home holds nothing but what `rdcsm init` made.
    void ExpectNoJobFiles(const std::string &name) const {
        for (const char *ending : {".toml", ".check.toml", ".layout"})
            EXPECT_FALSE(rdtest::FileExists(DefaultHome() + "/" + name + ending)) << ending;
    }
};

TEST_F(RdxDryRunTest, CsvIntoSqliteShowsInferredFieldsAndCreateTableAndWritesNothing) {
    rdtest::WriteFile(Path("orders.csv"), kUntyped);
    const std::string target = "sqlite:" + Path("dry.db") + "#orders";
    Ran dry = Rdx({"copy", Path("orders.csv"), target, "--dry-run", "--name", "dry"});
    ASSERT_EQ(0, dry.status) << dry.err << dry.out;
    EXPECT_TRUE(Has(dry.out, "[activity.dry]")) << dry.out;
    EXPECT_TRUE(Has(dry.out, "# The source gives 4 fields:\n")) << dry.out;
    EXPECT_TRUE(Has(dry.out, "#   id        int\n")) << dry.out;
    EXPECT_TRUE(Has(dry.out, "#   amount    numeric(")) << dry.out;
    EXPECT_TRUE(Has(dry.out, "#   placed    datetime\n")) << dry.out;
    EXPECT_TRUE(Has(dry.out, "#   customer  text\n")) << dry.out;
    EXPECT_TRUE(Has(dry.out, "#   CREATE TABLE \"orders\" (\"id\" INTEGER, ")) << dry.out;

    EXPECT_FALSE(rdtest::FileExists(Path("dry.db")));
    ExpectNoJobFiles("dry");
    EXPECT_EQ("0|0|0\n", Stored());
}

// The layout goes out as comments, so the whole output is still a job file
// that defines the same copy; declared columns are shown as declared.
TEST_F(RdxDryRunTest, OutputStaysAJobFileAndDeclaredColumnsAreShownAsDeclared) {
    rdtest::WriteFile(Path("orders.csv"), kOrdersCsv);
    Ran dry = Rdx({"copy", Path("orders.csv"), "sqlite:" + Path("out.db"), "--columns",
                   kOrderColumns, "--dry-run", "--name", "declared"});
    ASSERT_EQ(0, dry.status) << dry.err << dry.out;
    EXPECT_TRUE(Has(dry.out, "#   amount    numeric(12,2)\n")) << dry.out;
    EXPECT_TRUE(Has(dry.out, "NUMERIC(12,2)")) << dry.out;

    rdtest::WriteFile(Path("declared.toml"), dry.out);
    Ran check =
        Program(RDTEST_RDCSM, {"-c", DefaultHome(), "define", "--check", Path("declared.toml")});
    EXPECT_EQ(0, check.status) << check.err << check.out;
}

// A target that is appended to, or a CSV file, makes no table: only the
// source's fields are shown.
TEST_F(RdxDryRunTest, TargetsThatMakeNoTableShowOnlyTheFields) {
    rdtest::WriteFile(Path("orders.csv"), kOrdersCsv);
    Ran toCsv = Rdx({"copy", Path("orders.csv"), Path("copy.csv"), "--dry-run"});
    ASSERT_EQ(0, toCsv.status) << toCsv.err << toCsv.out;
    EXPECT_TRUE(Has(toCsv.out, "# The source gives 3 fields:")) << toCsv.out;
    EXPECT_FALSE(Has(toCsv.out, "CREATE TABLE")) << toCsv.out;
    EXPECT_FALSE(rdtest::FileExists(Path("copy.csv")));

    // An existing database is appended to unless --create is given.
    MakeDatabase(Path("kept.db"), "CREATE TABLE other (x)");
    Ran appended = Rdx({"copy", Path("orders.csv"), "sqlite:" + Path("kept.db"), "--dry-run"});
    ASSERT_EQ(0, appended.status) << appended.err;
    EXPECT_FALSE(Has(appended.out, "CREATE TABLE")) << appended.out;
    EXPECT_EQ("other\n", SqliteRows(Path("kept.db"), "SELECT name FROM sqlite_master"));
}

// The source is read for its layout: one that cannot be read fails the dry
// run with its connector's reason.
TEST_F(RdxDryRunTest, UnreadableSourceFailsWithTheReason) {
    Ran dry =
        Rdx({"copy", Path("missing.csv"), "sqlite:" + Path("x.db"), "--dry-run", "--name", "gone"});
    EXPECT_EQ(1, dry.status) << dry.out;
    EXPECT_TRUE(Has(dry.err, "the source cannot be read")) << dry.err;
    EXPECT_TRUE(Has(dry.err, "missing.csv")) << dry.err;
    EXPECT_FALSE(rdtest::FileExists(Path("x.db")));
    ExpectNoJobFiles("gone");
}

using RdxPgDryRunTest = WithPg<RdxDryRunTest>;

TEST_F(RdxPgDryRunTest, CsvIntoPostgresShowsItsDialectAndMakesNoTable) {
    rdtest::WriteFile(Path("orders.csv"), kUntyped);
    Ran dry = Rdx(
        {"copy", Path("orders.csv"), PgUri("orders"), "--create", "--dry-run", "--name", "pgdry"});
    ASSERT_EQ(0, dry.status) << dry.err << dry.out;
    EXPECT_TRUE(Has(dry.out, "#   placed    datetime\n")) << dry.out;
    EXPECT_TRUE(Has(dry.out, "#   CREATE TABLE \"orders\" (\"id\" integer, ")) << dry.out;
    EXPECT_TRUE(Has(dry.out, "\"placed\" timestamp")) << dry.out;
    EXPECT_EQ(std::vector<std::string>{"0"},
              rdtest::PgSql("SELECT count(*) FROM information_schema.tables WHERE table_schema "
                            "= 'public'"));
    ExpectNoJobFiles("pgdry");
    EXPECT_EQ("0|0|0\n", Stored());
}

} // namespace
} // namespace rdxtest
