// SPDX-License-Identifier: Apache-2.0
// rdx copy between CSV files and SQLite databases, end to end.
#include "rdx_test_env.h"

#include <sys/stat.h>

namespace rdxtest {
namespace {

mode_t Mode(const std::string &path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

// With no home yet, the first copy makes one and leaves its server manager
// running; CSV -> new SQLite table -> new CSV file gives the file back.
TEST_F(RdxTest, FirstCopyMakesTheHomeAndARoundTripKeepsTheFile) {
    rdtest::WriteFile(Path("orders.csv"), kOrdersCsv);
    ASSERT_FALSE(rdtest::FileExists(DefaultHome()));
    Ran in = Rdx({"copy", Path("orders.csv"), "sqlite:" + Path("orders.db") + "#orders",
                  "--columns", kOrderColumns});
    ASSERT_EQ(0, in.status) << in.err << in.out;
    EXPECT_NE(std::string::npos, in.out.find("4 records written")) << in.out;
    EXPECT_TRUE(rdtest::FileExists(DefaultHome() + "/quarry.ini"));
    EXPECT_EQ(0, Program(RDTEST_RDCSM, {"-c", DefaultHome(), "status"}).status);
    EXPECT_EQ(0600u, Mode(DefaultHome() + "/orders_to_orders.toml"));
    EXPECT_EQ("4|7.25|Zoë Ørsted\n",
              SqliteRows(Path("orders.db"), "SELECT * FROM orders WHERE id = 4"));

    Ran out = Rdx({"copy", "sqlite:" + Path("orders.db") + "#orders", "csv:" + Path("back.csv")});
    ASSERT_EQ(0, out.status) << out.err << out.out;
    EXPECT_EQ(kOrdersCsv, rdtest::ReadFile(Path("back.csv")));
}

// A JSON Lines file, plain and compressed, between a CSV file and SQLite:
// the records come back as they went in.
TEST_F(RdxTest, JsonLinesEndsRoundTrip) {
    rdtest::WriteFile(Path("orders.csv"), kOrdersCsv);
    for (const std::string name : {"orders.jsonl", "orders.ndjson.gz"}) {
        SCOPED_TRACE(name);
        Ran out = Rdx({"copy", Path("orders.csv"), Path(name), "--columns", kOrderColumns});
        ASSERT_EQ(0, out.status) << out.err << out.out;
        Ran in = Rdx({"copy", Path(name), "sqlite:" + Path("j.db") + "#orders", "--columns",
                      kOrderColumns, "--mode", "replace"});
        ASSERT_EQ(0, in.status) << in.err << in.out;
        EXPECT_NE(std::string::npos, in.out.find("4 records written")) << in.out;
        EXPECT_EQ("4|7.25|Zoë Ørsted\n",
                  SqliteRows(Path("j.db"), "SELECT * FROM orders WHERE id = 4"));
    }
    EXPECT_NE(std::string::npos, rdtest::ReadFile(Path("orders.jsonl")).find("\"id\":4"));
}

// An existing SQLite database is appended to; a bad record with
// --on-error skip ends with rdrun's status 2 and the record in the rejects.
TEST_F(RdxTest, ExistingTargetIsAppendedToAndRdrunStatusIsPassedOn) {
    rdtest::WriteFile(Path("orders.csv"), kOrdersCsv);
    const std::string db = "sqlite:" + Path("orders.db");
    ASSERT_EQ(0, Rdx({"copy", Path("orders.csv"), db, "--columns", kOrderColumns}).status);
    ASSERT_EQ(0, Rdx({"copy", Path("orders.csv"), db, "--columns", kOrderColumns}).status);
    EXPECT_EQ("8|24148\n", SqliteRows(Path("orders.db"), "SELECT count(*), "
                                                         "sum(CAST(round(amount * 100) AS int)) "
                                                         "FROM orders"));

    rdtest::WriteFile(Path("bad.csv"), "id,amount,customer\r\n5,seven,Eve\r\n6,1.00,Fay\r\n");
    Ran bad = Rdx({"copy", Path("bad.csv"), db + "#orders", "--columns", kOrderColumns,
                   "--on-error", "skip", "--rejects", Path("rejects.csv"), "--batch", "1"});
    EXPECT_EQ(2, bad.status) << bad.err << bad.out;
    EXPECT_NE(std::string::npos, rdtest::ReadFile(Path("rejects.csv")).find("seven"));
    EXPECT_EQ("9\n", SqliteRows(Path("orders.db"), "SELECT count(*) FROM orders"));
}

// A file name with quotes, a backslash, a tab and a newline reaches the
// connectors whole through the job file.
TEST_F(RdxTest, HostileFileNameSurvivesTheJobFile) {
    const std::string name = Path("we\"ird\\ \t\nname.csv");
    rdtest::WriteFile(name, kOrdersCsv);
    Ran ran = Rdx({"copy", "csv:" + name, "sqlite:" + Path("h.db") + "#t", "--name", "hostile"});
    ASSERT_EQ(0, ran.status) << ran.err << ran.out;
    EXPECT_EQ("4\n", SqliteRows(Path("h.db"), "SELECT count(*) FROM t"));
    const std::string job = rdtest::ReadFile(DefaultHome() + "/hostile.toml");
    EXPECT_NE(std::string::npos, job.find("we\\\"ird\\\\ \\t\\nname.csv")) << job;
}

// --save writes the job and runs nothing; defined and run by hand it makes
// the same table as rdx's own run.
TEST_F(RdxTest, SavedJobRunByRdrunGivesTheSameTable) {
    rdtest::WriteFile(Path("orders.csv"), kOrdersCsv);
    Ran save = Rdx({"copy", Path("orders.csv"), "sqlite:" + Path("saved.db") + "#orders",
                    "--columns", kOrderColumns, "--name", "saved", "--save", Path("saved.toml")});
    ASSERT_EQ(0, save.status) << save.err;
    EXPECT_FALSE(rdtest::FileExists(Path("saved.db")));
    EXPECT_FALSE(rdtest::FileExists(DefaultHome()));
    EXPECT_EQ(0600u, Mode(Path("saved.toml")));

    ASSERT_EQ(0, Rdx({"copy", Path("orders.csv"), "sqlite:" + Path("direct.db") + "#orders",
                      "--columns", kOrderColumns})
                     .status);
    Ran define = Program(RDTEST_RDCSM, {"-c", DefaultHome(), "define", Path("saved.toml")});
    ASSERT_EQ(0, define.status) << define.err;
    Ran run = Program(RDTEST_RDRUN, {"-c", DefaultHome(), "saved"});
    ASSERT_EQ(0, run.status) << run.err << run.out;
    const std::string all = "SELECT * FROM orders ORDER BY id";
    EXPECT_EQ(SqliteRows(Path("direct.db"), all), SqliteRows(Path("saved.db"), all));
    EXPECT_EQ(SqliteRows(Path("direct.db"), "SELECT sql FROM sqlite_master"),
              SqliteRows(Path("saved.db"), "SELECT sql FROM sqlite_master"));
}

// --dry-run checks the job with the connectors and prints it; nothing is
// written at the target and no job file stays in the home.
TEST_F(RdxTest, DryRunChecksAndWritesNothing) {
    rdtest::WriteFile(Path("orders.csv"), kOrdersCsv);
    const std::string target = "sqlite:" + Path("dry.db") + "#orders";
    Ran dry = Rdx({"copy", Path("orders.csv"), target, "--dry-run", "--name", "dry"});
    ASSERT_EQ(0, dry.status) << dry.err;
    EXPECT_NE(std::string::npos, dry.out.find("[activity.dry]")) << dry.out;
    EXPECT_FALSE(rdtest::FileExists(Path("dry.db")));
    EXPECT_FALSE(rdtest::FileExists(DefaultHome() + "/dry.toml"));
    EXPECT_FALSE(rdtest::FileExists(DefaultHome() + "/dry.check.toml"));

    Ran refused = Rdx({"copy", Path("orders.csv"), target, "--dry-run", "--charset", "klingon"});
    EXPECT_EQ(64, refused.status) << refused.out << refused.err;
    EXPECT_NE(std::string::npos, refused.err.find("\"klingon\" names no character set"))
        << refused.err;
}

} // namespace
} // namespace rdxtest
