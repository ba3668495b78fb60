#include "rdplat.h"
#include "temp_home.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using rdtest::FileExists;
using rdtest::ReadFile;
using rdtest::WriteFile;

class IniFile : public ::testing::Test {
  protected:
    std::string Path() const { return home.Path("settings.ini"); }
    void Write(const std::string &content) const { WriteFile(Path(), content); }
    std::string Content() const { return ReadFile(Path()); }
    uint32_t Set(const char *section, const char *key, const char *value) const {
        return RDINISetString(section, key, value, Path().c_str());
    }
    std::string Get(const char *section, const char *key, uint32_t *status = nullptr) const {
        char out[RDINI_LINE_MAX + 1] = "junk";
        uint32_t s = RDINIGetString(section, key, out, Path().c_str());
        if (status != nullptr) *status = s;
        return out;
    }
    // The entries of a listing, up to its empty terminator.
    static std::vector<std::string> Entries(const char *list) {
        std::vector<std::string> entries;
        for (const char *p = list; *p != '\0'; p += std::string(p).size() + 1)
            entries.emplace_back(p);
        return entries;
    }

    rdtest::TempHome home;
};

TEST_F(IniFile, SettingInAMissingFileCreatesTwoLinesAndRemovingCreatesNothing) {
    EXPECT_EQ(Set("S", "k", nullptr), 0u);
    EXPECT_FALSE(FileExists(Path()));
    EXPECT_EQ(Set("S", "k", "v"), 0u);
    EXPECT_EQ(Content(), "[S]\nk=v\n");
}

TEST_F(IniFile, RewritesKeepLayoutAndPlaceNewEntries) {
    struct Case {
        const char *name, *before, *section, *key, *value, *after;
    };
    const Case cases[] = {
        {"new section appended", "[A]\nx=1\n", "B", "k", "v", "[A]\nx=1\n\n[B]\nk=v\n"},
        {"existing key replaced in place, caller's spelling, header kept",
         "[sect]\n\nKEY=old\n; c\n\n[T]\n", "SECT", "key", "new",
         "[sect]\n\nkey=new\n; c\n\n[T]\n"},
        {"new key after last non-empty line", "[A]\nx=1\n\n\n[B]\ny=2\n", "A", "k", "v",
         "[A]\nx=1\nk=v\n\n\n[B]\ny=2\n"},
        {"new key at end of last section", "[A]\nx=1\n\n", "A", "k", "v", "[A]\nx=1\nk=v\n\n"},
        {"removal drops only the line", "[A]\n\nk=1\nz=2\n", "A", "k", nullptr, "[A]\n\nz=2\n"},
        {"last line without line feed is kept", "[A]\nx=1", "A", "k", "v", "[A]\nx=1\nk=v\n"},
        {"CRLF lines keep their ends", "[A]\r\nx=1\r\n[B]\r\n", "A", "k", "v",
         "[A]\r\nx=1\r\nk=v\n[B]\r\n"},
        {"blank line is an ordinary line", "[A]\n  \n[B]\n", "A", "k", "v", "[A]\n  \nk=v\n[B]\n"},
    };
    for (const Case &c : cases) {
        Write(c.before);
        EXPECT_EQ(Set(c.section, c.key, c.value), 0u) << c.name;
        EXPECT_EQ(Content(), c.after) << c.name;
    }
    EXPECT_FALSE(FileExists(home.Path("settings1.tmp")));
}

TEST_F(IniFile, RemovingAnAbsentKeyLeavesTheFileByteForByte) {
    const std::string original = "[A]\r\nx=1\n\n[B]\ny=2";
    for (const char *section : {"A", "B", "Missing"}) {
        Write(original);
        EXPECT_EQ(RDINIRemoveString(section, "k", Path().c_str()), 0u) << section;
        EXPECT_EQ(Content(), original) << section;
    }
    EXPECT_FALSE(FileExists(home.Path("settings1.tmp")));
}

