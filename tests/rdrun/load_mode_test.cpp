// SPDX-License-Identifier: Apache-2.0
// The copy's Mode on every target (a CSV file, SQLite, PostgreSQL, SQLite
// through ODBC), run by rdrun and read back by each target's own client:
// create refuses an existing table, append adds, replace and truncate give
// the source once however often they run, and a failed or killed replace
// or truncate resumes to the source exactly once.
#include "pg_run_env.h"

#include <algorithm>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace rdruntest {
namespace {

enum class Kind { Csv, Sqlite, Pg, Odbc };
constexpr Kind kKinds[] = {Kind::Csv, Kind::Sqlite, Kind::Pg, Kind::Odbc};

const char *Name(Kind kind) {
    switch (kind) {
    case Kind::Csv:
        return "csv";
    case Kind::Sqlite:
        return "sqlite";
    case Kind::Pg:
        return "pg";
    case Kind::Odbc:
        return "odbc";
    }
    return "";
}

// The source: five records with a header, read two per batch.
constexpr const char *kSource = "id,name\n1,a\n2,b\n3,c\n4,d\n5,e\n";
constexpr const char *kOnce = "1,2,3,4,5";

class LoadModeTest : public OdbcRunTest {
  protected:
    void SetUp() override {
        OdbcRunTest::SetUp();
        if (IsSkipped()) return;
        rdtest::WriteFile(Path("src.csv"), kSource);
    }

    static std::string Suffix(Kind kind) { return std::string("_") + Name(kind); }
    std::string File(Kind kind) const {
        return Path(kind == Kind::Csv ? "out.csv" : kind == Kind::Odbc ? "odbc.db" : "out.db");
    }
    // The target link "out_KIND".
    std::string TargetLink(Kind kind) const {
        const std::string name = "out" + Suffix(kind);
        switch (kind) {
        case Kind::Csv:
            return CsvTarget(name, File(kind));
        case Kind::Sqlite:
            return SqliteLink(name, File(kind));
        case Kind::Pg:
            return PgLink(name, "batch");
        case Kind::Odbc:
            return OdbcLink(name, File(kind));
        }
        return "";
    }
    // Defines the copy "NAME_KIND" of source (a CSV link "src") into the
    // target with mode (none when empty), and CreateTarget = 1 when asked.
    void DefineCopy(Kind kind, const std::string &mode, const std::string &name = "load",
                    const std::string &columns = "id:int,name:text", unsigned batch = 2,
                    bool createTarget = false) {
        CopySpec spec{"src",  "out" + Suffix(kind), kind == Kind::Csv ? "" : "orders", "", batch,
                      "stop", createTarget};
        Define(CsvLink("src", source_, columns) + TargetLink(kind) +
               CopyActivity(name + Suffix(kind), spec) +
               (mode.empty() ? "" : "Mode = \"" + mode + "\"\n"));
    }
    Ran Run(Kind kind, const std::string &options = "", const std::string &name = "load") {
        return Rdrun("--no-progress " + options + " " + name + Suffix(kind));
    }

