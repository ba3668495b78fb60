// SPDX-License-Identifier: Apache-2.0
// Platform start-up: finding the home directory through quarry.ini, beside
// the program or on PATH, and loading the built-in international formats.
#include "home_dir.h"
#include "intl_format.h"

#include "rdplat_ini.h"

#include <climits>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>
#include <unistd.h>

namespace rdplat {

namespace {

constexpr const char *kConfigFile = "quarry.ini";

bool IsReadable(const std::string &path) {
    return access(path.c_str(), R_OK) == 0;
}

std::optional<std::string> CurrentDir() {
    char buffer[PATH_MAX];
    if (getcwd(buffer, sizeof buffer) == nullptr) return std::nullopt;
    std::string dir = buffer;
    if (dir.back() != '/') dir += '/';
    return dir;
}

// The absolute directory of a program path, ending with '/'. A path without
// a directory part, or one that cannot be resolved, means the current one.
std::optional<std::string> ProgramDir(const std::string &program) {
    size_t slash = program.rfind('/');
    if (slash == std::string::npos) return CurrentDir();
    std::string part = program.substr(0, slash + 1);
    char resolved[PATH_MAX];
    if (realpath(part.c_str(), resolved) == nullptr) return CurrentDir();
    std::string dir = resolved;
    if (dir.back() != '/') dir += '/';
    return dir;
}

// The program's directory (the current directory without a program path),
// when it holds fileName (any directory when fileName is empty).
std::optional<std::string> LookupProgramDir(const std::string &program,
                                            const std::string &fileName) {
    if (fileName.empty() && program.empty()) return std::nullopt;
    std::optional<std::string> dir;
    if (!program.empty()) {
        if (!IsReadable(program)) return std::nullopt;
        dir = ProgramDir(program);
    } else {
        dir = CurrentDir();
    }
    if (!dir || dir->size() >= RDPLAT_PATH_SIZE) return std::nullopt;
    if (!fileName.empty() && !IsReadable(*dir + fileName)) return std::nullopt;
    return dir;
}

// The directory on PATH that holds fileName.
std::optional<std::string> SearchPath(const std::string &fileName) {
    char dir[RDPLAT_PATH_SIZE] = "";
    if (RDFindPath("PATH", dir, fileName.c_str(), 0) == 0) return std::nullopt;
    return std::string(dir);
}

// Takes the home directory from the "Directory" key of the quarry.ini found
// in configDir.
uint32_t ReadHomeDir(const std::string &configDir) {
    if (!SetHomeDir(configDir)) return RDSTATUS_INIOPEN;
    char value[RDINI_LINE_MAX + 1];
    uint32_t status = RDINIGetString("Configuration", "Directory", value, kConfigFile);
    if (status != RDSTATUS_OK) {
        ClearHomeDir();
        return status;
    }
    return SetHomeDir(value) ? RDSTATUS_OK : RDSTATUS_INIMISSING;
}

uint32_t Start(const std::string &program) {
    std::optional<std::string> configDir = LookupProgramDir(program, kConfigFile);
    if (!configDir) configDir = SearchPath(kConfigFile);
    if (configDir) return ReadHomeDir(*configDir);
    if (program.empty()) return RDSTATUS_INIOPEN;
    // Without a quarry.ini the home directory is the program's own.
    std::optional<std::string> dir = LookupProgramDir(program, "");
    if (!dir) dir = SearchPath(program);
    if (dir && SetHomeDir(*dir)) return RDSTATUS_OK;
    return RDSTATUS_INIOPEN;
}

} // namespace

} // namespace rdplat

extern "C" {

RD_EXPORT uint32_t RDPlatInit(const char *programPath) {
    if (rdplat::HomeDir()[0] != '\0') return RDSTATUS_OK;
    uint32_t status = RDPlatSetIntlFormat(nullptr);
    if (status != RDSTATUS_OK) return status;
    try {
        return rdplat::Start(programPath != nullptr ? programPath : "");
    } catch (const std::bad_alloc &) {
        rdplat::ClearHomeDir();
        return RDSTATUS_NOMEMORY;
    }
}

RD_EXPORT uint32_t RDPlatTerm(void) {
    rdplat::FreeIntlFormat();
    rdplat::ClearHomeDir();
    return RDSTATUS_OK;
}

} // extern "C"
