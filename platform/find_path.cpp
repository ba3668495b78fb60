// SPDX-License-Identifier: Apache-2.0
// Searching a directory list held in an environment variable for a file.
#include "rdplat_start.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unistd.h>

namespace {

// A file that can be read and not written for lack of permission.
bool IsReadOnly(const char *path) {
    if (access(path, R_OK) != 0) return false;
    return access(path, W_OK) != 0 && (errno == EACCES || errno == EROFS);
}

// Copies dir with a trailing '/' into out; false when it does not fit.
bool StoreDir(std::string_view dir, char *out) {
    bool slash = dir.back() == '/';
    size_t length = dir.size() + (slash ? 0 : 1);
    if (length >= RDPLAT_PATH_SIZE) return false;
    std::memcpy(out, dir.data(), dir.size());
    if (!slash) out[dir.size()] = '/';
    out[length] = '\0';
    return true;
}

} // namespace

extern "C" RD_EXPORT int RDFindPath(const char *envName, char *outDir, const char *fileName,
                                    int readOnly) {
    if (envName == nullptr || outDir == nullptr || fileName == nullptr) return 0;
    const char *list = std::getenv(envName);
    if (list == nullptr) return 0;
    std::string_view rest = list;
    while (!rest.empty()) {
        size_t colon = rest.find(':');
        std::string_view dir = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? "" : rest.substr(colon + 1);
        if (dir.empty() || !StoreDir(dir, outDir)) continue;
        char path[RDPLAT_PATH_SIZE];
        int size = std::snprintf(path, sizeof path, "%s%s", outDir, fileName);
        if (size < 0 || static_cast<size_t>(size) >= sizeof path) continue;
        bool wins = readOnly != 0 ? IsReadOnly(path) : access(path, R_OK) == 0;
        if (wins) return 1;
    }
    return 0;
}
