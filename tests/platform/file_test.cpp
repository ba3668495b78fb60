// SPDX-License-Identifier: Apache-2.0
#include "platform_test.h"

#include <set>

namespace {

// Opens path with mode, writes "XY" and closes; returns whether it opened.
bool OpenAndWrite(const std::string &path, uint32_t mode) {
    RDFileHandle file = RDFileOpen(path.c_str(), mode);
    if (file == nullptr) return false;
    RDFileWrite(file, 2, "XY");
    return RDFileClose(file) == 0;
}

TEST(FileOpen, EveryModeOnAnExistingAndAMissingFile) {
    // Content afterwards of an existing "abc" and of a missing file; null when
    // the open fails (and nothing is created).
    const struct {
        uint32_t mode;
        const char *existing, *missing;
    } cases[] = {{1, "abc", nullptr},    {3, "XYc", nullptr},    {10, "XYc", nullptr},
                 {11, "XYc", nullptr},   {6, "XY", "XY"},        {7, "XY", "XY"},
                 {14, "abcXY", "XY"},    {15, "abcXY", "XY"},    {6 | 0x10, "XY", "XY"},
                 {0, nullptr, nullptr},  {2, nullptr, nullptr},  {4, nullptr, nullptr},
                 {5, nullptr, nullptr},  {8, nullptr, nullptr},  {9, nullptr, nullptr},
                 {12, nullptr, nullptr}, {13, nullptr, nullptr}, {2 | 0x10, nullptr, nullptr}};
    rdtest::TempHome home;
    std::string existing = home.Path("existing"), missing = home.Path("missing");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        WriteFile(existing, "abc");
        EXPECT_EQ(OpenAndWrite(existing, c.mode), c.existing != nullptr);
        EXPECT_EQ(ReadFile(existing), c.existing ? c.existing : "abc");
        EXPECT_EQ(OpenAndWrite(missing, c.mode), c.missing != nullptr);
        EXPECT_EQ(FileExists(missing), c.missing != nullptr);
        EXPECT_EQ(ReadFile(missing), c.missing ? c.missing : "");
        RDFileDelete(missing.c_str());
    }
}

