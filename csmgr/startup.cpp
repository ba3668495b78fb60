// SPDX-License-Identifier: Apache-2.0
// CSMgrStartup and CSMgrShutdown: the life of a private server manager.
#include "csmgr/server.h"
#include "csmgr/transport.h"

#include "rdplat_file.h"
#include "rdplat_ipc.h"
#include "rdplat_proc.h"
#include "rdx_csmgr.h"
#include "rdx_status.h"

#include <cstring>
#include <string_view>

namespace rdx::csmgr {

namespace {

uint32_t g_startupSeconds = kStartupSeconds;

// The command line that starts the program of the home directory: its path
// in double quotes, so that a home directory with blanks stays one word.
// False when it does not fit the buffer (or cannot be quoted).
bool BuildCommand(char (&command)[264]) {
    const char *home = RDFileExeDir();
    std::string_view dir = home != nullptr ? home : "";
    std::string_view program = kProgramName;
    if (dir.find('"') != std::string_view::npos) return false;
    if (dir.size() + program.size() + 3 > sizeof command) return false;
    std::size_t at = 0;
    command[at++] = '"';
    std::memcpy(command + at, dir.data(), dir.size());
    at += dir.size();
    std::memcpy(command + at, program.data(), program.size());
    at += program.size();
    command[at++] = '"';
    command[at] = '\0';
    return true;
}

} // namespace

void SetStartupSeconds(uint32_t seconds) {
    g_startupSeconds = seconds;
}

} // namespace rdx::csmgr

using namespace rdx::csmgr;

extern "C" RD_EXPORT uint32_t CSMgrStartup(void) {
    uint32_t kitType = 0;
    uint32_t status = ReadKitType(kitType);
    if (status != 0) return status;
    if (RDIPCExists(kPipeName, kExistsSeconds) != 0)
        return kitType == 1 ? RDSTATUS_SHAREDSERVER : 0;
    char command[264];
    if (!BuildCommand(command)) return RDSTATUS_PROCSTART;
    status = RDProcShellExec(command, nullptr, 2, kitType == 1 ? RDPROC_HIDDEN : 0);
    if (status != 0) return status;
    RDProcThreadSleep(g_startupSeconds);
    return RDIPCExists(kPipeName, kExistsSeconds) != 0 ? 0 : RDSTATUS_NOPIPE;
}

extern "C" RD_EXPORT uint32_t CSMgrShutdown(void) {
    return SendBare(kShutdown, kBareLength);
}
