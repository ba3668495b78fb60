// SPDX-License-Identifier: Apache-2.0
// The privacy checks of a database's folder and files.
#include "db_files.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace rdcsm {

namespace {

// The files SQLite keeps beside a database.
constexpr const char *kCompanions[] = {"-journal", "-wal", "-shm"};

std::string FolderOf(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool Refuse(const std::string &name, const char *reason, std::string &error) {
    error = name + ": " + reason;
    return false;
}

bool CheckFolder(const std::string &folder, std::string &error) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) return Refuse(folder, std::strerror(errno), error);
    if (info.st_uid != geteuid() && info.st_uid != 0)
        return Refuse(folder, "the folder belongs to another user", error);
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (info.st_mode & S_ISVTX) == 0)
        return Refuse(folder, "others may write in this folder, which has no sticky bit", error);
    return true;
}

// A missing file passes: it is made by this process, with mode 0600.
bool CheckFile(const std::string &file, std::string &error) {
    struct stat info {};
    if (lstat(file.c_str(), &info) != 0)
        return errno == ENOENT || Refuse(file, std::strerror(errno), error);
    if (!S_ISREG(info.st_mode)) return Refuse(file, "not a regular file", error);
    if (info.st_uid != geteuid()) return Refuse(file, "belongs to another user", error);
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return Refuse(file, "others may write to it", error);
    if (info.st_nlink != 1) return Refuse(file, "has another name (a hard link)", error);
    // Nobody else may swap the file now, so its mode is changed by its name.
    if ((info.st_mode & 077) != 0 && chmod(file.c_str(), info.st_mode & 0700) != 0)
        return Refuse(file, std::strerror(errno), error);
    return true;
}

} // namespace

bool CheckDatabaseFiles(const std::string &path, std::string &error) {
    if (!CheckFolder(FolderOf(path), error) || !CheckFile(path, error)) return false;
    for (const char *suffix : kCompanions)
        if (!CheckFile(path + suffix, error)) return false;
    return true;
}

} // namespace rdcsm
