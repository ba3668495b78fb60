// SPDX-License-Identifier: Apache-2.0
#include "platform_test.h"

namespace {

class IniFile : public ::testing::Test {
  protected:
    std::string Path() const { return home.Path("settings.ini"); }
    std::string Content() const { return ReadFile(Path()); }
    uint32_t Set(const char *section, const char *key, const char *value) const {
        return RDINISetString(section, key, value, Path().c_str());
    }
    // "status:value", read into a buffer full of junk.
    std::string Get(const char *section, const char *key) const {
        char out[RDINI_LINE_MAX + 1] = "junk";
        uint32_t status = RDINIGetString(section, key, out, Path().c_str());
        return std::to_string(status) + ":" + out;
    }
    // The entries of a listing, up to its empty terminator.
    static std::vector<std::string> Entries(const char *list) {
        std::vector<std::string> entries;
        for (const char *p = list; *p != '\0'; p += std::strlen(p) + 1)
            entries.emplace_back(p);
        return entries;
    }
    rdtest::TempHome home;
};

TEST_F(IniFile, RewritesKeepLayoutAndPlaceNewEntries) {
    const std::string unchanged = "[A]\r\nx=1\n\n[B]\ny=2";
    struct Case {
        const char *name, *before, *section, *key, *value, *after; // null: no file
    };
    const Case cases[] = {
        {"missing file gets two lines", nullptr, "S", "k", "v", "[S]\nk=v\n"},
        {"removal from a missing file creates nothing", nullptr, "S", "k", nullptr, nullptr},
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
        {"absent key, first section", unchanged.c_str(), "A", "k", nullptr, unchanged.c_str()},
        {"absent key, last section", unchanged.c_str(), "B", "k", nullptr, unchanged.c_str()},
        {"absent section", unchanged.c_str(), "Missing", "k", nullptr, unchanged.c_str()},
    };
    for (const Case &c : cases) {
        c.before ? WriteFile(Path(), c.before) : (void)unlink(Path().c_str());
        EXPECT_EQ(Set(c.section, c.key, c.value), 0u) << c.name;
        EXPECT_EQ(FileExists(Path()), c.after != nullptr) << c.name;
        EXPECT_EQ(Content(), c.after ? c.after : "") << c.name;
    }
    EXPECT_EQ(RDINIRemoveString("B", "y", Path().c_str()), 0u);
    EXPECT_EQ(Content(), "[A]\r\nx=1\n\n[B]\n");
    EXPECT_FALSE(FileExists(home.Path("settings1.tmp")));
}

TEST_F(IniFile, MatchingRulesOfSectionsAndKeysAndReadingStatuses) {
    WriteFile(Path(), "[CONFIGURATION] trailing text\r\n"
                      "directory =blank\n"
                      "directory=/home/x\r\n"
                      "Flag\n"
                      "Empty=\n"
                      "long=" +
                          std::string(400, 'x') +
                          "\n" // not a line of the format: never cut
                          "[Other]\n"
                          "Directory=wrong\n"
                          "last=end");
    EXPECT_EQ(Get("Configuration", "Directory"), "0:/home/x");
    EXPECT_EQ(Get("Other", "last"), "0:end");
    for (const char *key : {"Flag", "Empty", "Absent", "long"})
        EXPECT_EQ(Get("Configuration", key), "534:") << key;
    EXPECT_EQ(Get("Missing", "Directory"), "534:");
    EXPECT_EQ(RDINIGetString("Configuration", "directory", nullptr, Path().c_str()), 0u);
    EXPECT_EQ(RDINIGetString("A", "k", nullptr, home.Path("none.ini").c_str()), 535u);
}

TEST_F(IniFile, ListingsSkipEmptyAndCommentLinesAndStayInTheirBuffer) {
    WriteFile(Path(), "[A]\nx=1\n\n; note\nplain\n[B]\nfirst=1\nsecond=2\n[C]\n\n; only\n");
    char out[64];
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(RDINIGetString("A", nullptr, out, Path().c_str()), 0u);
    EXPECT_EQ(Entries(out), (std::vector<std::string>{"x=1", "plain"}));
    EXPECT_EQ(RDINIGetSection("A", out, sizeof out, Path().c_str()), 0u);
    EXPECT_EQ(Entries(out), (std::vector<std::string>{"x=1", "plain"}));
    EXPECT_EQ(RDINIGetString("C", "", out, Path().c_str()), 534u);
    EXPECT_EQ(out[0] | out[1], '\0');

    // "first=1\0" fits in 9 bytes with the final NUL; "second=2\0" does not.
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(RDINIGetSection("B", out, 12, Path().c_str()), RDSTATUS_NOFIT);
    EXPECT_EQ(Entries(out), std::vector<std::string>{"first=1"});
    EXPECT_EQ(out[12], 'z');
    EXPECT_EQ(RDINIGetSection("B", out, 1, Path().c_str()), RDSTATUS_NOFIT);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(RDINIGetSection("B", nullptr, 0, Path().c_str()), 0u);
}

TEST_F(IniFile, RefusesTextsThatWouldBreakTheFormat) {
    WriteFile(Path(), "[A]\nx=1\n");
    const std::string longValue(RDINI_LINE_MAX, 'v');
    EXPECT_EQ(Set("A", "k", "two\nlines"), RDSTATUS_INIMISSING);
    EXPECT_EQ(Set("A", "k=j", "v"), RDSTATUS_INIMISSING);
    EXPECT_EQ(Set("A\n[B]", "k", "v"), RDSTATUS_INIMISSING);
    EXPECT_EQ(Set("A", "k", longValue.c_str()), RDSTATUS_INIMISSING);
    // A key line beginning with '[' would read as a section header.
    EXPECT_EQ(Set("A", "[B]", "v"), RDSTATUS_INIMISSING);
    EXPECT_EQ(Set("A", "[", nullptr), RDSTATUS_INIMISSING);
    EXPECT_EQ(Content(), "[A]\nx=1\n");
    EXPECT_EQ(Set("A", "k", longValue.substr(2).c_str()), 0u); // "k=" + 253 is 255
}

TEST_F(IniFile, TemporaryCopyIsNamedBesideTheFile) {
    // A dangling link cannot be opened for reading, so its name is chosen and
    // the exclusive create on it fails: the status shows which name was taken.
    auto dangle = [&](const char *name) {
        return symlink("/nonexistent/target", home.Path(name).c_str()) == 0;
    };
    WriteFile(Path(), "[A]\n");
    ASSERT_TRUE(dangle("settings1.tmp"));
    EXPECT_EQ(Set("A", "k", "v"), RDSTATUS_INICREATE);
    EXPECT_EQ(Content(), "[A]\n");
    unlink(home.Path("settings1.tmp").c_str());
    WriteFile(home.Path("settings1.tmp"), "busy");
    ASSERT_TRUE(dangle("settings2.tmp"));
    EXPECT_EQ(Set("A", "k", "v"), RDSTATUS_INICREATE);
    unlink(home.Path("settings2.tmp").c_str());
    EXPECT_EQ(Set("A", "k", "v"), 0u);
    EXPECT_EQ(ReadFile(home.Path("settings1.tmp")), "busy");

    // A dot in a directory name does not move the copy out of the directory.
    ASSERT_EQ(mkdir(home.Path("conf.d").c_str(), 0700), 0);
    std::string file = home.Path("conf.d/quarry.ini");
    WriteFile(file, "[A]\n");
    ASSERT_TRUE(dangle("conf.d/quarry1.tmp"));
    EXPECT_EQ(RDINISetString("A", "k", "v", file.c_str()), RDSTATUS_INICREATE);
    EXPECT_FALSE(FileExists(home.Path("conf1.tmp")));
}

TEST_F(IniFile, FailingWriteKeepsTheFile) {
    const std::string original = "[A]\n" + std::string(200, ';') + "\n";
    WriteFile(Path(), original);
    EXPECT_EQ(rdtest::InChild([&] {
                  rdtest::LimitFileSize(100); // the rewrite's write fails
                  return Set("A", "k", "v") == RDSTATUS_INIMISSING ? 0 : 1;
              }),
              0)
        << "the rewrite did not report the failed write";
    EXPECT_EQ(Content(), original);
    EXPECT_FALSE(FileExists(home.Path("settings1.tmp")));

    // A file that exists but cannot be read is never replaced.
    ASSERT_EQ(mkdir(home.Path("folder.ini").c_str(), 0700), 0);
    EXPECT_EQ(RDINISetString("A", "k", "v", home.Path("folder.ini").c_str()), RDSTATUS_INIOPEN);
    EXPECT_EQ(RDINIGetString("A", "k", nullptr, home.Path("folder.ini").c_str()), RDSTATUS_INIOPEN);
    EXPECT_FALSE(FileExists(home.Path("folder1.tmp")));
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

TEST_F(IniFile, EveryAllocationFailureGives258AndLeavesTheFileAlone) {
    const std::string path = Path(), temp = home.Path("settings1.tmp");
    const std::string original = "[A]\nx=1\n\n[B]\ny=2\n";
    const struct {
        const char *name, *before, *section, *key, *value; // before null: no file
    } cases[] = {
        {"create", nullptr, "S", "k", "v"},
        {"replace", original.c_str(), "A", "x", "2"},
        {"add", original.c_str(), "A", "k", "v"},
        {"new section", original.c_str(), "C", "k", "v"},
        {"remove", original.c_str(), "B", "y", nullptr},
    };
    for (const auto &c : cases) {
        c.before ? WriteFile(path, c.before) : (void)unlink(path.c_str());
        const int failures = rdtest::ForEachAllocationFailure(
            [&] { return RDINISetString(c.section, c.key, c.value, path.c_str()); },
            [&](uint32_t status) {
                EXPECT_EQ(status, RDSTATUS_NOMEMORY) << c.name;
                EXPECT_EQ(FileExists(path), c.before != nullptr) << c.name;
                EXPECT_EQ(ReadFile(path), c.before ? c.before : "") << c.name;
                EXPECT_FALSE(FileExists(temp)) << c.name;
            });
        EXPECT_GT(failures, 0) << c.name;
    }

    char out[64];
    const auto readFailed = [&](uint32_t status) {
        EXPECT_EQ(status, RDSTATUS_NOMEMORY);
        EXPECT_EQ(out[0], '\0');
    };
    EXPECT_GT(rdtest::ForEachAllocationFailure(
                  [&] { return RDINIGetString("A", "x", out, path.c_str()); }, readFailed),
              0);
    EXPECT_STREQ(out, "1");
    EXPECT_GT(rdtest::ForEachAllocationFailure(
                  [&] { return RDINIGetSection("A", out, sizeof out, path.c_str()); }, readFailed),
              0);
    EXPECT_GT(
        rdtest::ForEachAllocationFailure([&] { return RDINIDelete(path.c_str()) == 1 ? 0u : 1u; },
                                         [&](uint32_t) { EXPECT_TRUE(FileExists(path)); }),
        0);
    EXPECT_FALSE(FileExists(path));
}

TEST_F(IniFile, AFifoIsRefusedWithoutWaitingForAWriter) {
    ASSERT_EQ(mkfifo(Path().c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(home.Path("other1.tmp").c_str(), 0600), 0);
    WriteFile(home.Path("other.ini"), "[A]\n");
    const std::string other = home.Path("other.ini");
    EXPECT_EQ(rdtest::InChild([&] {
                  alarm(10); // a blocked open ends the child by the signal
                  char out[RDINI_LINE_MAX + 1];
                  bool refused =
                      RDINIGetString("A", "k", out, Path().c_str()) == RDSTATUS_INIOPEN &&
                      Set("A", "k", "v") == RDSTATUS_INIOPEN;
                  // A FIFO at a temporary name is taken: the next name is used.
                  bool rewritten = RDINISetString("A", "k", "v", other.c_str()) == 0;
                  return refused && rewritten ? 0 : 1;
              }),
              0);
    struct stat st {};
    EXPECT_TRUE(lstat(Path().c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_EQ(ReadFile(other), "[A]\nk=v\n");
}

TEST_F(IniFile, ALinkedFileIsRewrittenAtItsTargetAndStaysALink) {
    ASSERT_EQ(mkdir(home.Path("real").c_str(), 0700), 0);
    const std::string target = home.Path("real/target.ini");
    WriteFile(target, "[A]\nx=1\n");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(symlink("real/target.ini", Path().c_str()), 0);
    EXPECT_EQ(Set("A", "k", "v"), 0u);
    struct stat st {};
    ASSERT_EQ(lstat(Path().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFile(target), "[A]\nx=1\nk=v\n");
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // The temporary copy is made beside the target: a dangling link planted
    // at its name there shows that the name was taken.
    ASSERT_EQ(symlink("/nonexistent/x", home.Path("real/target1.tmp").c_str()), 0);
    EXPECT_EQ(Set("A", "k", "w"), RDSTATUS_INICREATE);
    EXPECT_EQ(ReadFile(target), "[A]\nx=1\nk=v\n");
    EXPECT_FALSE(FileExists(home.Path("settings1.tmp")));

    // A link that leads nowhere is not replaced by a file of its own.
    const std::string dangling = home.Path("dangling.ini");
    ASSERT_EQ(symlink("real/absent.ini", dangling.c_str()), 0);
    EXPECT_EQ(RDINISetString("A", "k", "v", dangling.c_str()), RDSTATUS_INICREATE);
    EXPECT_FALSE(FileExists(home.Path("real/absent.ini")));
    EXPECT_EQ(lstat(dangling.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // A link made by another user is never followed for writing.
    if (geteuid() == 0) {
        ASSERT_EQ(lchown(Path().c_str(), 65534, 65534), 0);
        EXPECT_EQ(Set("A", "k", "z"), RDSTATUS_INIOPEN);
        EXPECT_EQ(ReadFile(target), "[A]\nx=1\nk=v\n");
        EXPECT_EQ(Get("A", "k"), "0:v") << "reading still follows it";
    }
}

} // namespace