    // Runs sql on the target's database (not for CSV).
    void Exec(Kind kind, const std::string &sql) {
        if (kind == Kind::Pg) {
            rdtest::PgSql(sql);
            return;
        }
        Db db(File(kind));
        db.Exec(sql);
    }
    // The first column of each row of sql on the target, joined by ',';
    // "<none>" when the query fails (no table).
    std::string Query(Kind kind, const std::string &sql) {
        std::string joined;
        if (kind == Kind::Pg) {
            if (rdtest::PgSql("SELECT to_regclass('orders') IS NULL").at(0) == "t") return "<none>";
            for (const std::string &row : rdtest::PgSql(sql))
                joined += (joined.empty() ? "" : ",") + row;
            return joined;
        }
        Db db(File(kind));
        const std::string rows = db.Query(sql);
        if (rows.find("no such table") != std::string::npos) return "<none>";
        std::istringstream lines(rows);
        for (std::string line; std::getline(lines, line);)
            joined += (joined.empty() ? "" : ",") + line;
        return joined;
    }
    // The CSV file's lines.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream text(rdtest::ReadFile(File(Kind::Csv)));
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }
    // The ids the target holds, in order; "<none>" without a table.
    std::string Ids(Kind kind) {
        if (kind != Kind::Csv) return Query(kind, "SELECT id FROM orders ORDER BY id");
        if (access(File(kind).c_str(), F_OK) != 0) return "<none>";
        std::vector<long> ids;
        const std::vector<std::string> lines = Lines();
        for (size_t i = 1; i < lines.size(); ++i)
            ids.push_back(std::atol(lines[i].substr(0, lines[i].find(',')).c_str()));
        std::sort(ids.begin(), ids.end());
        std::string joined;
        for (long id : ids)
            joined += (joined.empty() ? "" : ",") + std::to_string(id);
        return joined;
    }
    // The target's column names in order (a CSV file's header line).
    std::string Columns(Kind kind) {
        if (kind == Kind::Csv) return Lines().empty() ? "" : Lines()[0];
        if (kind == Kind::Pg)
            return Query(kind, "SELECT column_name FROM information_schema.columns WHERE "
                               "table_name = 'orders' ORDER BY ordinal_position");
        return Query(kind, "SELECT name FROM pragma_table_info('orders') ORDER BY cid");
    }
    // Whether the index orders_by_name is there.
    bool HasIndex(Kind kind) {
        if (kind == Kind::Pg)
            return Query(kind, "SELECT count(*) FROM pg_indexes WHERE indexname = "
                               "'orders_by_name'") == "1";
        return Query(kind, "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND "
                           "name = 'orders_by_name'") == "1";
    }
    // An existing target: the columns id and `second`, the records 100 and
    // 101, and for SQL an index on `second` (orders_by_name). A CSV file
    // gets header as its first line.
    void Seed(Kind kind, const std::string &second, const std::string &header = "") {
        if (kind == Kind::Csv) {
            rdtest::WriteFile(File(kind),
                              (header.empty() ? "id," + second : header) + "\n100,old\n101,old\n");
            return;
        }
        Exec(kind, "CREATE TABLE orders (id integer, " + second +
                       " text); INSERT INTO orders VALUES (100, 'old'), (101, 'old'); "
                       "CREATE INDEX orders_by_name ON orders (" +
                       second + ")");
    }
    // The target gone with the copies' marks: its table and the mark table,
    // or its file and the file's marks.
    void Remove(Kind kind) {
        if (kind == Kind::Pg) rdtest::PgSql("DROP TABLE IF EXISTS orders, rdx_copy_marks");
        if (kind != Kind::Pg) unlink(File(kind).c_str());
        if (kind == Kind::Csv) unlink((File(kind) + ".rdx-mark").c_str());
    }
    std::string TableName(Kind kind) const { return kind == Kind::Csv ? "out.csv" : "orders"; }

    std::string source_ = Path("src.csv");
};

TEST_F(LoadModeTest, CreateRefusesAnExistingTableAndLeavesIt) {
    for (Kind kind : kKinds) {
        SCOPED_TRACE(Name(kind));
        Seed(kind, "note");
        DefineCopy(kind, "create");
        const Ran ran = Run(kind);
        EXPECT_NE(0, ran.status) << ran.out;
        const std::string log = Log("load" + Suffix(kind));
        EXPECT_NE(std::string::npos,
                  log.find("Mode create: load" + Suffix(kind) + " could not make the table"))
            << log;
        EXPECT_NE(std::string::npos, log.find(TableName(kind))) << log;
        EXPECT_EQ("100,101", Ids(kind));
        EXPECT_EQ("id,note", Columns(kind));
    }
}

// A new table is made (and logged as made) when none is there; CreateTarget
// = 1 of older job files does the same.
TEST_F(LoadModeTest, CreateMakesTheTableFromTheSourceFields) {
    for (Kind kind : kKinds) {
        SCOPED_TRACE(Name(kind));
        DefineCopy(kind, "", "load", "id:int,name:text", 2, true);
        const Ran ran = Run(kind);
        ASSERT_EQ(0, ran.status) << ran.out << ran.err;
        EXPECT_EQ(kOnce, Ids(kind));
        EXPECT_EQ("id,name", Columns(kind));
        const std::string made =
            kind == Kind::Csv ? "Created file out.csv (2 columns)." : "Created table orders in ";
        EXPECT_NE(std::string::npos, Log("load" + Suffix(kind)).find(made));
    }
}

