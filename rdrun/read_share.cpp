// SPDX-License-Identifier: Apache-2.0
#include "read_share.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace rdrun {
namespace {

struct Position {
    uint64_t offset = 0;
    unsigned long flags = 0;
};

// The "pos:" and "flags:" lines of /proc/self/fdinfo/FD.
bool ReadPosition(const char *fd, Position &out) {
    const std::string path = std::string("/proc/self/fdinfo/") + fd;
    std::FILE *file = std::fopen(path.c_str(), "re");
    if (file == nullptr) return false;
    char line[256];
    bool pos = false, flags = false;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::strncmp(line, "pos:", 4) == 0)
            pos = true, out.offset = std::strtoull(line + 4, nullptr, 10);
        else if (std::strncmp(line, "flags:", 6) == 0)
            flags = true, out.flags = std::strtoul(line + 6, nullptr, 8);
    }
    std::fclose(file);
    return pos && flags;
}

} // namespace

std::optional<double> SourceShareRead() {
    DIR *folder = opendir("/proc/self/fd");
    if (folder == nullptr) return std::nullopt;
    std::optional<double> share;
    int found = 0;
    while (const dirent *entry = readdir(folder)) {
        char *end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || end == entry->d_name || fd <= STDERR_FILENO || fd == dirfd(folder))
            continue;
        // The file is looked at through its /proc path, never through the
        // descriptor, which belongs to the activity's thread: that thread
        // may close it meanwhile, and the number then names another file
        // or none, which at worst gives no share or a wrong one once.
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        struct stat info;
        Position position;
        if (stat(link.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0 ||
            !ReadPosition(entry->d_name, position) || (position.flags & O_ACCMODE) != O_RDONLY ||
            position.offset == 0)
            continue;
        ++found;
        const double size = static_cast<double>(info.st_size);
        share = std::min(1.0, static_cast<double>(position.offset) / size);
    }
    closedir(folder);
    return found == 1 ? share : std::nullopt;
}

} // namespace rdrun
