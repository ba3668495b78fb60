// SPDX-License-Identifier: Apache-2.0
// The socket address of a pipe name in the pipe folder.
#include "ipc_path.h"

#include "ipc_folder.h"

#include "rdplat_ipc.h"

#include <cstddef>
#include <cstring>
#include <string>
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

} // namespace

bool PipeAddress(const char *name, bool create, sockaddr_un &address, bool *folderMissing) {
    if (folderMissing != nullptr) *folderMissing = false;
    ClearFolderError();
    if (!ValidName(name)) return false;
    std::string folder;
    FolderState state = PipeFolder(create, folder);
    if (state == FolderState::Missing && folderMissing != nullptr) *folderMissing = true;
    if (state != FolderState::Ready) return false;
    std::string path = folder + "/" + name;
    if (path.size() >= sizeof address.sun_path) {
        SetFolderError("the pipe " + path + " is longer than a socket address takes (" +
                       std::to_string(sizeof address.sun_path - 1) +
                       " bytes); set RD_PIPE_DIR to a shorter private folder");
        return false;
    }
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
