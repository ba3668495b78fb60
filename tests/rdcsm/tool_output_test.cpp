// SPDX-License-Identifier: Apache-2.0
// The tool's writes: output that cannot be written (a full disk, a closed
// standard output) is a failure with a message, a file given with -o is
// replaced only when the new one is whole, and define refuses what is not
// a job file.
#include "rdcsm_test_env.h"
#include "tool_env.h"

#include "rdx_status.h"

#include <sys/mount.h>
#include <sys/stat.h>

namespace rdcsmtest {
namespace {

// The subcommands that write to the standard output, each with something
// to write.
const char *const kWriters[] = {"export", "list", "show load", "log load", "stats load", "status"};

class ToolOutputTest : public ServerTest {
  protected:
    void SetUp() override {
        ServerTest::SetUp();
        Define(rdcsm::kActivity, "load", {TextItem(5, std::string(100000, 'x'))});
        ASSERT_EQ(0, RunTool(home_, "run load").status);
        NextActivityRecord next{};
        ASSERT_EQ(0u, CSMgrNextActivity(&next));
        ASSERT_EQ(0u, CSMgrLog(next.handle, RDSTATUS_EXCHANGE, &Stream("while reading", 256)));
    }
};

TEST_F(ToolOutputTest, LostStandardOutputIsAFailure) {
    for (const char *writer : kWriters) {
        ToolRun run = RunTool(home_, writer);
        EXPECT_EQ(0, run.status) << writer << ": " << run.err;
        EXPECT_FALSE(run.out.empty()) << writer;

        run = RunTool(home_, writer, ">/dev/full");
        EXPECT_EQ(1, run.status) << writer;
        EXPECT_NE(std::string::npos,
                  run.err.find("cannot write the standard output: No space left on device"))
            << writer << ": " << run.err;

        run = RunTool(home_, writer, ">&-");
        EXPECT_EQ(1, run.status) << writer;
        EXPECT_NE(std::string::npos, run.err.find("cannot write the standard output"))
            << writer << ": " << run.err;
    }
    // Nothing that the tool opened took the place of the closed output.
    EXPECT_EQ(0, RunTool(home_, "export").status);
}

TEST_F(ToolOutputTest, OutputFileIsReplacedOnlyWhenWhole) {
    const std::string file = home_.Path("jobs.toml");
    ToolRun run = RunTool(home_, "export -o " + Quoted(file));
    ASSERT_EQ(0, run.status) << run.err;
    const std::string whole = rdtest::ReadFile(file);
    EXPECT_NE(std::string::npos, whole.find("[activity.load]"));

    // Through a symbolic link the file it names is replaced, the link kept.
    ASSERT_EQ(0, symlink(file.c_str(), home_.Path("link.toml").c_str()));
    rdtest::WriteFile(file, "old\n");
    ASSERT_EQ(0, RunTool(home_, "export -o " + Quoted(home_.Path("link.toml"))).status);
    EXPECT_EQ(whole, rdtest::ReadFile(file));
    struct stat status {};
    ASSERT_EQ(0, lstat(home_.Path("link.toml").c_str(), &status));
    EXPECT_TRUE(S_ISLNK(status.st_mode));

    const std::pair<std::string, std::string> failures[] = {
        {"/dev/full", "/dev/full: No space left on device"},
        {home_.Path("missing/jobs.toml"), "No such file or directory"},
        {home_.Dir(), "Is a directory"},
    };
    for (const auto &[target, message] : failures) {
        run = RunTool(home_, "export -o " + Quoted(target));
        EXPECT_EQ(1, run.status) << target;
        EXPECT_NE(std::string::npos, run.err.find("cannot write")) << run.err;
        EXPECT_NE(std::string::npos, run.err.find(message)) << run.err;
    }
}

// A file system of 64 KiB that the export (100,000 bytes of value) does not
// fit: mounted for the test, which needs the right to mount.
class FullDiskTest : public ToolOutputTest {
  protected:
    void SetUp() override {
        ToolOutputTest::SetUp();
        disk_ = home_.Path("disk");
        ASSERT_EQ(0, mkdir(disk_.c_str(), 0700));
        if (mount("tmpfs", disk_.c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "a tmpfs cannot be mounted here";
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_) {
            EXPECT_EQ(0, umount(disk_.c_str()));
        }
        ToolOutputTest::TearDown();
    }
    std::string disk_;
    bool mounted_ = false;
};

TEST_F(FullDiskTest, ExportThatDoesNotFitKeepsTheOldFile) {
    const std::string file = disk_ + "/jobs.toml";
    rdtest::WriteFile(file, "old\n");
    ToolRun run = RunTool(home_, "export -o " + Quoted(file));
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find("No space left on device")) << run.err;
    EXPECT_EQ("old\n", rdtest::ReadFile(file));
    // No temporary file is left behind.
    EXPECT_EQ(0, rdtest::Shell("test \"$(ls -A " + Quoted(disk_) + ")\" = jobs.toml"));

    run = RunTool(home_, "export", ">" + Quoted(disk_ + "/stdout.toml"));
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find("No space left on device")) << run.err;
}

TEST_F(ServerTest, DefineRefusesWhatIsNoJobFile) {
    ASSERT_EQ(0, mkfifo(home_.Path("fifo").c_str(), 0600));
    rdtest::WriteFile(home_.Path("empty.toml"), "");
    rdtest::WriteFile(home_.Path("comment.toml"), "# nothing yet\n");
    rdtest::WriteFile(home_.Path("tables.toml"), "[activity]\n[link]\n");
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/zero", "/dev/zero: not a regular file"},
        {home_.Dir(), "not a regular file"},
        {home_.Path("fifo"), "fifo: not a regular file"},
        {home_.Path("missing.toml"), "missing.toml: No such file or directory"},
        {home_.Path("empty.toml"), "empty.toml: defines no activity or link"},
        {home_.Path("comment.toml"), "comment.toml: defines no activity or link"},
        {home_.Path("tables.toml"), "tables.toml: defines no activity or link"},
    };
    for (const auto &[path, message] : cases) {
        const ToolRun run = RunTool(home_, "define " + Quoted(path));
        EXPECT_EQ(1, run.status) << path;
        EXPECT_EQ("", run.out) << path;
        EXPECT_NE(std::string::npos, run.err.find(message)) << run.err;
    }
}

} // namespace
} // namespace rdcsmtest
