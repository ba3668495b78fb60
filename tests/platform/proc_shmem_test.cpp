// SPDX-License-Identifier: Apache-2.0
// Shared memory between records and between processes.
#include "platform_test.h"

#include <fcntl.h>
#include <sys/mman.h>

namespace {

// A name of this test process, so that parallel runs differ.
std::string Name(char tag) {
    return tag + std::to_string(getpid() % 10000000);
}

bool IsFilledWith(const RDProcShmem &record, int byte) {
    RDProcShmem pattern;
    std::memset(&pattern, byte, sizeof pattern);
    return std::memcmp(&record, &pattern, sizeof record) == 0;
}

std::string ObjectPath(const std::string &name) {
    return "/dev/shm/rdx-" + std::to_string(getuid()) + "-" + name;
}

bool ObjectExists(const std::string &name) {
    return access(ObjectPath(name).c_str(), F_OK) == 0;
}

TEST(ProcShmem, NamesOfNineCharactersFitAndBadArgumentsLeaveTheRecordAlone) {
    const std::string nine = (Name('n') + "xxxxxxxx").substr(0, 9), ten = nine + "y";
    RDProcShmem record;
    std::memset(&record, 0xAB, sizeof record);
    for (const char *name : {ten.c_str(), static_cast<const char *>(nullptr)}) {
        EXPECT_EQ(RDProcShmemCreate(64, name, &record), 525u);
        EXPECT_EQ(RDProcShmemMap(64, name, &record), nullptr);
    }
    EXPECT_EQ(RDProcShmemMap(0, nine.c_str(), &record), nullptr);
    EXPECT_EQ(RDProcShmemCreate(0, nine.c_str(), &record), 525u);
    EXPECT_TRUE(IsFilledWith(record, 0xAB));
    ASSERT_EQ(RDProcShmemCreate(64, nine.c_str(), &record), 0u);
    EXPECT_STREQ(record.name, nine.c_str());
    EXPECT_EQ(RDProcShmemGetSize(&record), 64u);
    EXPECT_EQ(record.view, nullptr); // creating maps nothing
    EXPECT_EQ(fcntl(RDPROC_SHMEM_FD(record.mapping), F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_TRUE(ObjectExists(nine)); // named after the user
    EXPECT_EQ(RDProcShmemDestroy(&record), 0u);
    EXPECT_TRUE(IsFilledWith(record, 0));
    EXPECT_FALSE(ObjectExists(nine));
    EXPECT_EQ(RDProcShmemMap(64, nine.c_str(), &record), nullptr); // removed
    EXPECT_EQ(record.mapping, 0u);
}

TEST(ProcShmem, SizeZeroLeavesALiveRecordToItsDestroy) {
    const std::string name = Name('z');
    RDProcShmem record;
    ASSERT_EQ(RDProcShmemCreate(64, name.c_str(), &record), 0u);
    const RDProcShmem live = record;
    EXPECT_EQ(RDProcShmemCreate(0, name.c_str(), &record), 525u);
    EXPECT_EQ(std::memcmp(&record, &live, sizeof record), 0);
    EXPECT_EQ(RDProcShmemDestroy(&record), 0u);
    EXPECT_FALSE(ObjectExists(name)); // the creator still removed it
}

// An object that another user put under the caller's name first: the
// caller must not share it, and must not remove it either.
TEST(ProcShmem, ObjectsOthersOwnOrMayWriteAreRefused) {
    const std::string name = Name('f');
    struct Case {
        mode_t mode;
        uid_t owner;
    };
    std::vector<Case> cases = {{0666, geteuid()}, {0620, geteuid()}};
    if (geteuid() == 0) cases.push_back({0600, 65534});
    for (const Case &c : cases) {
        int fd = open(ObjectPath(name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, 4096) | fchmod(fd, c.mode) | fchown(fd, c.owner, -1), 0);
        close(fd);
        RDProcShmem record;
        EXPECT_EQ(RDProcShmemCreate(4096, name.c_str(), &record), 525u) << std::oct << c.mode;
        EXPECT_EQ(record.mapping, 0u);
        EXPECT_EQ(RDProcShmemMap(4096, name.c_str(), &record), nullptr);
        EXPECT_EQ(record.mapping, 0u);
        EXPECT_EQ(RDProcShmemDestroy(&record), 0u);
        EXPECT_TRUE(ObjectExists(name));
        unlink(ObjectPath(name).c_str());
    }
    // Nor is a link planted under the name followed.
    std::string target = ObjectPath(name + "t");
    close(open(target.c_str(), O_RDWR | O_CREAT, 0600));
    ASSERT_EQ(symlink(target.c_str(), ObjectPath(name).c_str()), 0);
    RDProcShmem record;
    EXPECT_EQ(RDProcShmemCreate(4096, name.c_str(), &record), 525u);
    EXPECT_EQ(RDProcShmemMap(1, name.c_str(), &record), nullptr);
    unlink(ObjectPath(name).c_str());
    unlink(target.c_str());
}

TEST(ProcShmem, SecondCreateReports526AndOnlyTheCreatorRemovesTheName) {
    const std::string name = Name('d');
    RDProcShmem creator, second, user;
    ASSERT_EQ(RDProcShmemCreate(4096, name.c_str(), &creator), 0u);
    ASSERT_EQ(RDProcShmemCreate(4096, name.c_str(), &second), 526u);
    void *direct =
        mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, RDPROC_SHMEM_FD(second.mapping), 0);
    ASSERT_NE(direct, MAP_FAILED);
    auto *view = static_cast<char *>(RDProcShmemMap(4096, name.c_str(), &user));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view[4095], 0); // created zero-filled
    std::strcpy(static_cast<char *>(direct), "through the second handle");
    EXPECT_STREQ(view, "through the second handle");
    munmap(direct, 4096);
    EXPECT_EQ(RDProcShmemDestroy(&second), 0u);
    EXPECT_EQ(RDProcShmemUnmap(&user), 0u);
    EXPECT_EQ(user.view, nullptr); // a second unmap has nothing to undo
    EXPECT_EQ(RDProcShmemDestroy(&user), 0u);
    EXPECT_EQ(RDProcShmemMap(4097, name.c_str(), &user), nullptr); // would fault beyond the end
    EXPECT_NE(user.mapping, 0u);                                   // the name is still there
    close(RDPROC_SHMEM_FD(user.mapping));
    EXPECT_EQ(RDProcShmemDestroy(&user), 527u);
    EXPECT_TRUE(IsFilledWith(user, 0));
    EXPECT_EQ(RDProcShmemDestroy(&creator), 0u);
}

TEST(ProcShmem, OneProcessWritesAndAnotherReads) {
    const std::string name = Name('p');
    RDProcShmem creator, mine;
    ASSERT_EQ(RDProcShmemCreate(256, name.c_str(), &creator), 0u);
    auto *view = static_cast<char *>(RDProcShmemMap(256, name.c_str(), &mine));
    ASSERT_NE(view, nullptr);
    std::strcpy(view, "from the parent");
    EXPECT_EQ(rdtest::InChild([&] {
                  RDProcShmem theirs;
                  auto *seen = static_cast<char *>(RDProcShmemMap(256, name.c_str(), &theirs));
                  if (seen == nullptr || std::strcmp(seen, "from the parent") != 0) return 1;
                  std::strcpy(seen + 128, "from the child");
                  return RDProcShmemUnmap(&theirs) == 0 && RDProcShmemDestroy(&theirs) == 0 ? 0 : 2;
              }),
              0);
    EXPECT_STREQ(view + 128, "from the child");
    RDProcShmemUnmap(&mine);
    RDProcShmemDestroy(&mine);
    RDProcShmemDestroy(&creator);
}

} // namespace