TEST_F(LoadModeTest, AppendTwiceGivesTwiceAndNeedsTheTable) {
    for (Kind kind : kKinds) {
        SCOPED_TRACE(Name(kind));
        DefineCopy(kind, "append");
        if (kind != Kind::Csv) { // a CSV link with Create = 1 makes its file
            EXPECT_NE(0, Run(kind).status);
            EXPECT_EQ("<none>", Ids(kind));
        }
        Seed(kind, "name");
        ASSERT_EQ(0, Run(kind).status);
        ASSERT_EQ(0, Run(kind).status);
        EXPECT_EQ("1,1,2,2,3,3,4,4,5,5,100,101", Ids(kind));
    }
}

TEST_F(LoadModeTest, ReplaceTwiceGivesTheSourceOnceInItsLayout) {
    for (Kind kind : kKinds) {
        SCOPED_TRACE(Name(kind));
        Seed(kind, "note");
        DefineCopy(kind, "replace");
        for (int run = 0; run < 2; ++run) {
            const Ran ran = Run(kind);
            ASSERT_EQ(0, ran.status) << ran.out << ran.err;
            EXPECT_EQ(kOnce, Ids(kind));
            EXPECT_EQ("id,name", Columns(kind));
        }
        const std::string log = Log("load" + Suffix(kind));
        const std::string replaced =
            kind == Kind::Csv ? "Replaced file out.csv (2 columns)." : "Replaced table orders in ";
        EXPECT_EQ(2u, Count(log, replaced)) << log;
        if (kind == Kind::Sqlite) {
            EXPECT_NE(std::string::npos, log.find("Replaced table orders in out.db (2 columns)."));
        }
    }
}

// A table that is not there is made by replace and refused by truncate.
TEST_F(LoadModeTest, ReplaceMakesAMissingTableTruncateRefusesIt) {
    for (Kind kind : kKinds) {
        SCOPED_TRACE(Name(kind));
        DefineCopy(kind, "truncate");
        EXPECT_NE(0, Run(kind).status);
        EXPECT_NE(std::string::npos,
                  Log("load" + Suffix(kind))
                      .find("Mode truncate: load" + Suffix(kind) + " could not empty the table"));
        EXPECT_EQ("<none>", Ids(kind));
        DefineCopy(kind, "replace", "again");
        ASSERT_EQ(0, Run(kind, "", "again").status);
        EXPECT_EQ(kOnce, Ids(kind));
    }
}

TEST_F(LoadModeTest, TruncateKeepsTheLayoutAndGivesTheSourceOnce) {
    for (Kind kind : kKinds) {
        SCOPED_TRACE(Name(kind));
        // The header's own spelling stays: its names are compared without case.
        Seed(kind, "name", "ID,Name");
        DefineCopy(kind, "truncate");
        for (int run = 0; run < 2; ++run) {
            const Ran ran = Run(kind);
            ASSERT_EQ(0, ran.status) << ran.out << ran.err;
            EXPECT_EQ(kOnce, Ids(kind));
        }
        EXPECT_EQ(kind == Kind::Csv ? "ID,Name" : "id,name", Columns(kind));
        if (kind != Kind::Csv) {
            EXPECT_TRUE(HasIndex(kind));
        }
        const std::string emptied =
            kind == Kind::Csv ? "Emptied file out.csv." : "Emptied table orders in ";
        EXPECT_EQ(2u, Count(Log("load" + Suffix(kind)), emptied));
    }
}

// A bad record after the first committed batch stops a replace or a
// truncate: the table keeps that batch and nothing of before, and the run resumed over the mended
// source (or, for a target without marks, run again) holds the source once.
TEST_F(LoadModeTest, FailedReplaceOrTruncateGoesOnToTheSourceOnce) {
    for (const char *mode : {"replace", "truncate"}) {
        for (Kind kind : kKinds) {
            SCOPED_TRACE(std::string(mode) + " " + Name(kind));
            rdtest::WriteFile(source_, "id,name\n1,a\n2,b\n3,c\nbad,d\n5,e\n");
            Remove(kind);
            Seed(kind, "name");
            DefineCopy(kind, mode);
            EXPECT_NE(0, Run(kind).status);
            EXPECT_EQ(0u, Ids(kind).find("1,2")) << Ids(kind);
            EXPECT_EQ(std::string::npos, Ids(kind).find("100")) << Ids(kind);
            rdtest::WriteFile(source_, kSource);
            const Ran ran = Run(kind, kind == Kind::Odbc ? "" : "--resume");
            ASSERT_EQ(0, ran.status) << ran.out << ran.err;
            EXPECT_EQ(kOnce, Ids(kind));
        }
    }
}

