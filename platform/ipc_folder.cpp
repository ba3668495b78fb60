// SPDX-License-Identifier: Apache-2.0
// The pipe folder. $RD_PIPE_DIR is the user's choice and is followed through
// a symbolic link. Without it the folders are this system's own and are
// checked without following links: $XDG_RUNTIME_DIR/rdx/<h> (an absolute
// XDG_RUNTIME_DIR only) or /tmp/rdpipe-<uid>/<h>, <h> a hash of the real path
// of the platform's home directory. A process without a home directory (the
// platform not started) uses the folder above <h> itself, so that such
// processes still meet each other but never a home's server.
#include "ipc_folder.h"

#include "home_dir.h"
#include "ipc_path.h"
#include "rdplat_ipc.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace rdplat::ipc {

namespace {

constexpr const char *kChooseAnother =
    "; set RD_PIPE_DIR to a private folder (mode 0700) to use another";

// The calling thread's last refusal, for RDIPCFolderError.
thread_local char folderError[512];

// FNV-1a over the text: 16 hex digits.
std::string HashText(const std::string &text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text)
        hash = (hash ^ c) * 1099511628211ull;
    static const char digits[] = "0123456789abcdef";
    std::string hex(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        hex[i] = digits[hash & 15];
    return hex;
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The home directory's part of the folder, empty without a home. The real
// path makes two spellings of one home (a link, a trailing '/') one folder;
// a home that cannot be resolved counts as written. The last home's key is
// kept per thread, so that an open does not resolve the path again.
std::string HomeKey() {
    const char *home = HomeDir();
    if (*home == '\0') return {};
    thread_local std::string lastHome, lastKey;
    if (lastHome == home) return lastKey;
    char resolved[PATH_MAX];
    std::string key =
        HashText(WithoutTrailingSlashes(realpath(home, resolved) != nullptr ? resolved : home));
    std::string homeText = home;
    lastHome.swap(homeText);
    lastKey.swap(key);
    return lastKey;
}

FolderState Refuse(const std::string &folder, const std::string &why) {
    SetFolderError("the pipe folder " + folder + " " + why + kChooseAnother);
    return FolderState::Refused;
}

int Look(const std::string &folder, bool follow, struct stat &info) {
    return follow ? stat(folder.c_str(), &info) : lstat(folder.c_str(), &info);
}

// Checks one folder, making it first when it is missing and create is set.
FolderState Settle(const std::string &folder, bool create, bool follow) {
    struct stat info {};
    int rc = Look(folder, follow, info);
    if (rc != 0 && errno == ENOENT) {
        if (!create) return FolderState::Missing;
        if (mkdir(folder.c_str(), 0700) == 0) {
            // The umask may have taken bits away; the folder must stay usable.
            if (chmod(folder.c_str(), 0700) != 0)
                return Refuse(folder,
                              std::string("cannot be set to mode 0700: ") + std::strerror(errno));
        } else if (errno != EEXIST) {
            return Refuse(folder, std::string("cannot be made: ") + std::strerror(errno));
        }
        rc = Look(folder, follow, info);
    }
    if (rc != 0) return Refuse(folder, std::string("cannot be read: ") + std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        return Refuse(folder, follow ? "is not a folder"
                                     : "is not a folder (a symbolic link is not followed here)");
    if (info.st_uid != PipeUser())
        return Refuse(folder, "belongs to another user (" + std::to_string(info.st_uid) + ")");
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return Refuse(folder, "can be written by others than its owner");
    return FolderState::Ready;
}

// The folder above the home's: the runtime folder's or the one in /tmp.
std::string BaseFolder() {
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        const std::string folder = WithoutTrailingSlashes(runtime);
        return folder == "/" ? "/rdx" : folder + "/rdx";
    }
    return "/tmp/rdpipe-" + std::to_string(PipeUser());
}

} // namespace

void SetFolderError(const std::string &text) {
    const size_t length = std::min(text.size(), sizeof folderError - 1);
    std::memcpy(folderError, text.data(), length);
    folderError[length] = '\0';
}

void ClearFolderError() {
    folderError[0] = '\0';
}

FolderState PipeFolder(bool create, std::string &folder) {
    const char *chosen = std::getenv("RD_PIPE_DIR");
    if (chosen != nullptr && *chosen != '\0') {
        folder = WithoutTrailingSlashes(chosen);
        return Settle(folder, create, true);
    }
    folder = BaseFolder();
    FolderState state = Settle(folder, create, false);
    const std::string key = HomeKey();
    if (state != FolderState::Ready || key.empty()) return state;
    folder += "/" + key;
    return Settle(folder, create, false);
}

} // namespace rdplat::ipc

extern "C" RD_EXPORT uint32_t RDIPCFolderError(char *buffer, uint32_t size) {
    const char *text = rdplat::ipc::folderError;
    const size_t length = std::strlen(text);
    if (buffer != nullptr && size > 0) {
        const size_t copied = std::min<size_t>(length, size - 1);
        std::memcpy(buffer, text, copied);
        buffer[copied] = '\0';
    }
    return static_cast<uint32_t>(length);
}
