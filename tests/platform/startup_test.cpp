// SPDX-License-Identifier: Apache-2.0
#include "platform_test.h"

namespace {

// Each test runs with PATH pointing at an empty folder and the current
// directory in a folder without quarry.ini, unless it says otherwise.
class Startup : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char *dir : {"bin", "work", "empty", "home", "prog"})
            ASSERT_EQ(mkdir(home.Path(dir).c_str(), 0700), 0);
        ASSERT_EQ(chdir(home.Path("work").c_str()), 0);
        WriteFile(home.Path("prog/tool"), "");
    }
    void WriteIni(const std::string &dir, const std::string &directory) const {
        WriteFile(home.Path(dir + "/quarry.ini"), "[Configuration]\nDirectory=" + directory + "\n");
    }
    // The home directory after a start from program, then terminated.
    std::string Start(const char *program, uint32_t status = 0) {
        EXPECT_EQ(RDPlatInit(program), status) << (program ? program : "null");
        std::string dir = RDFileExeDir();
        RDPlatTerm();
        return dir;
    }
    rdtest::TempHome home;
    rdtest::ScopedEnv path{"PATH", home.Path("empty").c_str()};
};

TEST_F(Startup, FindsQuarryIniInTheCurrentDirectoryAndStartsOnce) {
    WriteIni("work", home.Path("home/"));
    EXPECT_EQ(Start(""), home.Path("home/")); // the slash is not doubled
    WriteIni("work", home.Path("home"));
    ASSERT_EQ(RDPlatInit(nullptr), 0u);
    ASSERT_EQ(unlink(home.Path("work/quarry.ini").c_str()), 0);
    EXPECT_EQ(RDPlatInit(nullptr), 0u); // no second search
    EXPECT_EQ(std::string(RDFileExeDir()), home.Path("home/"));
    EXPECT_EQ(RDPlatTerm(), 0u);
    EXPECT_STREQ(RDFileExeDir(), "");
    EXPECT_EQ(RDPlatGetIntlFormat(), nullptr);
    EXPECT_EQ(Start(nullptr, RDSTATUS_INIOPEN), ""); // searches afresh
}

TEST_F(Startup, FailuresLeaveThePlatformNotStarted) {
    for (const std::string &ini : {std::string("Other=1"), std::string("Directory="),
                                   "Directory=/" + std::string(RDPLAT_PATH_SIZE, 'd')}) {
        WriteFile(home.Path("work/quarry.ini"), "[Configuration]\n" + ini + "\n");
        EXPECT_EQ(Start(nullptr, RDSTATUS_INIMISSING), "") << ini.substr(0, 20);
    }
    ASSERT_EQ(unlink(home.Path("work/quarry.ini").c_str()), 0);
    EXPECT_EQ(Start(nullptr, RDSTATUS_INIOPEN), "");
    EXPECT_EQ(Start(home.Path("prog/missing").c_str(), RDSTATUS_INIOPEN), "");
    WriteIni("work", home.Path("home"));
    RDTestMemFailNth(1);
    EXPECT_EQ(Start(nullptr, RDSTATUS_NOMEMORY), "");
    ASSERT_EQ(RDPlatInit(nullptr), 0u);
    EXPECT_NE(RDPlatGetIntlFormat(), nullptr) << "the default formats are loaded";
}

TEST_F(Startup, FindsQuarryIniBesideTheProgramThenOnPathElseUsesTheProgramDirectory) {
    EXPECT_EQ(Start(home.Path("prog/tool").c_str()), home.Path("prog/"));
    WriteIni("prog", home.Path("home"));
    EXPECT_EQ(Start(home.Path("prog/tool").c_str()), home.Path("home/"));
    EXPECT_EQ(Start("../prog/tool"), home.Path("home/")); // relative to the current directory
    ASSERT_EQ(unlink(home.Path("prog/quarry.ini").c_str()), 0);
    WriteIni("bin", home.Path("bin"));
    std::string list = ":";
    list += home.Path("empty") + "::" + home.Path("bin");
    path.Set(list.c_str());
    EXPECT_EQ(Start(home.Path("prog/tool").c_str()), home.Path("bin/"));
    path.Set(home.Path("prog").c_str()); // a bare program name found on PATH
    EXPECT_EQ(Start("tool"), home.Path("prog/"));
}

TEST_F(Startup, FindPathWalksTheListInOrder) {
    char out[RDPLAT_PATH_SIZE] = "";
    rdtest::ScopedEnv dirs("RD_TEST_DIRS", nullptr);
    EXPECT_EQ(RDFindPath("RD_TEST_DIRS", out, "f.txt", 0), 0);
    WriteFile(home.Path("bin/f.txt"), "x");
    WriteFile(home.Path("prog/f.txt"), "x");
    dirs.Set(("::" + home.Path("empty") + ":" + home.Path("bin") + "/:" + home.Path("prog") + ":")
                 .c_str());
    EXPECT_EQ(RDFindPath("RD_TEST_DIRS", out, "f.txt", 0), 1);
    EXPECT_STREQ(out, home.Path("bin/").c_str());
    EXPECT_EQ(RDFindPath("RD_TEST_DIRS", out, "none.txt", 0), 0);
    EXPECT_STREQ(out, home.Path("prog/").c_str()); // the last directory tried

    if (geteuid() != 0) { // root may write any file: no file is read-only for it
        EXPECT_EQ(RDFindPath("RD_TEST_DIRS", out, "f.txt", 1), 0);
        chmod(home.Path("prog/f.txt").c_str(), 0444);
        EXPECT_EQ(RDFindPath("RD_TEST_DIRS", out, "f.txt", 1), 1);
        EXPECT_STREQ(out, home.Path("prog/").c_str());
    }
    // Over-long elements and names are skipped, never copied past the buffer.
    dirs.Set(("/" + std::string(400, 'd') + ":" + home.Path("bin")).c_str());
    EXPECT_EQ(RDFindPath("RD_TEST_DIRS", out, "f.txt", 0), 1);
    EXPECT_EQ(RDFindPath("RD_TEST_DIRS", out, std::string(300, 'f').c_str(), 0), 0);
}

TEST_F(Startup, EveryAllocationFailureGives258AndLeavesThePlatformNotStarted) {
    WriteIni("work", home.Path("home"));
    const std::string program = home.Path("prog/tool");
    const std::pair<const char *, std::string> starts[] = {
        {nullptr, home.Path("home/")},         // through quarry.ini
        {program.c_str(), home.Path("prog/")}, // the program's own directory
    };
    for (const auto &[start, expected] : starts) {
        EXPECT_GT(rdtest::ForEachAllocationFailure([&] { return RDPlatInit(start); },
                                                   [](uint32_t status) {
                                                       EXPECT_EQ(status, RDSTATUS_NOMEMORY);
                                                       EXPECT_STREQ(RDFileExeDir(), "");
                                                   }),
                  0);
        EXPECT_EQ(std::string(RDFileExeDir()), expected);
        RDPlatTerm();
    }
}

} // namespace
