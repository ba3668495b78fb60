// SPDX-License-Identifier: Apache-2.0
#include "platform_test.h"

#include <algorithm>

namespace {

const std::string kAppKey = "[Software\\Orvale\\Components\\App]";

// "status:value", read into a buffer full of junk so that a missing clear or
// a missing NUL shows.
std::string Read(const char *component, const char *name, uint32_t size = 256) {
    std::string out(size + 1, 'J');
    uint32_t status = RDRegistryGetString(component, name, out.data(), size);
    return std::to_string(status) + ":" + out.substr(0, out.find('\0'));
}

class Registry : public ::testing::Test {
  protected:
    rdtest::TempHome home;
    std::string file = home.Path("registry");
};

TEST_F(Registry, KeysAndValuesFollowTheirStatuses) {
    EXPECT_EQ(Read("App", "Path"), "538:");
    EXPECT_FALSE(FileExists(file) || FileExists(file + ".lock")) << "reading never writes";
    ASSERT_EQ(RDRegistrySetString("App", "Path", "/opt/app"), 0u);
    ASSERT_EQ(RDRegistrySetString("APP", "path", "/usr/app"), 0u);
    EXPECT_EQ(Read("aPp", "PATH"), "0:/usr/app") << "names ignore case";
    EXPECT_EQ(ReadFile(file).find("/opt/app"), std::string::npos);
    EXPECT_EQ(Read("App", "Other"), "539:");
    EXPECT_EQ(Read("Other", "Path"), "538:");

    EXPECT_EQ(RDRegistryRemoveString("App", "Path"), 0u);
    EXPECT_EQ(RDRegistrySetString("App", "Other", ""), RDSTATUS_REGVALUE) << "empty data deletes";
    EXPECT_EQ(Read("App", "Path"), "539:") << "the key stays";
    EXPECT_EQ(RDRegistryRemoveString("Fresh", "v"), RDSTATUS_REGVALUE);
    EXPECT_EQ(Read("Fresh", "v"), "539:") << "removing creates the key";

    ASSERT_EQ(RDRegistrySetString("Deep\\Sub", "v", "1"), 0u);
    EXPECT_EQ(Read("Deep", "v"), "539:") << "a parent of a stored key exists";
    EXPECT_EQ(Read("Dee", "v"), "538:");
    EXPECT_NE(ReadFile(file).find("[Software\\Orvale\\Components\\Deep\\Sub]\n"),
              std::string::npos);
}

TEST_F(Registry, LeadingBackslashIsTheWholePathOnlyForReading) {
    ASSERT_EQ(RDRegistrySetString("App", "v", "data"), 0u);
    EXPECT_EQ(Read("\\Software\\Orvale\\Components\\App\\", "v"), "0:data");
    EXPECT_EQ(Read("\\Software", "v"), "539:");
    EXPECT_EQ(Read("\\App", "v"), "538:");
    EXPECT_EQ(Read(nullptr, "v"), "538:");
    std::string before = ReadFile(file);
    for (const char *component : {"\\Software\\Other", "A\\\\B", "bad\nname", (const char *)0})
        EXPECT_EQ(RDRegistrySetString(component, "v", "x"), RDSTATUS_REGKEY);
    EXPECT_EQ(ReadFile(file), before);
}

TEST_F(Registry, KeyPathsAreLimitedTo511BytesAsGiven) {
    std::string fits(511 - std::strlen("Software\\Orvale\\Components\\"), 'c');
    EXPECT_EQ(RDRegistrySetString(fits.c_str(), "v", "1"), 0u);
    EXPECT_EQ(RDRegistrySetString((fits + "c").c_str(), "v", "1"), RDSTATUS_REGKEY);
    EXPECT_EQ(Read((fits + "\\").c_str(), "v"), "538:") << "same key, one byte too long";
    std::string absolute = "\\Software\\Orvale\\Components\\" + fits;
    EXPECT_EQ(Read(absolute.c_str(), "v"), "0:1");
    EXPECT_EQ(Read((absolute + "\\").c_str(), "v"), "538:");
}

TEST_F(Registry, TooSmallOutputIs539AndStaysEmpty) {
    ASSERT_EQ(RDRegistrySetString("App", "v", "hello"), 0u);
    EXPECT_EQ(Read("App", "v", 5), "539:");
    EXPECT_EQ(Read("App", "v", 6), "0:hello");
    char out[4] = "JJJ";
    EXPECT_EQ(RDRegistryGetString("App", "v", out, 0), RDSTATUS_REGVALUE);
    EXPECT_STREQ(out, "JJJ") << "size 0 leaves the buffer alone";
    EXPECT_EQ(RDRegistryGetString("App", "v", nullptr, 0), 0u);
}

TEST_F(Registry, AwkwardNamesAndDataKeepToOneLineEach) {
    const std::pair<std::string, std::string> values[] = {
        {"a=b", "C:\\dir\\"}, {"[x", "[data]"},    {";y", "; text"},     {"", "default"},
        {"n\nl", "1\n2\r\n"}, {"c", "\x01\x7f\t"}, {"e\\", "\\n \\x41"},
    };
    for (auto &[name, data] : values)
        ASSERT_EQ(RDRegistrySetString("App", name.c_str(), data.c_str()), 0u);
    for (auto &[name, data] : values)
        EXPECT_EQ(Read("App", name.c_str()), "0:" + data) << name;
    std::string text = ReadFile(file);
    ASSERT_NE(text.find(kAppKey), std::string::npos);
    std::string entries = text.substr(text.find(kAppKey));
    EXPECT_EQ(std::count(entries.begin(), entries.end(), '\n'), 1 + std::ssize(values)) << text;
}

TEST_F(Registry, DamagedFilesReadSafelyAndRewritesKeepForeignLines) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "538:"},
        {"[", "538:"},
        {"v=1\n[Software\\Orvale\\Comp", "538:"},
        {kAppKey + "\r\nv=crlf\r\n", "0:crlf"},
        {kAppKey + "\nv=cut\\x4", "0:cut\\x4"},
        {kAppKey + "\nv=end\\", "0:end\\"},
        {kAppKey + "\nbroken\n[other]\nv=elsewhere", "539:"},
        {std::string("\0\xff[\0]\n", 6) + kAppKey + "\nv=a\0b", "0:a"},
        {"[software\\orvale\\components\\app\\]\nv=lower\n", "0:lower"},
    };
    for (auto &[content, expected] : cases) {
        WriteFile(file, content);
        EXPECT_EQ(Read("App", "v"), expected) << content;
        EXPECT_EQ(ReadFile(file), content);
    }
    WriteFile(file, "; comment\n" + kAppKey + "\nbroken line\nv=1\n");
    ASSERT_EQ(RDRegistrySetString("App", "w", "2"), 0u);
    EXPECT_EQ(ReadFile(file), "; comment\n\n" + kAppKey + "\nbroken line\nv=1\nw=2\n");
}

