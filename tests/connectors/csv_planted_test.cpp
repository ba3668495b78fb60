// SPDX-License-Identifier: Apache-2.0
// A target in a folder others can write: links and files planted there by
// another user (nobody, through setpriv) are not written through, cut or
// adopted, be it the file itself or its side file of marks; new files get
// the mode the umask allows.
#include "csv_test_env.h"

#include <sys/stat.h>
#include <unistd.h>

namespace connectortest {
namespace {

class CsvPlantedTest : public CsvTest {
  protected:
    void SetUp() override {
        CsvTest::SetUp();
        if (geteuid() != 0) GTEST_SKIP() << "planting files as another user needs root";
        if (rdtest::Shell("setpriv --reuid=65534 --regid=65534 --clear-groups true") != 0)
            GTEST_SKIP() << "setpriv cannot run a command as nobody";
        // nobody may pass through the home and write into its shared folder.
        ASSERT_EQ(0, chmod(Path("").c_str(), 0711));
        ASSERT_EQ(0, mkdir(Path("shared").c_str(), 0777));
        ASSERT_EQ(0, chmod(Path("shared").c_str(), 0777));
        WriteFile(Path("victim.txt"), "precious\n");
    }
    // Runs a shell command as nobody; true when it succeeded.
    bool AsNobody(const std::string &command) {
        return rdtest::Shell("setpriv --reuid=65534 --regid=65534 --clear-groups sh -c '" +
                             command + "'") == 0;
    }
    // Inserts one record into shared/name; the status, LastError in error.
    // With a mark, the mark of the batch (after the connect, which reads
    // the copy's mark).
    uint32_t InsertInto(const std::string &name, std::string &error,
                        const std::vector<std::pair<std::string, std::string>> &props = {},
                        const std::string &mark = "") {
        auto out = std::make_unique<Connection>(csv_);
        EXPECT_EQ(0u, out->Set("Path", Path("shared/" + name)));
        EXPECT_EQ(0u, out->Set("Create", "yes"));
        for (const auto &[property, value] : props)
            EXPECT_EQ(0u, out->Set(property, value));
        if (uint32_t status = out->Connect(); status != 0) {
            error = out->LastError();
            return status;
        }
        if (!mark.empty()) {
            EXPECT_EQ(0u, out->Set("Mark", mark));
        }
        List list(1);
        Fill(list, {{"id", RDTYPE_INT}}, {{"7"}});
        uint32_t done = 0;
        const uint32_t status = out->Insert(list, 1, 1, &done);
        error = out->LastError();
        return status;
    }
    static mode_t ModeOf(const std::string &path) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }
};

TEST_F(CsvPlantedTest, LinksAndForeignFilesAreNotWrittenTo) {
    ASSERT_TRUE(AsNobody("ln -s " + Path("victim.txt") + " " + Path("shared/link.csv")));
    ASSERT_TRUE(AsNobody("ln -s " + Path("made-by-link.csv") + " " + Path("shared/dangling.csv")));
    ASSERT_TRUE(AsNobody("echo id > " + Path("shared/theirs.csv")));
    ASSERT_EQ(0, link(Path("victim.txt").c_str(), Path("shared/hard.csv").c_str()));
    ASSERT_EQ(0, mkfifo(Path("shared/fifo.csv").c_str(), 0666));
    const struct {
        const char *name, *why;
    } cases[] = {
        {"link.csv", " is a symbolic link"},
        {"dangling.csv", " is a symbolic link"},
        {"theirs.csv", " belongs to nobody (65534), not to root (0) who runs the copy"},
        {"hard.csv", " has 2 names (hard links)"},
        {"fifo.csv", " is not a regular file"},
    };
    for (const auto &c : cases) {
        std::string error;
        EXPECT_EQ(RDSTATUS_FREETEXT, InsertInto(c.name, error)) << c.name;
        EXPECT_NE(std::string::npos, error.find("the file " + Path("shared/") + c.name + c.why))
            << error;
    }
    EXPECT_EQ("precious\n", ReadFile(Path("victim.txt")));
    EXPECT_FALSE(rdtest::FileExists(Path("made-by-link.csv")));
    EXPECT_EQ("id\n", ReadFile(Path("shared/theirs.csv")));
}

// A side file of marks planted by another user (or a link to one) would
// cut the target back to any length it names: it is refused, the target
// keeps its records.
TEST_F(CsvPlantedTest, ForeignMarksAreNotAdopted) {
    std::string error;
    ASSERT_EQ(0u, InsertInto("out.csv", error, {{"LineEnd", "LF"}})) << error;
    const std::string records = ReadFile(Path("shared/out.csv"));
    ASSERT_EQ("id\n7\n", records);
    const std::string side = Path("shared/out.csv.rdx-mark");
    ASSERT_TRUE(AsNobody("printf \"rdx-mark 1\\nload\\t0\\tstart\\n\" > " + side));
    EXPECT_EQ(RDSTATUS_FREETEXT, InsertInto("out.csv", error, {{"MarkName", "load"}}));
    EXPECT_NE(std::string::npos, error.find(side + " belongs to nobody")) << error;
    EXPECT_EQ(records, ReadFile(Path("shared/out.csv")));

    // The same marks in a file of root's own, reached through a link.
    WriteFile(Path("marks"), ReadFile(side));
    ASSERT_EQ(0, unlink(side.c_str()));
    ASSERT_TRUE(AsNobody("ln -s " + Path("marks") + " " + side));
    EXPECT_EQ(RDSTATUS_FREETEXT, InsertInto("out.csv", error, {{"MarkName", "load"}}));
    EXPECT_NE(std::string::npos, error.find(side + " is a symbolic link")) << error;
    EXPECT_EQ(records, ReadFile(Path("shared/out.csv")));

    // A link laid where the next side file is written first: replaced, not
    // written through.
    ASSERT_EQ(0, unlink(side.c_str()));
    const std::string temporary = side + "." + std::to_string(getpid()) + ".tmp";
    ASSERT_TRUE(AsNobody("ln -s " + Path("victim.txt") + " " + temporary));
    ASSERT_EQ(0u, InsertInto("out.csv", error, {{"MarkName", "load"}}, "m1")) << error;
    EXPECT_EQ("rdx-mark 1\nload\t7\tm1\n", ReadFile(side));
    EXPECT_EQ("precious\n", ReadFile(Path("victim.txt")));
}

// New files: mode 0666 less the umask, for the data file and its marks.
TEST_F(CsvPlantedTest, NewFilesTakeTheUmask) {
    const mode_t old = umask(077);
    std::string error;
    const uint32_t status = InsertInto("private.csv", error, {{"MarkName", "c"}}, "m");
    umask(old);
    ASSERT_EQ(0u, status) << error;
    EXPECT_EQ(0600u, ModeOf(Path("shared/private.csv")));
    EXPECT_EQ(0600u, ModeOf(Path("shared/private.csv.rdx-mark")));
    ASSERT_EQ(0u, InsertInto("open.csv", error)) << error;
    EXPECT_EQ(0666u & ~old, ModeOf(Path("shared/open.csv")));
}

} // namespace
} // namespace connectortest
