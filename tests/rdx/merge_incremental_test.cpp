// SPDX-License-Identifier: Apache-2.0
// rdx copy with --mode upsert/delete-insert and the incremental options,
// end to end: runs over a changed or growing CSV file into SQLite, the job
// file they write, and the command lines refused before anything is set up.
#include "rdx_test_env.h"

namespace rdxtest {
namespace {

class MergeIncrementalTest : public RdxTest {
  protected:
    std::string Db() const { return "sqlite:" + Path("t.db") + "#items"; }
    Ran Copy(std::vector<std::string> options) {
        std::vector<std::string> args = {"copy", Path("items.csv"), Db(), "--name", "items"};
        args.insert(args.end(), options.begin(), options.end());
        return Rdx(args);
    }
    std::string Table(const std::string &columns) {
        return SqliteRows(Path("t.db"), "SELECT " + columns + " FROM items ORDER BY id");
    }
};

// Each merging mode run twice over a file whose rows changed and grew: the
// first run makes the table, the second leaves it equal to the file.
TEST_F(MergeIncrementalTest, MergeModesLeaveTheTableEqualToTheFile) {
    for (const char *mode : {"upsert", "delete-insert"}) {
        SCOPED_TRACE(mode);
        std::remove(Path("t.db").c_str());
        const std::vector<std::string> options = {"--mode", mode,        "--key",
                                                  "id",     "--columns", "id:int,v:text"};
        rdtest::WriteFile(Path("items.csv"), "id,v\n1,a\n2,b\n3,c\n");
        Ran ran = Copy(options);
        ASSERT_EQ(0, ran.status) << ran.out << ran.err;
        EXPECT_EQ("1|a\n2|b\n3|c\n", Table("id, v"));

        rdtest::WriteFile(Path("items.csv"), "id,v\n1,a\n2,b2\n3,c\n4,d\n");
        ran = Copy(options);
        ASSERT_EQ(0, ran.status) << ran.out << ran.err;
        EXPECT_EQ("1|a\n2|b2\n3|c\n4|d\n", Table("id, v"));
        EXPECT_NE(std::string::npos,
                  rdtest::ReadFile(DefaultHome() + "/items.toml")
                      .find("Mode = \"" + std::string(mode) + "\"\nKey = \"id\""));
    }
}

// A file that grows between runs: each run copies only the rows the
// earlier runs did not, whether by the bookmark of a key column (rows
// added out of the file's order pass by their key) or by the byte offset.
TEST_F(MergeIncrementalTest, IncrementalRunsCopyOnlyNewRows) {
    const struct {
        std::vector<std::string> options;
        const char *grown; // appended to the file before the second run
        const char *after;
    } ways[] = {
        {{"--incremental-key", "stamp"}, "5,50\n4,40\n", "1|10\n2|20\n3|30\n4|40\n5|50\n"},
        {{"--incremental-by", "offset"}, "4,5\n", "1|10\n2|20\n3|30\n4|5\n"},
    };
    for (const auto &way : ways) {
        SCOPED_TRACE(way.options.front());
        std::remove(Path("t.db").c_str());
        std::vector<std::string> options = way.options;
        options.insert(options.end(), {"--columns", "id:int,stamp:int"});
        rdtest::WriteFile(Path("items.csv"), "id,stamp\n1,10\n2,20\n3,30\n");
        Ran ran = Copy(options);
        ASSERT_EQ(0, ran.status) << ran.out << ran.err;
        EXPECT_EQ("1|10\n2|20\n3|30\n", Table("id, stamp"));

        rdtest::WriteFile(Path("items.csv"), rdtest::ReadFile(Path("items.csv")) + way.grown);
        ran = Copy(options);
        ASSERT_EQ(0, ran.status) << ran.out << ran.err;
        EXPECT_EQ(way.after, Table("id, stamp"));

        // Nothing new: nothing copied.
        ran = Copy(options);
        ASSERT_EQ(0, ran.status) << ran.out << ran.err;
        EXPECT_NE(std::string::npos, ran.out.find("0 records written")) << ran.out;
        EXPECT_EQ(way.after, Table("id, stamp"));
    }
}

// --save writes each option into the activity under the name rdcopy reads.
TEST_F(MergeIncrementalTest, SavedJobKeepsTheOptions) {
    const std::string saved = Path("job.toml");
    Ran ran = Rdx({"copy", "sqlite:" + Path("s.db") + "#src", Db(), "--save", saved, "--mode",
                   "upsert", "--key", "id,part", "--key-column", "id", "--incremental-key",
                   "updated_at", "--incremental-by", "key"});
    ASSERT_EQ(0, ran.status) << ran.err;
    EXPECT_NE(std::string::npos,
              rdtest::ReadFile(saved).find("Mode = \"upsert\"\nKey = \"id,part\"\nKeyColumn = "
                                           "\"id\"\nIncrementalKey = \"updated_at\"\n"
                                           "IncrementalBy = \"key\"\n"))
        << rdtest::ReadFile(saved);
    ran = Rdx({"copy", Path("items.csv"), Db(), "--save", saved, "--incremental-by", "offset"});
    ASSERT_EQ(0, ran.status) << ran.err;
    EXPECT_NE(std::string::npos, rdtest::ReadFile(saved).find("IncrementalBy = \"offset\"\n"));
    EXPECT_EQ(std::string::npos, rdtest::ReadFile(saved).find("IncrementalKey"));
}

TEST_F(MergeIncrementalTest, RefusedCombinations) {
    const std::string sql = "sqlite:" + Path("s.db") + "#src";
    const struct {
        std::vector<std::string> options;
        const char *says;
    } refused[] = {
        {{"--mode", "upsert"}, "--mode upsert needs the key columns in --key"},
        {{"--mode", "delete-insert"}, "--mode delete-insert needs the key columns in --key"},
        {{"--incremental-by", "time"}, "--incremental-by takes key or offset"},
        {{"--incremental-by", "key"}, "needs the column in --incremental-key"},
        {{"--incremental-by", "offset", "--incremental-key", "v"}, "does not go with"},
        {{"--incremental-key", "v", "--mode", "replace"}, "does not go with --mode replace"},
        {{"--incremental-by", "offset", "--mode", "truncate"}, "does not go with --mode truncate"},
        {{"--key"}, "--key needs a value"},
    };
    for (const auto &bad : refused) {
        const Ran ran = Copy(bad.options);
        EXPECT_EQ(64, ran.status) << bad.says << ran.out << ran.err;
        EXPECT_NE(std::string::npos, ran.err.find(bad.says)) << ran.err;
    }
    // Reading on by offset needs a file source.
    const Ran ran = Rdx({"copy", sql, Db(), "--incremental-by", "offset"});
    EXPECT_EQ(64, ran.status);
    EXPECT_NE(std::string::npos, ran.err.find("reads a CSV source on")) << ran.err;
    EXPECT_FALSE(rdtest::FileExists(DefaultHome()));
}

} // namespace
} // namespace rdxtest
