// SPDX-License-Identifier: Apache-2.0
// The default pipe folder: one per home directory under $XDG_RUNTIME_DIR or
// /tmp, every folder on the way private, and refusals that name the folder.
#include "ipc_test_util.h"

#include <dirent.h>
#include <pwd.h>

namespace {

using namespace ipctest;

std::vector<std::string> Entries(const std::string &folder) {
    std::vector<std::string> names;
    if (DIR *dir = opendir(folder.c_str())) {
        while (dirent *entry = readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.push_back(folder + "/" + entry->d_name);
        closedir(dir);
    }
    return names;
}

mode_t ModeOf(const std::string &path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

std::string FolderError() {
    char text[512];
    return RDIPCFolderError(text, sizeof text) != 0 ? text : "";
}

// Two homes of one user, no RD_PIPE_DIR, and a runtime folder of the test's.
class IpcFolder : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(mkdir(runtime_.c_str(), 0700), 0); }

    // Ends the platform and starts it again in home.
    static void Enter(const rdtest::TempHome &home) {
        RDPlatTerm();
        ASSERT_EQ(home.StartPlatform(), 0u);
    }
    // The homes' folders made so far.
    std::vector<std::string> HomeFolders() const { return Entries(runtime_ + "/rdx"); }

    // Server, client and look-up are all refused, and the refusal names the
    // folder, the reason and the way out.
    static ::testing::AssertionResult Refused(const std::string &folder, const std::string &why) {
        RDIPCHandle server = RDIPCCreate("p");
        const std::string text = FolderError();
        RDIPCClose(server);
        if (server != nullptr) return ::testing::AssertionFailure() << "created in " << folder;
        if (RDIPCOpen("p", 0) != nullptr || RDIPCExists("p", 0) != 0)
            return ::testing::AssertionFailure() << "a client got through " << folder;
        for (const std::string &part :
             {"the pipe folder " + folder + " ", why, std::string("set RD_PIPE_DIR")})
            if (text.find(part) == std::string::npos)
                return ::testing::AssertionFailure() << "'" << part << "' missing in: " << text;
        return ::testing::AssertionSuccess();
    }

    rdtest::TempHome a_, b_;
    std::string runtime_ = a_.Path("run");
    rdtest::ScopedEnv noChoice_{"RD_PIPE_DIR", nullptr};
    rdtest::ScopedEnv runtimeEnv_{"XDG_RUNTIME_DIR", runtime_.c_str()};
};

TEST_F(IpcFolder, EachHomeHasAFolderOfItsOwn) {
    Enter(a_);
    RDIPCHandle serverA = RDIPCCreate("p");
    ASSERT_NE(serverA, nullptr);
    Enter(b_);
    EXPECT_EQ(RDIPCExists("p", 0), 0); // the other home's server is not seen
    EXPECT_EQ(RDIPCOpen("p", 0), nullptr);
    RDIPCHandle serverB = RDIPCCreate("p");
    ASSERT_NE(serverB, nullptr);
    EXPECT_EQ(ModeOf(runtime_ + "/rdx"), S_IFDIR | 0700);
    const std::vector<std::string> folders = HomeFolders();
    ASSERT_EQ(folders.size(), 2u);
    for (const std::string &folder : folders) {
        EXPECT_EQ(ModeOf(folder), S_IFDIR | 0700) << folder;
        EXPECT_TRUE(S_ISSOCK(ModeOf(folder + "/p"))) << folder;
    }

    // Each home's client reaches its own home's server.
    const auto reaches = [](RDIPCHandle server, const std::string &text) {
        RDIPCHandle client = RDIPCOpen("p", 0);
        bool sent = Send(client, text);
        RDIPCClose(client);
        bool read =
            sent && RDIPCWaitForConnection(server) == server && ReadWhole(server, 64) == text;
        RDIPCDisconnect(server);
        return read;
    };
    EXPECT_TRUE(reaches(serverB, "to b"));
    Enter(a_);
    EXPECT_TRUE(reaches(serverA, "to a"));

    // Another spelling of the first home (a link, trailing slashes) is the
    // same home and so the same folder.
    ASSERT_EQ(symlink(a_.Dir().c_str(), b_.Path("alias").c_str()), 0);
    ASSERT_EQ(mkdir(b_.Path("via").c_str(), 0700), 0);
    WriteFile(b_.Path("via/quarry.ini"), "[Configuration]\nDirectory=" + b_.Path("alias//") + "\n");
    RDPlatTerm();
    ASSERT_EQ(chdir(b_.Path("via").c_str()), 0);
    ASSERT_EQ(RDPlatInit(nullptr), 0u);
    EXPECT_TRUE(reaches(serverA, "through the alias"));
    EXPECT_EQ(HomeFolders().size(), 2u);
    RDIPCClose(serverA);
    RDIPCClose(serverB);
}

TEST_F(IpcFolder, EveryFolderOnTheWayIsPrivateAndARefusalNamesIt) {
    Enter(a_);
    EXPECT_EQ(RDIPCOpen("p", 0), nullptr); // a client never makes a folder
    EXPECT_FALSE(FileExists(runtime_ + "/rdx"));
    EXPECT_EQ(FolderError(), ""); // nor is a missing folder a refusal
    mode_t old = umask(0222);     // would leave folders made with mkdir alone unwritable
    RDIPCHandle server = RDIPCCreate("p");
    umask(old);
    ASSERT_NE(server, nullptr);
    RDIPCClose(server);
    ASSERT_EQ(HomeFolders().size(), 1u);
    const std::string leaf = HomeFolders()[0];
    for (const std::string &folder : {runtime_ + "/rdx", leaf}) {
        SCOPED_TRACE(folder);
        EXPECT_EQ(ModeOf(folder), S_IFDIR | 0700);
        for (mode_t mode : {0720, 0702}) {
            ASSERT_EQ(chmod(folder.c_str(), mode), 0);
            EXPECT_TRUE(Refused(folder, "can be written by others"));
        }
        ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
        if (geteuid() == 0 && getpwnam("nobody") != nullptr) {
            ASSERT_EQ(chown(folder.c_str(), getpwnam("nobody")->pw_uid, 0), 0);
            EXPECT_TRUE(Refused(folder, "belongs to another user"));
            ASSERT_EQ(chown(folder.c_str(), 0, 0), 0);
        }
        // A link to a private folder of the user's is not followed either.
        ASSERT_EQ(rename(folder.c_str(), (folder + ".real").c_str()), 0);
        ASSERT_EQ(symlink((folder + ".real").c_str(), folder.c_str()), 0);
        EXPECT_TRUE(Refused(folder, "symbolic link"));
        ASSERT_EQ(unlink(folder.c_str()), 0);
        ASSERT_EQ(rename((folder + ".real").c_str(), folder.c_str()), 0);
    }
    server = RDIPCCreate("p");
    EXPECT_NE(server, nullptr);
    EXPECT_EQ(FolderError(), ""); // a usable folder clears the last refusal
    RDIPCClose(server);

    // The text is cut to the caller's buffer; its whole length is returned.
    ASSERT_EQ(chmod(leaf.c_str(), 0777), 0);
    EXPECT_EQ(RDIPCCreate("p"), nullptr);
    char small[8];
    EXPECT_EQ(RDIPCFolderError(small, sizeof small), FolderError().size());
    EXPECT_STREQ(small, "the pip");
}

TEST_F(IpcFolder, APathLongerThanASocketAddressIsRefusedWithTheReason) {
    const std::string deep = a_.Path(std::string(90, 'r'));
    ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    runtimeEnv_.Set(deep.c_str());
    Enter(a_);
    EXPECT_EQ(RDIPCCreate("p"), nullptr);
    EXPECT_NE(FolderError().find("longer than a socket address"), std::string::npos)
        << FolderError();
    EXPECT_NE(FolderError().find("RD_PIPE_DIR"), std::string::npos);
}

// Without a runtime folder the homes' folders are in /tmp; a process
// without a home directory uses the folder above them.
TEST_F(IpcFolder, WithoutARuntimeFolderTheHomesFoldersAreInTmp) {
    const std::string base = "/tmp/rdpipe-" + std::to_string(geteuid());
    const std::string name = "rdtest-" + std::to_string(getpid());
    const auto homeFolderOf = [&]() {
        RDIPCHandle server = RDIPCCreate(name.c_str());
        std::vector<std::string> holding;
        for (const std::string &folder : Entries(base))
            if (S_ISSOCK(ModeOf(folder + "/" + name))) holding.push_back(folder);
        RDIPCClose(server);
        return holding.size() == 1 ? holding[0] : "";
    };
    runtimeEnv_.Set(nullptr);
    Enter(a_);
    const std::string folder = homeFolderOf();
    ASSERT_NE(folder, "");
    EXPECT_EQ(ModeOf(folder), S_IFDIR | 0700);
    runtimeEnv_.Set("run/relative"); // not an absolute path: not used
    EXPECT_EQ(homeFolderOf(), folder);
    EXPECT_FALSE(FileExists(folder + "/" + name)); // the last instance removed it
    rmdir(folder.c_str());

    RDPlatTerm();
    RDIPCHandle server = RDIPCCreate(name.c_str());
    EXPECT_TRUE(S_ISSOCK(ModeOf(base + "/" + name)));
    RDIPCClose(server);
    runtimeEnv_.Set(runtime_.c_str());
    server = RDIPCCreate(name.c_str());
    EXPECT_TRUE(S_ISSOCK(ModeOf(runtime_ + "/rdx/" + name)));
    RDIPCClose(server);
}

} // namespace