TEST_F(IniFile, MatchingRulesOfSectionsAndKeys) {
    Write("[CONFIGURATION] trailing text\n"
          "directory =blank\n"
          "directory=/home/x\n"
          "Flag\n"
          "Empty=\n"
          "[Other]\n"
          "Directory=wrong\n");
    EXPECT_EQ(Get("Configuration", "Directory"), "/home/x");
    uint32_t status = 0;
    EXPECT_EQ(Get("Configuration", "Flag", &status), "");
    EXPECT_EQ(status, RDSTATUS_INIMISSING);
    EXPECT_EQ(RDINIGetString("Configuration", "Empty", nullptr, Path().c_str()), 534u);
    EXPECT_EQ(RDINIGetString("Configuration", "directory", nullptr, Path().c_str()), 0u);
    EXPECT_EQ(RDINIGetString("Configuration", "Absent", nullptr, Path().c_str()), 534u);
    EXPECT_EQ(RDINIGetString("Missing", "Directory", nullptr, Path().c_str()), 534u);
    EXPECT_EQ(RDINIGetString("A", "k", nullptr, home.Path("none.ini").c_str()), 535u);
}

TEST_F(IniFile, ReadingToleratesCrlfLongLinesAndAMissingFinalLineFeed) {
    Write("[A]\r\nk=crlf\r\nlong=" + std::string(400, 'x') + "\nlast=end");
    EXPECT_EQ(Get("A", "k"), "crlf");
    uint32_t status = 0;
    EXPECT_EQ(Get("A", "long", &status), ""); // not a line of the format: never cut
    EXPECT_EQ(status, RDSTATUS_INIMISSING);
    EXPECT_EQ(Get("A", "last"), "end");
}

TEST_F(IniFile, ListingSkipsEmptyAndCommentLines) {
    Write("[A]\nx=1\n\n; note\nplain\n[B]\ny=2\n");
    char out[64];
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(RDINIGetString("A", nullptr, out, Path().c_str()), 0u);
    EXPECT_EQ(Entries(out), (std::vector<std::string>{"x=1", "plain"}));
    EXPECT_EQ(RDINIGetSection("A", out, sizeof out, Path().c_str()), 0u);
    EXPECT_EQ(Entries(out), (std::vector<std::string>{"x=1", "plain"}));

    Write("[A]\n\n; only a comment\n");
    EXPECT_EQ(RDINIGetString("A", "", out, Path().c_str()), 534u);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(out[1], '\0');
}

TEST_F(IniFile, BoundedListingNeverWritesPastItsBuffer) {
    Write("[A]\nfirst=1\nsecond=2\n");
    char out[16];
    std::memset(out, 'z', sizeof out);
    // "first=1\0" fits in 9 bytes with the final NUL; "second=2\0" does not.
    EXPECT_EQ(RDINIGetSection("A", out, 12, Path().c_str()), RDSTATUS_NOFIT);
    EXPECT_EQ(Entries(out), std::vector<std::string>{"first=1"});
    EXPECT_EQ(out[12], 'z');
    EXPECT_EQ(RDINIGetSection("A", out, 1, Path().c_str()), RDSTATUS_NOFIT);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(RDINIGetSection("A", nullptr, 0, Path().c_str()), 0u);
}

TEST_F(IniFile, RefusesTextsThatWouldBreakTheFormat) {
    Write("[A]\nx=1\n");
    const std::string longValue(RDINI_LINE_MAX, 'v');
    EXPECT_EQ(Set("A", "k", "two\nlines"), RDSTATUS_INIMISSING);
    EXPECT_EQ(Set("A", "k=j", "v"), RDSTATUS_INIMISSING);
    EXPECT_EQ(Set("A\n[B]", "k", "v"), RDSTATUS_INIMISSING);
    EXPECT_EQ(Set("A", "k", longValue.c_str()), RDSTATUS_INIMISSING);
    EXPECT_EQ(Content(), "[A]\nx=1\n");
    EXPECT_EQ(Set("A", "k", longValue.substr(2).c_str()), 0u); // "k=" + 253 is 255
}