TEST(FileIo, ReadSeekExistDeleteAndNullHandles) {
    rdtest::TempHome home;
    std::string path = home.Path("f");
    WriteFile(path, "0123456789");
    RDFileHandle file = RDFileOpen(path.c_str(), RDFILE_READ | RDFILE_BINARY);
    ASSERT_NE(file, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(RDFileSeek(file, RDFILE_SEEK_END, 0), 10);
    EXPECT_EQ(RDFileSeek(file, RDFILE_SEEK_START, 2), 2);
    EXPECT_EQ(RDFileSeek(file, RDFILE_SEEK_CURRENT, 3), 5);
    EXPECT_EQ(RDFileSeek(file, 4, 1), 0);                   // unknown origin: no move
    EXPECT_EQ(RDFileSeek(file, RDFILE_SEEK_START, -1), 5);  // refused move
    EXPECT_EQ(RDFileRead(file, sizeof buffer, buffer), 5u); // short read at the end
    EXPECT_STREQ(buffer, "56789");
    EXPECT_EQ(RDFileClose(file), 0);
    EXPECT_EQ(RDFileClose(nullptr), -1);
    EXPECT_EQ(RDFileRead(nullptr, 4, buffer) + RDFileWrite(nullptr, 2, "ab"), 0u);
    EXPECT_EQ(RDFileSeek(nullptr, RDFILE_SEEK_END, 0), -1);

    EXPECT_EQ(RDFileExist(home.Dir().c_str()), 1);
    EXPECT_EQ(RDFileDelete(home.Dir().c_str()), 0); // directories are not deleted
    EXPECT_EQ(RDFileDelete(path.c_str()), 1);
    EXPECT_EQ(RDFileExist(path.c_str()), 0);
}

TEST(Directory, MkDirCreatesMissingPartsWithin260Characters) {
    rdtest::TempHome home;
    ASSERT_EQ(RDMkDir(home.Path("a").c_str()), 1);
    EXPECT_EQ(RDMkDir(home.Path("a/b/c").c_str()), 1);
    EXPECT_EQ(RDMkDir(home.Path("a/b/c/").c_str()), 1); // repeated, trailing '/'
    EXPECT_EQ(RDFileExist(home.Path("a/b/c").c_str()), 1);
    WriteFile(home.Path("file"), "x");                    // nothing can be created under a file
    EXPECT_EQ(RDMkDir(home.Path("file/x").c_str()), 0);   // the final directory
    EXPECT_EQ(RDMkDir(home.Path("file/x/y").c_str()), 0); // a middle one
    EXPECT_EQ(RDMkDir(nullptr) + RDMkDir(""), 0);

    std::string base = home.Path("m/");
    std::string fits = base + std::string(260 - base.size(), 'x');
    EXPECT_EQ(RDMkDir((fits + "y").c_str()), 0);
    EXPECT_FALSE(FileExists(base)); // refused before creating anything
    EXPECT_EQ(RDMkDir(fits.c_str()), 1);
    EXPECT_TRUE(FileExists(fits));
}

TEST(Directory, GetAndSetTheCurrentDirectory) {
    rdtest::TempHome home;
    EXPECT_EQ(RDFileSetDir(nullptr) + RDFileSetDir("") + RDFileSetDir("/none/x"), 0);
    EXPECT_EQ(RDFileSetDir(home.Dir().c_str()), 1);
    char buffer[RDPLAT_PATH_SIZE];
    EXPECT_EQ(RDFileGetDir(nullptr, 10) + RDFileGetDir(buffer, 0), 0);
    EXPECT_EQ(RDFileGetDir(buffer, sizeof buffer), 1);
    EXPECT_EQ(std::string(buffer) + "/", home.Dir());
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(RDFileGetDir(buffer, 4), 1); // too small: empty, nothing beyond
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(buffer[4], '#');
}

TEST(FileList, StatusesInTheirOrder) {
    char name[RDFILE_NAME_SIZE] = "keep";
    auto *const sentinel = reinterpret_cast<RDListHandle>(&name);
    RDListHandle listing = sentinel;
    for (const char *pattern : {"*.RDX", "*.rdx ", "*", static_cast<const char *>(nullptr)})
        EXPECT_EQ(RDFileListFirst(pattern, name, nullptr), RDSTATUS_BADPATTERN);
    EXPECT_EQ(RDFileListFirst("*.rdx", name, nullptr), RDSTATUS_NULLARG2);
    EXPECT_EQ(RDFileListNext(name, nullptr) + RDFileListClose(nullptr), 2 * RDSTATUS_NOLISTHANDLE);
    EXPECT_STREQ(name, "keep");
    // Without a started platform there is no home directory to list.
    EXPECT_EQ(RDFileListFirst("*.rdx", name, &listing), RDSTATUS_NOENTRY);
    EXPECT_EQ(listing, nullptr);

    rdtest::TempHome home;
    ASSERT_EQ(home.StartPlatform(), 0u);
    std::strcpy(name, "keep");
    listing = sentinel;
    EXPECT_EQ(RDFileListFirst("*.rdx", name, &listing), RDSTATUS_NOENTRY);
    EXPECT_STREQ(name, "");
    WriteFile(home.Path("a.rdx"), "");
    RDTestMemFailNth(1);
    EXPECT_EQ(RDFileListFirst("*.rdx", name, &listing), RDSTATUS_NOMEMORY);
    EXPECT_EQ(RDTestMemFailPending(), 0);
    EXPECT_EQ(listing, nullptr);
}

TEST(FileList, ListsEveryNameEndingInRdx) {
    rdtest::TempHome home;
    ASSERT_EQ(home.StartPlatform(), 0u);
    for (const char *file : {"a.rdx", "b.rdx", ".hidden.rdx", "x.txt", "y.rdxx", "Z.RDX", "rdx"})
        WriteFile(home.Path(file), "");
    ASSERT_EQ(RDMkDir(home.Path("c.rdx").c_str()), 1); // listed whatever its kind
    std::multiset<std::string> names;
    char name[RDFILE_NAME_SIZE];
    RDListHandle listing = nullptr;
    ASSERT_EQ(RDFileListFirst("*.rdx", name, &listing), RDSTATUS_OK);
    do
        names.insert(name);
    while (RDFileListNext(name, listing) == RDSTATUS_OK);
    EXPECT_EQ(names, (std::multiset<std::string>{".hidden.rdx", "a.rdx", "b.rdx", "c.rdx"}));
    EXPECT_EQ(RDFileListNext(name, listing), RDSTATUS_NOENTRY);
    EXPECT_EQ(RDFileListClose(listing), RDSTATUS_OK);
}

} // namespace