// SIGKILL at random moments through a replace and a truncate, each run
// started with --resume: the target ends with every source record once and
// nothing of what it held before.
TEST_F(LoadModeTest, KilledReplaceOrTruncateResumesToTheSourceOnce) {
    const unsigned rows = Setting("RDX_KILL_LOOP_ROWS", 300000);
    MakeOrders(Path("orders.csv"), rows);
    source_ = Path("orders.csv");
    const std::string expected = std::to_string(rows) + "," + std::to_string(rows);
    auto whole = [&](Kind kind) {
        if (kind != Kind::Csv)
            return Query(kind, "SELECT count(*) || ',' || count(DISTINCT id) FROM orders");
        const std::vector<std::string> lines = Lines();
        std::vector<std::string> ids;
        for (size_t i = 1; i < lines.size(); ++i)
            ids.push_back(lines[i].substr(0, lines[i].find(',')));
        const size_t count = ids.size();
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        return std::to_string(count) + "," + std::to_string(ids.size());
    };
    auto foreign = [&](Kind kind) {
        if (kind == Kind::Csv)
            return rdtest::ReadFile(File(kind)).find("\n999999,") != std::string::npos;
        return Query(kind, "SELECT count(*) FROM orders WHERE id = 999999") != "0";
    };
    int killed = 0;
    for (const char *mode : {"replace", "truncate"}) {
        for (Kind kind : {Kind::Csv, Kind::Sqlite, Kind::Pg}) {
            SCOPED_TRACE(std::string(mode) + " " + Name(kind));
            // The target made by another copy first, with one foreign record.
            DefineCopy(kind, "replace", "seed", kOrderColumns, 500);
            Remove(kind);
            ASSERT_EQ(0, Run(kind, "", "seed").status);
            if (kind == Kind::Csv)
                rdtest::WriteFile(File(kind), rdtest::ReadFile(File(kind)) +
                                                  "999999,1.00,2024-01-01 00:00:00,x\n");
            else
                Exec(kind, "INSERT INTO orders (id) VALUES (999999)");
            DefineCopy(kind, mode, "load", kOrderColumns, 500);
            killed += KillLoop("--resume --no-progress load" + Suffix(kind),
                               Setting("RDX_KILL_LOOP_KILLS", 8), 150,
                               [&] { return !foreign(kind) && whole(kind) == expected; });
            const Ran last = Run(kind, "--resume");
            EXPECT_EQ(0, last.status) << last.out << last.err;
            EXPECT_EQ(expected, whole(kind));
            EXPECT_FALSE(foreign(kind));
        }
    }
    EXPECT_GT(killed, 0);
}

TEST_F(LoadModeTest, ModeWordsAndCreateTargetAreChecked) {
    CopySpec spec{"src", "out_sqlite", "orders", "", 2, "stop", false};
    const std::string links =
        CsvLink("src", source_, "id:int,name:text") + TargetLink(Kind::Sqlite);
    rdtest::WriteFile(Path("bad.toml"),
                      links + CopyActivity("bad", spec) + "Mode = \"overwrite\"\n");
    const Ran refused = Program("rdcsm", "define " + Path("bad.toml"));
    EXPECT_NE(0, refused.status);
    EXPECT_NE(std::string::npos,
              (refused.out + refused.err)
                  .find("Mode must be \"create\", \"append\", \"replace\", \"truncate\", "
                        "\"upsert\" or \"delete-insert\", not \"overwrite\""))
        << refused.out << refused.err;

    spec.create = true;
    Define(links + CopyActivity("both", spec) + "Mode = \"replace\"\n");
    EXPECT_NE(0, Rdrun("--no-progress both").status);
    EXPECT_NE(std::string::npos, Log("both").find("and CreateTarget = 1 disagree")) << Log("both");
    EXPECT_EQ("<none>", Ids(Kind::Sqlite));
    Define(links + CopyActivity("agree", spec) + "Mode = \"Create\"\n");
    EXPECT_EQ(0, Rdrun("--no-progress agree").status);
    EXPECT_EQ(kOnce, Ids(Kind::Sqlite));
}

} // namespace
} // namespace rdruntest