TEST_F(Registry, FailedWritesLeaveTheOldFileWhole) {
    setenv("RD_REGISTRY", home.Path("new/dir/registry").c_str(), 1);
    ASSERT_EQ(RDRegistrySetString("App", "v", "old"), 0u) << "missing folders are made";
    file = home.Path("new/dir/registry");
    std::string before = ReadFile(file);

    ASSERT_EQ(mkdir((file + ".tmp").c_str(), 0700), 0); // the temporary file cannot be made
    EXPECT_EQ(RDRegistrySetString("App", "v", "new"), RDSTATUS_REGVALUE);
    EXPECT_EQ(RDRegistrySetString("NewKey", "v", "new"), RDSTATUS_REGKEY);
    EXPECT_EQ(ReadFile(file), before);
    rmdir((file + ".tmp").c_str());

    EXPECT_EQ(rdtest::InChild([] { // a size limit breaks the write halfway, also for root
                  rdtest::LimitFileSize(4096);
                  return RDRegistrySetString("App", "v", std::string(65536, 'x').c_str()) % 256;
              }),
              static_cast<int>(RDSTATUS_REGVALUE % 256));
    EXPECT_EQ(ReadFile(file), before);
    EXPECT_FALSE(FileExists(file + ".tmp"));

    WriteFile(home.Path("plain"), "x"); // the folder cannot be made
    setenv("RD_REGISTRY", home.Path("plain/registry").c_str(), 1);
    EXPECT_EQ(RDRegistrySetString("App", "v", "new"), RDSTATUS_REGKEY);
}

TEST_F(Registry, TwoProcessesWritingAtOnceKeepEveryValue) {
    constexpr int kRounds = 100;
    const std::string names[] = {"first", "second"};
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    pid_t children[2];
    for (int i = 0; i < 2; ++i)
        children[i] = rdtest::Spawn([&, i] {
            char go;
            close(start[1]);
            int failures = read(start[0], &go, 1) < 0; // both start when the pipe closes
            for (int round = 0; round < kRounds; ++round) {
                std::string data = std::to_string(round), name = names[i];
                failures += RDRegistrySetString("Race", (name + data).c_str(), data.c_str()) != 0;
                failures += RDRegistrySetString("Race", name.c_str(), data.c_str()) != 0;
            }
            return failures;
        });
    close(start[0]);
    close(start[1]);
    for (pid_t child : children)
        EXPECT_EQ(rdtest::WaitExit(child), 0);
    for (const std::string &name : names) {
        EXPECT_EQ(Read("Race", name.c_str()), "0:" + std::to_string(kRounds - 1));
        for (int i = 0; i < kRounds; ++i)
            ASSERT_EQ(Read("Race", (name + std::to_string(i)).c_str()), "0:" + std::to_string(i));
    }
}

