// SPDX-License-Identifier: Apache-2.0
// `rdcsm init`: a home set up from nothing runs a job through the real
// programs, named with -c or found on PATH; a second init keeps what is
// there; the default folder follows the XDG state folder.
#include "run_test_env.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace rdruntest {
namespace {

constexpr std::size_t npos = std::string::npos;

std::string Quote(const std::string &text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Real(const std::string &path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : "";
}

mode_t Mode(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class HomeInitTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (served_) Shell(RDTEST_RDCSM, "-c " + Quote(folder_) + " stop");
    }
    // Runs a program with the arguments (shell words), after the
    // environment assignments env.
    Ran Shell(const std::string &program, const std::string &arguments,
              const std::string &env = "") const {
        Ran ran;
        ran.status = rdtest::Shell(env + " " + Quote(program) + " " + arguments + " >" +
                                   Quote(tmp_.Path("out.txt")) + " 2>" +
                                   Quote(tmp_.Path("err.txt")) + " </dev/null");
        ran.out = rdtest::ReadFile(tmp_.Path("out.txt"));
        ran.err = rdtest::ReadFile(tmp_.Path("err.txt"));
        return ran;
    }
    Ran Init(const std::string &arguments = "") const {
        return Shell(RDTEST_RDCSM, "init " + arguments,
                     "XDG_STATE_HOME=" + Quote(tmp_.Path("state")));
    }

    rdtest::ScopedEnv locale_{"LC_ALL", "C.UTF-8"};
    rdtest::TempHome tmp_;
    std::string folder_ = tmp_.Path("state") + "/rdx/home";
    bool served_ = false;
};

TEST_F(HomeInitTest, AFreshHomeRunsAJobByItsFolderOrOnPath) {
    Ran ran = Init();
    ASSERT_EQ(0, ran.status) << ran.err;
    EXPECT_EQ(0u, ran.out.find("Home " + folder_ + ":\n  quarry.ini     made\n")) << ran.out;
    EXPECT_NE(npos, ran.out.find("export PATH=" + folder_ + ":\"$PATH\"\n")) << ran.out;
    EXPECT_NE(npos, ran.out.find("rdrun -c " + folder_ + " ACTIVITY\n")) << ran.out;
    EXPECT_EQ("[Configuration]\nDirectory=" + folder_ + "/\nKitType=2\n",
              rdtest::ReadFile(folder_ + "/quarry.ini"));
    // Every program and connector of the build, linked.
    const std::pair<const char *, const char *> linked[] = {
        {"rdcsm", RDTEST_RDCSM},       {"rdrun", RDTEST_RDRUN},
        {"rdcsv.rdx", RDTEST_RDCSV},   {"rdsqlite.rdx", RDTEST_RDSQLITE},
        {"rdcopy.rdx", RDTEST_RDCOPY}, {"rdpg.rdx", RDTEST_RDPG},
        {"rdodbc.rdx", RDTEST_RDODBC},
    };
    for (const auto &[name, target] : linked) {
        EXPECT_EQ(Real(target), Real(folder_ + "/" + name)) << name;
        EXPECT_NE(npos, ran.out.find(std::string("  ") + name)) << ran.out;
    }
    EXPECT_EQ(0600u, Mode(folder_ + "/rdcsm.db"));
    EXPECT_EQ(0700u, Mode(folder_));
    EXPECT_EQ(0700u, Mode(tmp_.Path("state/rdx")));

    // The home named with -c: served, defined and run.
    const std::string c = "-c " + Quote(folder_);
    ASSERT_EQ(0, Shell(RDTEST_RDCSM, c + " serve --detach").status);
    served_ = true;
    MakeOrders(folder_ + "/orders.csv", 30);
    std::string job = "[link.csv]\nconnector = \"rdcsv\"\nPath = \"" + folder_ +
                      "/orders.csv\"\nColumns = \"" + kOrderColumns +
                      "\"\n[link.db]\nconnector = \"rdsqlite\"\nDatabase = \"" + folder_ +
                      "/o.db\"\nCreate = 1\n";
    for (const char *name : {"one", "two"})
        job += std::string("[activity.") + name +
               "]\nconnector = \"rdcopy\"\nSourceLink = \"csv\"\nTargetLink = "
               "\"db\"\nTargetTable = \"" +
               name + "\"\nCreateTarget = 1\n";
    rdtest::WriteFile(folder_ + "/job.toml", job);
    ran = Shell(RDTEST_RDCSM, c + " define " + Quote(folder_ + "/job.toml"));
    ASSERT_EQ(0, ran.status) << ran.err;
    ran = Shell(RDTEST_RDRUN, c + " one");
    EXPECT_EQ(0, ran.status) << ran.out << ran.err;
    // The home on PATH: its own links find its quarry.ini.
    const std::string path = "PATH=" + Quote(folder_) + ":\"$PATH\"";
    ran = Shell("rdrun", "two", path);
    EXPECT_EQ(0, ran.status) << ran.out << ran.err;
    Db db(folder_ + "/o.db");
    EXPECT_EQ("30|30\n", db.Query("SELECT (SELECT count(*) FROM one), count(*) FROM two"));
    EXPECT_NE(npos, Shell("rdcsm", "status", path).out.find("defined: 2 activities, 2 links"));

    ran = Shell(RDTEST_RDCSM, c + " stop");
    EXPECT_EQ(0, ran.status) << ran.err;
    EXPECT_EQ("stopped the server manager of the home " + folder_ + "/\n", ran.out);
    served_ = false;
}

TEST_F(HomeInitTest, ASecondInitKeepsWhatIsThereAndAddsWhatIsMissing) {
    ASSERT_EQ(0, Init().status);
    rdtest::WriteFile(folder_ + "/quarry.ini", "[Configuration]\nDirectory=/elsewhere/\n");
    ASSERT_EQ(0, unlink((folder_ + "/rdrun").c_str()));
    ASSERT_EQ(0, unlink((folder_ + "/rdcsv.rdx").c_str()));
    ASSERT_EQ(0, symlink("/nonexistent/rdcsv.rdx", (folder_ + "/rdcsv.rdx").c_str()));
    Ran ran = Init(Quote(folder_));
    ASSERT_EQ(0, ran.status) << ran.err;
    EXPECT_NE(npos, ran.out.find("  quarry.ini     kept\n")) << ran.out;
    EXPECT_NE(npos, ran.out.find("  rdrun          linked to ")) << ran.out;
    EXPECT_NE(npos, ran.out.find("  rdcsv.rdx      kept, but it leads to no file: "
                                 "/nonexistent/rdcsv.rdx\n"))
        << ran.out;
    EXPECT_NE(npos, ran.out.find("  rdcsm.db       kept\n")) << ran.out;
    EXPECT_EQ(npos, ran.out.find("nothing was changed")) << ran.out;
    EXPECT_EQ("[Configuration]\nDirectory=/elsewhere/\n",
              rdtest::ReadFile(folder_ + "/quarry.ini"));
    EXPECT_EQ(Real(RDTEST_RDRUN), Real(folder_ + "/rdrun"));

    ran = Init(Quote(folder_));
    EXPECT_EQ(0, ran.status);
    EXPECT_NE(npos, ran.out.find("The home was set up already; nothing was changed.\n")) << ran.out;
    EXPECT_EQ(npos, ran.out.find("made")) << ran.out;
    EXPECT_EQ(npos, ran.out.find("linked")) << ran.out;
}

TEST_F(HomeInitTest, FoldersByDefaultRelativeAndRefused) {
    // Without XDG_STATE_HOME the user's ~/.local/state.
    Ran ran = Shell(RDTEST_RDCSM, "init", "env -u XDG_STATE_HOME HOME=" + Quote(tmp_.Dir()));
    ASSERT_EQ(0, ran.status) << ran.err;
    EXPECT_TRUE(rdtest::FileExists(tmp_.Path(".local/state/rdx/home/quarry.ini")));
    // A relative folder, and the -c folder when init names none.
    ran = Shell(RDTEST_RDCSM, "init rel", "cd " + Quote(tmp_.Dir()) + " &&");
    ASSERT_EQ(0, ran.status) << ran.err;
    EXPECT_EQ("[Configuration]\nDirectory=" + Real(tmp_.Path("rel")) + "/\nKitType=2\n",
              rdtest::ReadFile(tmp_.Path("rel/quarry.ini")));
    ASSERT_EQ(0, Shell(RDTEST_RDCSM, "-c " + Quote(tmp_.Path("viac")) + " init").status);
    EXPECT_TRUE(rdtest::FileExists(tmp_.Path("viac/rdcsm.db")));

    // A home whose path the platform could not hold is refused, nothing made in it.
    const std::string deep = tmp_.Path(std::string(250, 'd'));
    ran = Shell(RDTEST_RDCSM, "init " + Quote(deep));
    EXPECT_EQ(1, ran.status);
    EXPECT_NE(npos, ran.err.find("cannot be a home: its path must be at most 262 bytes"))
        << ran.err;
    EXPECT_FALSE(rdtest::FileExists(deep + "/quarry.ini"));
    // -c names a folder that is no home.
    ran = Shell(RDTEST_RDCSM, "-c " + Quote(tmp_.Path("none")) + " list");
    EXPECT_EQ(1, ran.status);
    EXPECT_NE(npos, ran.err.find("no readable quarry.ini in")) << ran.err;
    EXPECT_NE(npos, ran.err.find("rdcsm init")) << ran.err;
}

} // namespace
} // namespace rdruntest
