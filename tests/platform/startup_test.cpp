#include "rdplat.h"
#include "rdplat_test.h"
#include "temp_home.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using rdtest::WriteFile;

// Each test runs with PATH pointing at an empty folder and the current
// directory in a folder without quarry.ini, unless it says otherwise.
class Startup : public ::testing::Test {
  protected:
    void SetUp() override {
        const char *path = std::getenv("PATH");
        oldPath_ = path != nullptr ? path : "";
        for (const char *dir : {"bin", "work", "empty", "home", "prog"})
            ASSERT_EQ(mkdir(home.Path(dir).c_str(), 0700), 0);
        setenv("PATH", home.Path("empty").c_str(), 1);
        ASSERT_EQ(chdir(home.Path("work").c_str()), 0);
    }
    void TearDown() override { setenv("PATH", oldPath_.c_str(), 1); }

    void WriteIni(const std::string &dir, const std::string &directory) const {
        WriteFile(home.Path(dir + "/quarry.ini"), "[Configuration]\nDirectory=" + directory + "\n");
    }
    std::string Home() const { return RDFileExeDir(); }

    rdtest::TempHome home;
    std::string oldPath_;
};

TEST_F(Startup, FindsQuarryIniInTheCurrentDirectoryAndAddsTheSlash) {
    WriteIni("work", home.Path("home"));
    EXPECT_EQ(RDPlatInit(nullptr), 0u);
    EXPECT_EQ(Home(), home.Path("home/"));
    RDPlatTerm();
    WriteIni("work", home.Path("home/"));
    EXPECT_EQ(RDPlatInit(""), 0u);
    EXPECT_EQ(Home(), home.Path("home/"));
}

TEST_F(Startup, StartsOnceUntilTerminated) {
    WriteIni("work", home.Path("home"));
    ASSERT_EQ(RDPlatInit(nullptr), 0u);
    ASSERT_EQ(unlink(home.Path("work/quarry.ini").c_str()), 0);
    EXPECT_EQ(RDPlatInit(nullptr), 0u); // no second search
    EXPECT_EQ(Home(), home.Path("home/"));
    EXPECT_EQ(RDPlatTerm(), 0u);
    EXPECT_EQ(Home(), "");
    EXPECT_EQ(RDPlatGetIntlFormat(), nullptr);
    EXPECT_EQ(RDPlatInit(nullptr), RDSTATUS_INIOPEN); // searches afresh
    EXPECT_EQ(Home(), "");
}

TEST_F(Startup, FailuresLeaveThePlatformNotStarted) {
    WriteFile(home.Path("work/quarry.ini"), "[Configuration]\nOther=1\n");
    EXPECT_EQ(RDPlatInit(nullptr), RDSTATUS_INIMISSING);
    EXPECT_EQ(Home(), "");
    WriteFile(home.Path("work/quarry.ini"), "[Configuration]\nDirectory=\n");
    EXPECT_EQ(RDPlatInit(nullptr), RDSTATUS_INIMISSING);
    WriteIni("work", "/" + std::string(RDPLAT_PATH_SIZE, 'd'));
    EXPECT_EQ(RDPlatInit(nullptr), RDSTATUS_INIMISSING);
    EXPECT_EQ(Home(), "");
    ASSERT_EQ(unlink(home.Path("work/quarry.ini").c_str()), 0);
    EXPECT_EQ(RDPlatInit(nullptr), RDSTATUS_INIOPEN);
    EXPECT_EQ(RDPlatInit(home.Path("prog/missing").c_str()), RDSTATUS_INIOPEN);
    EXPECT_EQ(Home(), "");
}

TEST_F(Startup, FindsQuarryIniBesideTheProgramThenOnPath) {
    WriteFile(home.Path("prog/tool"), "");
    WriteIni("prog", home.Path("home"));
    EXPECT_EQ(RDPlatInit(home.Path("prog/tool").c_str()), 0u);
    EXPECT_EQ(Home(), home.Path("home/"));
    RDPlatTerm();

    // A relative program path resolves against the current directory.
    EXPECT_EQ(RDPlatInit("../prog/tool"), 0u);
    EXPECT_EQ(Home(), home.Path("home/"));
    RDPlatTerm();

    ASSERT_EQ(unlink(home.Path("prog/quarry.ini").c_str()), 0);
    WriteIni("bin", home.Path("bin"));
    setenv("PATH", (":" + home.Path("empty") + "::" + home.Path("bin")).c_str(), 1);
    EXPECT_EQ(RDPlatInit(home.Path("prog/tool").c_str()), 0u);
    EXPECT_EQ(Home(), home.Path("bin/"));
}

TEST_F(Startup, WithoutQuarryIniTheProgramDirectoryIsHome) {
    WriteFile(home.Path("prog/tool"), "");
    EXPECT_EQ(RDPlatInit(home.Path("prog/tool").c_str()), 0u);
    EXPECT_EQ(Home(), home.Path("prog/"));
    RDPlatTerm();
    // A bare program name found on PATH.
    setenv("PATH", home.Path("prog").c_str(), 1);
    EXPECT_EQ(RDPlatInit("tool"), 0u);
    EXPECT_EQ(Home(), home.Path("prog/"));
}

TEST_F(Startup, LoadsTheDefaultFormatsAndReportsNoMemory) {
    WriteIni("work", home.Path("home"));
    RDTestMemFailNth(1);
    EXPECT_EQ(RDPlatInit(nullptr), RDSTATUS_NOMEMORY);
    EXPECT_EQ(Home(), "");
    ASSERT_EQ(RDPlatInit(nullptr), 0u);
    const RDIntlFormat *format = RDPlatGetIntlFormat();
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->dateOrder, 1u);
    EXPECT_STREQ(format->currencySymbol, "$");
}

TEST_F(Startup, FindPathWalksTheListInOrder) {
    char out[RDPLAT_PATH_SIZE] = "";
    unsetenv("RD_TEST_DIRS");
    EXPECT_EQ(RDFindPath("RD_TEST_DIRS", out, "f.txt", 0), 0);
    WriteFile(home.Path("bin/f.txt"), "x");
    WriteFile(home.Path("prog/f.txt"), "x");
    const std::string list =
        "::" + home.Path("empty") + ":" + home.Path("bin") + "/:" + home.Path("prog") + ":";
    setenv("RD_TEST_DIRS", list.c_str(), 1);
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
    setenv("RD_TEST_DIRS", ("/" + std::string(400, 'd') + ":" + home.Path("bin")).c_str(), 1);
    EXPECT_EQ(RDFindPath("RD_TEST_DIRS", out, "f.txt", 0), 1);
    EXPECT_EQ(RDFindPath("RD_TEST_DIRS", out, std::string(300, 'f').c_str(), 0), 0);
}

} // namespace