TEST_F(IniFile, TemporaryCopyIsNamedBesideTheFile) {
    // A dangling link is a name that cannot be opened for reading, so it is
    // chosen, and the exclusive create on it fails: the status shows which
    // name was taken.
    Write("[A]\n");
    ASSERT_EQ(symlink("/nonexistent/target", home.Path("settings1.tmp").c_str()), 0);
    EXPECT_EQ(Set("A", "k", "v"), RDSTATUS_INICREATE);
    EXPECT_EQ(Content(), "[A]\n");
    unlink(home.Path("settings1.tmp").c_str());
    WriteFile(home.Path("settings1.tmp"), "busy");
    ASSERT_EQ(symlink("/nonexistent/target", home.Path("settings2.tmp").c_str()), 0);
    EXPECT_EQ(Set("A", "k", "v"), RDSTATUS_INICREATE);
    unlink(home.Path("settings2.tmp").c_str());
    EXPECT_EQ(Set("A", "k", "v"), 0u);
    EXPECT_EQ(ReadFile(home.Path("settings1.tmp")), "busy");

    // A dot in a directory name does not move the copy out of the directory.
    ASSERT_EQ(mkdir(home.Path("conf.d").c_str(), 0700), 0);
    std::string file = home.Path("conf.d/quarry.ini");
    WriteFile(file, "[A]\n");
    ASSERT_EQ(symlink("/nonexistent", home.Path("conf.d/quarry1.tmp").c_str()), 0);
    EXPECT_EQ(RDINISetString("A", "k", "v", file.c_str()), RDSTATUS_INICREATE);
    EXPECT_FALSE(FileExists(home.Path("conf1.tmp")));
}

TEST_F(IniFile, FailingWriteKeepsTheFile) {
    const std::string original = "[A]\n" + std::string(200, ';') + "\n";
    Write(original);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Files may not grow past 100 bytes: the rewrite's write fails.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(Set("A", "k", "v") == RDSTATUS_INIMISSING ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the rewrite did not report the failed write";
    EXPECT_EQ(Content(), original);
    EXPECT_FALSE(FileExists(home.Path("settings1.tmp")));
}

TEST_F(IniFile, NamesWithoutDirectoryResolveAgainstTheHomeDirectory) {
    ASSERT_EQ(chdir(home.Dir().c_str()), 0);
    EXPECT_EQ(RDINISetString("A", "k", "cwd", "plain.ini"), 0u); // not started: current dir
    EXPECT_EQ(ReadFile(home.Path("plain.ini")), "[A]\nk=cwd\n");
    ASSERT_EQ(mkdir(home.Path("home").c_str(), 0700), 0);
    WriteFile(home.Path("quarry.ini"), "[Configuration]\nDirectory=" + home.Path("home") + "\n");
    ASSERT_EQ(RDPlatInit(nullptr), 0u);
    EXPECT_EQ(RDINISetString("A", "k", "home", "plain.ini"), 0u);
    EXPECT_EQ(ReadFile(home.Path("home/plain.ini")), "[A]\nk=home\n");
    EXPECT_EQ(RDINIDelete("plain.ini"), 1);
    EXPECT_EQ(RDINIDelete("plain.ini"), 0);
    EXPECT_TRUE(FileExists(home.Path("plain.ini")));

    const std::string tooLong = "/" + std::string(1100, 'd') + "/x.ini";
    EXPECT_EQ(RDINIGetString("A", "k", nullptr, tooLong.c_str()), RDSTATUS_INIOPEN);
    EXPECT_EQ(RDINISetString("A", "k", "v", tooLong.c_str()), RDSTATUS_INICREATE);
    EXPECT_EQ(RDINIDelete(tooLong.c_str()), 0);
}

} // namespace
