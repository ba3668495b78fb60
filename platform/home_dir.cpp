// SPDX-License-Identifier: Apache-2.0
#include "home_dir.h"

#include <cstring>

namespace rdplat {

namespace {
char homeDir[RDPLAT_PATH_SIZE];
}

char *HomeDir() {
    return homeDir;
}

bool SetHomeDir(const std::string &dir) {
    std::string home = dir;
    if (home.empty() || home.back() != '/') home += '/';
    if (home.size() >= sizeof homeDir) {
        ClearHomeDir();
        return false;
    }
    std::memcpy(homeDir, home.c_str(), home.size() + 1);
    return true;
}

void ClearHomeDir() {
    homeDir[0] = '\0';
}

std::string ResolveConfigName(const char *name) {
    if (std::strchr(name, '/') != nullptr) return name;
    return std::string(homeDir) + name;
}

} // namespace rdplat

extern "C" RD_EXPORT const char *RDFileExeDir(void) {
    return rdplat::HomeDir();
}