TEST_F(Registry, EveryAllocationFailureGives538AndLeavesTheFileAlone) {
    const std::string temp = file + ".tmp";
    const struct {
        const char *name, *component, *value, *data;
    } cases[] = {
        {"first value, no file", "App", "v", "1"}, {"new value", "App", "w", "2"},
        {"changed value", "App", "v", "3"},        {"new key", "Other\\Sub", "v", "4"},
        {"removal", "App", "w", nullptr},
    };
    for (const auto &c : cases) {
        const bool existed = FileExists(file);
        const std::string before = ReadFile(file);
        const int failures = rdtest::ForEachAllocationFailure(
            [&] { return RDRegistrySetString(c.component, c.value, c.data); },
            [&](uint32_t status) {
                EXPECT_EQ(status, RDSTATUS_REGKEY) << c.name;
                EXPECT_EQ(FileExists(file), existed) << c.name;
                EXPECT_EQ(ReadFile(file), before) << c.name;
                EXPECT_FALSE(FileExists(temp)) << c.name;
            });
        EXPECT_GT(failures, 0) << c.name;
    }
    char out[16] = "";
    EXPECT_GT(rdtest::ForEachAllocationFailure(
                  [&] { return RDRegistryGetString("App", "v", out, sizeof out); },
                  [&](uint32_t status) {
                      EXPECT_EQ(status, RDSTATUS_REGKEY);
                      EXPECT_STREQ(out, "");
                  }),
              0);
    EXPECT_STREQ(out, "3");
}

TEST_F(Registry, PlantedLinksAndFifosAreNeverFollowedOrWaitedFor) {
    ASSERT_EQ(RDRegistrySetString("App", "v", "1"), 0u);
    // A link at the temporary file's name: its target keeps content and mode.
    const std::string victim = home.Path("victim");
    WriteFile(victim, "precious");
    ASSERT_EQ(chmod(victim.c_str(), 0644), 0);
    ASSERT_EQ(symlink(victim.c_str(), (file + ".tmp").c_str()), 0);
    EXPECT_EQ(RDRegistrySetString("App", "v", "2"), 0u);
    EXPECT_EQ(Read("App", "v"), "0:2");
    EXPECT_EQ(ReadFile(victim), "precious");
    struct stat st {};
    ASSERT_EQ(stat(victim.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_FALSE(FileExists(file + ".tmp"));

    // A link at the lock's name: nothing is created at its target.
    const std::string planted = home.Path("planted");
    ASSERT_EQ(unlink((file + ".lock").c_str()), 0);
    ASSERT_EQ(symlink(planted.c_str(), (file + ".lock").c_str()), 0);
    EXPECT_EQ(RDRegistrySetString("App", "v", "3"), RDSTATUS_REGKEY);
    EXPECT_FALSE(FileExists(planted));
    EXPECT_EQ(Read("App", "v"), "0:2");
    ASSERT_EQ(unlink((file + ".lock").c_str()), 0);

    // A FIFO in place of the registry or of its lock.
    const std::string before = ReadFile(file);
    EXPECT_EQ(rdtest::InChild([&] {
                  alarm(10); // a blocked open ends the child by the signal
                  if (mkfifo((file + ".lock").c_str(), 0600) != 0) return 2;
                  int failures = RDRegistrySetString("App", "v", "4") != RDSTATUS_REGKEY;
                  unlink((file + ".lock").c_str());
                  if (rename(file.c_str(), (file + ".saved").c_str()) != 0 ||
                      mkfifo(file.c_str(), 0600) != 0)
                      return 2;
                  char out[8];
                  failures += RDRegistryGetString("App", "v", out, sizeof out) != RDSTATUS_REGKEY;
                  failures += RDRegistrySetString("App", "v", "5") != RDSTATUS_REGKEY;
                  unlink(file.c_str());
                  rename((file + ".saved").c_str(), file.c_str());
                  return failures;
              }),
              0);
    EXPECT_EQ(ReadFile(file), before);
}

} // namespace
