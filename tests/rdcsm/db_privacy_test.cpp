// SPDX-License-Identifier: Apache-2.0
// The database's files and their folder: whatever another user owns, may
// write or may swap is refused, by the store and by every subcommand, with
// the file and the reason.
#include "rdcsm_test_env.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rdcsmtest {
namespace {

constexpr const char *kSuffixes[] = {"", "-journal", "-wal", "-shm"};

class PrivacyTest : public rdxtest::SystemTest {
  protected:
    // A fresh folder of the home with the mode given.
    std::string Folder(const std::string &name, mode_t mode) {
        const std::string folder = home_.Path(name);
        EXPECT_EQ(0, mkdir(folder.c_str(), 0700));
        EXPECT_EQ(0, chmod(folder.c_str(), mode));
        return folder;
    }
    // Opens the store on path: the refusal's text, empty when it opened.
    static std::string Refusal(const std::string &path) {
        rdcsm::Store store;
        rdcsm::DbError error;
        return store.Open(path, error) ? std::string() : error.message;
    }
    // A database made and closed, so that only the database file is left.
    static void MakeDatabase(const std::string &path) { ASSERT_EQ("", Refusal(path)); }
    // Runs rdcsm on the database with the arguments; its exit status and output.
    int Tool(const std::string &db, const std::string &arguments, std::string &out) {
        // A serve that was not refused would not end by itself.
        const std::string output = home_.Path("tool.out");
        const int status =
            rdtest::Shell("PATH='" + home_.Dir() + "':\"$PATH\" timeout 60 '" + RDCSM_PROGRAM +
                          "' --db '" + db + "' " + arguments + " >'" + output + "' 2>&1");
        out = rdtest::ReadFile(output);
        return status;
    }
};

// The user nobody, when this test may make files of another user (root only).
passwd *Stranger() {
    return geteuid() == 0 ? getpwnam("nobody") : nullptr;
}

void Plant(const std::string &file, mode_t mode, uid_t owner) {
    rdtest::WriteFile(file, "");
    ASSERT_EQ(0, chmod(file.c_str(), mode));
    ASSERT_EQ(0, chown(file.c_str(), owner, static_cast<gid_t>(-1)));
}

::testing::AssertionResult Names(const std::string &refusal, const std::string &file,
                                 const std::string &reason) {
    if (refusal.find(file + ": " + reason) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "\"" << refusal << "\" does not say \"" << file << ": " << reason << "\"";
}

TEST_F(PrivacyTest, AFileOthersMayWriteIsRefusedOneOnlyReadableIsMadePrivate) {
    const std::string db = Folder("own", 0700) + "/rdcsm.db";
    MakeDatabase(db);
    for (const char *suffix : kSuffixes) {
        const std::string file = db + suffix;
        if (*suffix != '\0') rdtest::WriteFile(file, "");
        for (mode_t mode : {0666, 0620, 0602}) {
            ASSERT_EQ(0, chmod(file.c_str(), mode));
            EXPECT_TRUE(Names(Refusal(db), file, "others may write to it")) << std::oct << mode;
        }
        ASSERT_EQ(0, chmod(file.c_str(), 0644));
        if (*suffix != '\0') continue;
        EXPECT_EQ("", Refusal(db));
        struct stat info {};
        ASSERT_EQ(0, stat(file.c_str(), &info));
        EXPECT_EQ(0600u, info.st_mode & 0777);
    }
}

TEST_F(PrivacyTest, ALinkOrASecondNameIsRefused) {
    const std::string folder = Folder("links", 0700);
    const std::string db = folder + "/rdcsm.db";
    MakeDatabase(db);
    rdtest::WriteFile(folder + "/elsewhere", "");
    ASSERT_EQ(0, chmod((folder + "/elsewhere").c_str(), 0600));
    ASSERT_EQ(0, symlink("elsewhere", (db + "-wal").c_str()));
    EXPECT_TRUE(Names(Refusal(db), db + "-wal", "not a regular file"));
    ASSERT_EQ(0, unlink((db + "-wal").c_str()));
    ASSERT_EQ(0, link(db.c_str(), (folder + "/copy").c_str()));
    EXPECT_TRUE(Names(Refusal(db), db, "has another name (a hard link)"));
    ASSERT_EQ(0, unlink((folder + "/copy").c_str()));
    EXPECT_EQ("", Refusal(db));
}

TEST_F(PrivacyTest, AFolderOthersMayWriteNeedsTheStickyBit) {
    for (mode_t mode : {0777, 0770, 0703}) {
        const std::string folder = Folder("open" + std::to_string(mode), mode);
        EXPECT_TRUE(Names(Refusal(folder + "/rdcsm.db"), folder,
                          "others may write in this folder, which has no sticky bit"))
            << std::oct << mode;
        EXPECT_FALSE(rdtest::FileExists(folder + "/rdcsm.db"));
    }
    // With the sticky bit nobody else may remove or rename the user's files.
    const std::string sticky = Folder("sticky", 01777);
    EXPECT_EQ("", Refusal(sticky + "/rdcsm.db"));
    EXPECT_EQ("", Refusal(sticky + "/rdcsm.db"));
}

TEST_F(PrivacyTest, EveryFileOfAnotherUserIsRefusedEvenToRoot) {
    passwd *stranger = Stranger();
    if (stranger == nullptr) GTEST_SKIP() << "needs root and the user nobody to own files";
    const std::string folder = Folder("sticky", 01777);
    const std::string db = folder + "/rdcsm.db";
    for (const char *suffix : kSuffixes) {
        const std::string file = db + suffix;
        if (*suffix != '\0') MakeDatabase(db);
        // Private to its owner, who may give it back to everyone at any time.
        Plant(file, 0600, stranger->pw_uid);
        EXPECT_TRUE(Names(Refusal(db), file, "belongs to another user")) << suffix;
        ASSERT_EQ(0, unlink(file.c_str()));
    }
    // A folder of another user, who may swap any file in it.
    const std::string theirs = Folder("theirs", 0700);
    ASSERT_EQ(0, chown(theirs.c_str(), stranger->pw_uid, static_cast<gid_t>(-1)));
    EXPECT_TRUE(Names(Refusal(theirs + "/rdcsm.db"), theirs, "the folder belongs to another user"));
}

// Another user creates the log of a database in a shared folder before the
// victim defines a password, keeps it open and reads it afterwards.
TEST_F(PrivacyTest, ALogPlantedByAnotherUserIsRefusedAndLearnsNothing) {
    passwd *stranger = Stranger();
    if (stranger == nullptr) GTEST_SKIP() << "needs root and the user nobody to plant a file";
    ASSERT_EQ(0, chmod(home_.Dir().c_str(), 0711));
    const std::string db = Folder("shared", 01777) + "/rdcsm.db";
    int planted[2], done[2];
    ASSERT_EQ(0, pipe(planted));
    ASSERT_EQ(0, pipe(done));
    const pid_t spy = rdtest::Spawn([&] {
        if (setresgid(stranger->pw_gid, stranger->pw_gid, stranger->pw_gid) != 0 ||
            setresuid(stranger->pw_uid, stranger->pw_uid, stranger->pw_uid) != 0)
            return 3;
        const int log = open((db + "-wal").c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
        if (log < 0 || fchmod(log, 0666) != 0) return 4;
        char byte = 0;
        if (write(planted[1], &byte, 1) != 1 || read(done[0], &byte, 1) != 1) return 5;
        char seen[65536];
        const ssize_t got = pread(log, seen, sizeof seen, 0);
        return std::string(seen, got > 0 ? got : 0).find("sesame") == std::string::npos ? 0 : 6;
    });
    char byte = 0;
    ASSERT_EQ(1, read(planted[0], &byte, 1));
    rdtest::WriteFile(home_.Path("job.toml"),
                      "[link.db]\nconnector = \"x\"\n0x10003 = \"sesame\"\n");
    std::string out;
    EXPECT_NE(0, Tool(db, "define '" + home_.Path("job.toml") + "'", out));
    EXPECT_TRUE(Names(out, db + "-wal", "belongs to another user"));
    EXPECT_NE(0, Tool(db, "serve", out));
    EXPECT_TRUE(Names(out, db + "-wal", "belongs to another user"));
    ASSERT_EQ(1, write(done[1], &byte, 1));
    EXPECT_EQ(0, rdtest::WaitExit(spy));
    for (int fd : {planted[0], planted[1], done[0], done[1]})
        close(fd);
}

TEST_F(PrivacyTest, EverySubcommandThatOpensTheDatabaseRefuses) {
    const std::string folder = Folder("open", 0777);
    for (const char *arguments :
         {"list", "export", "show x", "log x", "stats x", "run x", "serve"}) {
        std::string out;
        EXPECT_EQ(1, Tool(folder + "/rdcsm.db", arguments, out)) << arguments;
        EXPECT_TRUE(Names(out, folder, "others may write in this folder")) << arguments;
    }
}

} // namespace
} // namespace rdcsmtest
