// SPDX-License-Identifier: Apache-2.0
// Shared memory: POSIX shared-memory objects named after the user and the
// caller's short name, mapped with MAP_SHARED. The mapping handle holds the
// descriptor + 1 shifted left by one, with bit 0 set when the record created
// the object: only the creator removes the name on destroy. /dev/shm is open
// to every user and the names are predictable, so an object found under a
// name is used only when it is the user's own and nobody else may write it.
#include "rdplat_proc.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uintptr_t kCreatorBit = 1;

// The object's name: each user has names of their own.
struct ObjectName {
    char text[64];
    explicit ObjectName(const char *name) {
        std::snprintf(text, sizeof text, "/rdx-%u-%s", static_cast<unsigned>(getuid()), name);
    }
};

bool NameFits(const char *name) {
    return name != nullptr && strnlen(name, RDPROC_SHMEM_NAME_SIZE) < RDPROC_SHMEM_NAME_SIZE;
}

uintptr_t ToHandle(int fd, bool creator) {
    return ((static_cast<uintptr_t>(fd) + 1) << 1) | (creator ? kCreatorBit : 0);
}

int FromHandle(uintptr_t mapping) {
    uintptr_t stored = mapping >> 1;
    return stored >= 1 && stored <= static_cast<uintptr_t>(INT_MAX) ? static_cast<int>(stored - 1)
                                                                    : -1;
}

// Clears the record and stores size and name (which fits).
void StartRecord(RDProcShmem *shmem, uint32_t size, const char *name) {
    *shmem = RDProcShmem{};
    shmem->size = size;
    std::memcpy(shmem->name, name, std::strlen(name) + 1);
}

// shm_open marks its descriptors close-on-exec; these handles are meant to
// be inherited by child processes. A symbolic link in place of the object is
// never followed.
int OpenObject(const char *name, int flags) {
    int fd = shm_open(ObjectName(name).text, flags | O_NOFOLLOW, 0600);
    if (fd >= 0) fcntl(fd, F_SETFD, 0);
    return fd;
}

// True for a plain object of the calling user that no one else may write:
// one a stranger created first could be read or changed by the stranger.
bool OwnObject(int fd, struct stat &info) {
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Opens an object that exists already, with info describing it; -1 when it
// is missing or not the user's own.
int OpenExisting(const char *name, struct stat &info) {
    int fd = OpenObject(name, O_RDWR);
    if (fd < 0 || OwnObject(fd, info)) return fd;
    close(fd);
    return -1;
}

// Gives the new object its size with every page reserved now, so that a
// shortage shows here rather than as a fault when the view is touched.
bool Reserve(int fd, uint32_t size) {
    return posix_fallocate(fd, 0, size) == 0;
}

} // namespace

extern "C" {

RD_EXPORT uint32_t RDProcShmemCreate(uint32_t size, const char *name, RDProcShmem *shmem) {
    if (!NameFits(name) || shmem == nullptr || size == 0) return RDSTATUS_SHMEMCREATE;
    StartRecord(shmem, size, name);
    int fd = OpenObject(name, O_RDWR | O_CREAT | O_EXCL);
    if (fd >= 0) {
        if (!Reserve(fd, size)) {
            shm_unlink(ObjectName(name).text);
            close(fd);
            return RDSTATUS_SHMEMCREATE;
        }
        shmem->mapping = ToHandle(fd, true);
        return RDSTATUS_OK;
    }
    if (errno != EEXIST) return RDSTATUS_SHMEMCREATE;
    struct stat info;
    fd = OpenExisting(name, info);
    if (fd < 0) return RDSTATUS_SHMEMCREATE;
    shmem->mapping = ToHandle(fd, false);
    return RDSTATUS_SHMEMEXISTS;
}

RD_EXPORT void *RDProcShmemMap(uint32_t size, const char *name, RDProcShmem *shmem) {
    if (shmem == nullptr || size == 0 || !NameFits(name)) return nullptr;
    StartRecord(shmem, size, name);
    struct stat info;
    int fd = OpenExisting(name, info);
    if (fd < 0) return nullptr;
    shmem->mapping = ToHandle(fd, false);
    // Touching a view beyond the object's end would fault, so a view larger
    // than the object is refused.
    if (info.st_size < static_cast<off_t>(size)) return nullptr;
    void *view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) return nullptr;
    shmem->view = view;
    return view;
}

RD_EXPORT uint32_t RDProcShmemUnmap(RDProcShmem *shmem) {
    if (shmem == nullptr || shmem->view == nullptr) return RDSTATUS_OK;
    munmap(shmem->view, shmem->size);
    // Unmapping the same address twice could remove whatever was mapped
    // there in the meantime.
    shmem->view = nullptr;
    return RDSTATUS_OK;
}

RD_EXPORT uint32_t RDProcShmemDestroy(RDProcShmem *shmem) {
    if (shmem == nullptr) return RDSTATUS_OK;
    RDProcShmem record = *shmem;
    *shmem = RDProcShmem{};
    if (record.mapping == 0) return RDSTATUS_OK;
    if ((record.mapping & kCreatorBit) != 0 && NameFits(record.name))
        shm_unlink(ObjectName(record.name).text);
    return close(FromHandle(record.mapping)) == 0 ? RDSTATUS_OK : RDSTATUS_SHMEMDESTROY;
}

RD_EXPORT uint32_t RDProcShmemGetSize(const RDProcShmem *shmem) {
    return shmem == nullptr ? 0 : shmem->size;
}

} // extern "C"
