// The pipe folder is private to its user: a socket in a folder that others
// can write to could be replaced by a stranger's server.
#include "ipc_path.h"

#include "rdplat_ipc.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace rdplat::ipc {

namespace {

bool ValidName(const char *name) {
    if (name == nullptr) return false;
    size_t length = strnlen(name, RDIPC_NAME_MAX + 1);
    if (length == 0 || length > RDIPC_NAME_MAX) return false;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return false;
    return std::strchr(name, '/') == nullptr;
}

// The folder from RD_PIPE_DIR (trailing slashes dropped) or the per-user
// default; isDefault tells which, because only the default is checked
// without following a symbolic link.
std::string PipeFolder(bool &isDefault) {
    const char *env = std::getenv("RD_PIPE_DIR");
    isDefault = env == nullptr || *env == '\0';
    if (isDefault) return "/tmp/rdpipe-" + std::to_string(PipeUser());
    std::string folder = env;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

// 1 safe, 0 missing, -1 unsafe or unusable.
int CheckFolder(const std::string &folder, bool isDefault) {
    struct stat info {};
    int rc = isDefault ? lstat(folder.c_str(), &info) : stat(folder.c_str(), &info);
    if (rc != 0) return errno == ENOENT ? 0 : -1;
    if (!S_ISDIR(info.st_mode)) return -1;
    if (info.st_uid != PipeUser()) return -1;
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return -1;
    return 1;
}

bool MakeFolder(const std::string &folder) {
    if (mkdir(folder.c_str(), 0700) != 0) return errno == EEXIST;
    // The umask may have taken bits away; the folder must stay usable.
    return chmod(folder.c_str(), 0700) == 0;
}

} // namespace

bool PipeAddress(const char *name, bool create, sockaddr_un &address, bool *folderMissing) {
    if (folderMissing != nullptr) *folderMissing = false;
    if (!ValidName(name)) return false;
    bool isDefault = false;
    std::string folder = PipeFolder(isDefault);
    int state = CheckFolder(folder, isDefault);
    if (state == 0 && create && MakeFolder(folder)) state = CheckFolder(folder, isDefault);
    if (state == 0 && folderMissing != nullptr) *folderMissing = true;
    if (state != 1) return false;
    std::string path = folder + "/" + name;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

uid_t PipeUser() {
    static const uid_t user = geteuid();
    return user;
}

socklen_t AddressLength(const sockaddr_un &address) {
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + std::strlen(address.sun_path) +
                                  1);
}

} // namespace rdplat::ipc
