// SPDX-License-Identifier: Apache-2.0
// The attachment: CSMgrInit, CSMgrTerm, CSMgrServerInfo, CSMgrServerState.
// It starts and stops a private server manager through the start-up, which
// never calls back here: both send their bare requests through
// bare_request.cpp.
#include "activity/system_context.h"
#include "csmgr/information.h"
#include "csmgr/server.h"
#include "csmgr/transport.h"

#include "rdplat_ipc.h"
#include "rdx_csmgr.h"
#include "rdx_status.h"

namespace rdx::csmgr {
namespace {

// Set when a client of kit type 1 found a server manager already running,
// so that its detach leaves that server manager alone.
bool g_sharedServer = false;

} // namespace
} // namespace rdx::csmgr

using namespace rdx::csmgr;

extern "C" RD_EXPORT uint32_t CSMgrInit(ServerInfoRecord *info) {
    if (rdx::Context() == nullptr) return RDSTATUS_NOTREADY;
    uint32_t kitType = 0;
    uint32_t status = ReadKitType(kitType);
    if (status != 0) return status;
    ReadWaits();
    if (kitType == 1) {
        status = CSMgrStartup();
        if (status == RDSTATUS_SHAREDSERVER) g_sharedServer = true;
        if (status != 0) return status;
    }
    if (RDIPCExists(kPipeName, kExistsSeconds) == 0) return RDSTATUS_NOPIPE;
    Information information{};
    status = SendBare(kAttach, kBareLength);
    if (status == 0) status = RequestInformation(0, info, information);
    if (status != 0) {
        CSMgrTerm();
        return status;
    }
    return ApplyInformation(information);
}

extern "C" RD_EXPORT uint32_t CSMgrServerInfo(ServerInfoRecord *info) {
    if (rdx::Context() == nullptr) return RDSTATUS_NOTREADY;
    Information information{};
    uint32_t status = RequestInformation(1, info, information);
    return status != 0 ? status : ApplyInformation(information);
}

extern "C" RD_EXPORT uint32_t CSMgrTerm(void) {
    uint32_t detached = SendBare(kDetach, kBareLength);
    uint32_t kitType = 0;
    uint32_t status = ReadKitType(kitType);
    if (status != 0) return status;
    if (kitType == 1) {
        if (g_sharedServer) {
            g_sharedServer = false;
        } else {
            status = CSMgrShutdown();
            if (status != 0) return status;
        }
    }
    return detached;
}

extern "C" RD_EXPORT uint32_t CSMgrServerState(uint32_t value) {
    return SendBare(kState, kStateLength, value);
}
