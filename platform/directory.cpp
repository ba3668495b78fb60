// SPDX-License-Identifier: Apache-2.0
// Directory creation and the process's current directory.
#include "rdplat_file.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Longest path RDMkDir accepts; its copy lives in a buffer one byte larger.
constexpr size_t kMkDirMax = 260;

bool Exists(const char *path) {
    return access(path, F_OK) == 0;
}

// Creates one directory unless something of that name already exists; a
// directory made meanwhile by another process counts as success.
bool MakeOne(const char *path) {
    if (Exists(path)) return true;
    return mkdir(path, 0777) == 0 || (errno == EEXIST && Exists(path));
}

} // namespace

extern "C" {

RD_EXPORT int RDMkDir(const char *path) {
    if (path == nullptr) return 0;
    size_t length = strnlen(path, kMkDirMax + 1);
    if (length == 0 || length > kMkDirMax) return 0;
    char buffer[kMkDirMax + 1];
    std::memcpy(buffer, path, length + 1);
    // The first character is never a separator of its own: a leading '/' is
    // the root, not a component to create.
    for (char *cut = std::strchr(buffer + 1, '/'); cut != nullptr;
         cut = std::strchr(cut + 1, '/')) {
        *cut = '\0';
        bool made = MakeOne(buffer);
        *cut = '/';
        if (!made) return 0;
    }
    return MakeOne(buffer) ? 1 : 0;
}

RD_EXPORT int RDFileGetDir(char *buffer, uint32_t length) {
    if (buffer == nullptr || length == 0) return 0;
    // The result stays 1 when the directory cannot be told or does not fit;
    // the buffer then holds an empty text rather than leftovers.
    if (getcwd(buffer, length) == nullptr) buffer[0] = '\0';
    return 1;
}

RD_EXPORT int RDFileSetDir(const char *path) {
    if (path == nullptr || *path == '\0') return 0;
    return chdir(path) == 0 ? 1 : 0;
}

} // extern "C"
