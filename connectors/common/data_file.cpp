// SPDX-License-Identifier: Apache-2.0
#include "data_file.h"

#include "rdx_status.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace rdxc {

std::string DirectoryOf(const std::string &path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

uint32_t CheckDataFile(const std::string &path, bool create, FailureLog &log) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) return log.Fail("the file " + path + " is not a regular file");
        if (::access(path.c_str(), R_OK) != 0)
            return log.Fail("the file " + path + " cannot be read: " + std::strerror(errno));
        return RDSTATUS_OK;
    }
    if (!create) return log.Fail("the file " + path + " cannot be found: " + std::strerror(errno));
    if (const std::string folder = DirectoryOf(path);
        ::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return log.Fail("the folder " + folder + " of the file " + path + " cannot be found");
    return RDSTATUS_OK;
}

uint32_t RemoveDataFile(const std::string &path, FailureLog &log) {
    if (::unlink(path.c_str()) != 0)
        return log.Fail("the file " + path + " cannot be removed: " + std::strerror(errno));
    return RDSTATUS_OK;
}

} // namespace rdxc
