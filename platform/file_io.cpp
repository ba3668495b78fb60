// SPDX-License-Identifier: Apache-2.0
// Plain file access through buffered C streams. A handle is the stream itself,
// so a valid handle is never null. Streams opened by fopen are shared: other
// processes may open the same file for reading and writing at the same time.
#include "rdplat_file.h"

#include <cstdio>
#include <cstring>
#include <sys/types.h>
#include <unistd.h>

namespace {

FILE *Stream(RDFileHandle file) {
    return reinterpret_cast<FILE *>(file);
}

// The runtime mode of an accepted combination of the low four bits, or null
// for a combination that is refused.
const char *AccessMode(uint32_t access) {
    switch (access) {
    case RDFILE_READ:
        return "r";
    case RDFILE_READ | RDFILE_WRITE:
    case RDFILE_WRITE | RDFILE_APPEND:
    case RDFILE_READ | RDFILE_WRITE | RDFILE_APPEND:
        return "r+";
    case RDFILE_WRITE | RDFILE_CREATE:
        return "w";
    case RDFILE_READ | RDFILE_WRITE | RDFILE_CREATE:
        return "w+";
    case RDFILE_WRITE | RDFILE_CREATE | RDFILE_APPEND:
        return "a";
    case RDFILE_READ | RDFILE_WRITE | RDFILE_CREATE | RDFILE_APPEND:
        return "a+";
    default:
        return nullptr;
    }
}

} // namespace

extern "C" {

RD_EXPORT RDFileHandle RDFileOpen(const char *path, uint32_t mode) {
    const char *access = AccessMode(mode & 0x0Fu);
    if (path == nullptr || access == nullptr) return nullptr;
    char runtimeMode[4] = {}; // at most "r+b"
    std::strcpy(runtimeMode, access);
    if ((mode & RDFILE_BINARY) != 0) std::strcat(runtimeMode, "b");
    return reinterpret_cast<RDFileHandle>(std::fopen(path, runtimeMode));
}

RD_EXPORT int RDFileClose(RDFileHandle file) {
    if (file == nullptr) return -1;
    return std::fclose(Stream(file)) == 0 ? 0 : -1;
}

RD_EXPORT uint32_t RDFileRead(RDFileHandle file, uint32_t count, void *buffer) {
    if (file == nullptr || buffer == nullptr) return 0;
    return static_cast<uint32_t>(std::fread(buffer, 1, count, Stream(file)));
}

RD_EXPORT uint32_t RDFileWrite(RDFileHandle file, uint32_t count, const void *data) {
    if (file == nullptr || data == nullptr) return 0;
    return static_cast<uint32_t>(std::fwrite(data, 1, count, Stream(file)));
}

RD_EXPORT int64_t RDFileSeek(RDFileHandle file, int32_t origin, int64_t offset) {
    int whence;
    switch (origin) {
    case RDFILE_SEEK_START:
        whence = SEEK_SET;
        break;
    case RDFILE_SEEK_CURRENT:
        whence = SEEK_CUR;
        break;
    case RDFILE_SEEK_END:
        whence = SEEK_END;
        break;
    default:
        return 0;
    }
    if (file == nullptr) return -1;
    // A refused move (before the start, say) leaves the position where it was;
    // the result is then that unchanged position.
    (void)fseeko(Stream(file), static_cast<off_t>(offset), whence);
    return static_cast<int64_t>(ftello(Stream(file)));
}

RD_EXPORT int RDFileExist(const char *path) {
    return path != nullptr && access(path, F_OK) == 0 ? 1 : 0;
}

RD_EXPORT int RDFileDelete(const char *path) {
    return path != nullptr && unlink(path) == 0 ? 1 : 0;
}

} // extern "C"
