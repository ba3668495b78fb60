// SPDX-License-Identifier: Apache-2.0
// The life of an activity: started by a host with RDActivityInit or by any
// program with RDActivityAlloc, ended by RDActivityTerm or RDActivityFree.
#include "activity/activity_lifecycle.h"

#include "activity/activity_connector.h"
#include "activity/system_context.h"
#include "connect/connect_term.h"
#include "rdplat.h"
#include "rdx_activity.h"
#include "rdx_csmgr.h"
#include "rdx_status.h"
#include "rdx_system.h"
#include "translate/translation.h"

namespace rdx {

namespace {

constexpr uint32_t kEndCodeFailed = RDSTATUS_ENDCODE;

// Sends the put-back values (the result) when the activity has a handle.
uint32_t SendPutBack(ActivityState &activity) {
    uint32_t status = RDSTATUS_OK;
    const ActivityBlock *block = activity.activityBlock;
    if ((activity.activityMode & kModeNoDescription) == 0 && activity.putBackSet != nullptr &&
        block != nullptr && block->handle != 0)
        status = CSMgrPutDescription(block->handle, activity.putBackSet);
    PropertySetFree(activity.putBackSet);
    activity.putBackSet = nullptr;
    return status;
}

// Sends the statistics of a server-manager activity. The counters are
// emptied in any case, so that no activity reports another's counts.
void SendStatistics(const ActivityState &activity) {
    uint32_t record[kStatisticsWords];
    ConnectTakeStatistics(record);
    const ActivityBlock *block = activity.activityBlock;
    if ((activity.activityMode & kModeStandAlone) == 0 && block != nullptr && block->handle != 0)
        CSMgrDataLog(block->handle, record);
}

// The connector's launch entry point: 0, 1540, 1542 or 1543.
uint32_t FindLaunch(ActivityState &activity) {
    activity.launchEntry = reinterpret_cast<RDXLaunchProc>(
        RDLibraryLoadProc(activity.connectorLibrary, "RDXLaunch", 0));
    if (activity.launchEntry == nullptr) return RDSTATUS_CONNECTORKIND;
    return CommandStatus();
}

// The name's length in bytes in its character set; 0 counts as no name.
uint32_t NameLength(const char *name, uint32_t charset) {
    return name != nullptr ? TextByteLength(name, charset) : 0;
}

// Attaches, sets the activity's name and opens the activity by it.
uint32_t OpenNamed(ActivityState &activity, const char *name, uint32_t charset, uint32_t length,
                   uint32_t &handle) {
    uint32_t status = CSMgrInit(nullptr);
    if (status != RDSTATUS_OK) return status; // a failed attach detaches itself
    activity.attached = 1;
    status = RDStreamDataSet(&activity.activityName, charset, name, length);
    if (status != RDSTATUS_OK) return status;
    return CSMgrOpenActivity(&handle, &activity.activityName, 1);
}

uint32_t StartAllocated(const char *name, uint32_t charset) {
    ActivityState &activity = Context()->activity;
    if (charset == 0) charset = RDCHARSET_DEFAULT;
    const uint32_t length = NameLength(name, charset);
    uint32_t handle = 0;
    uint32_t status = length != 0 ? OpenNamed(activity, name, charset, length, handle) : 0;
    ActivityBlock *block = nullptr;
    if (status == RDSTATUS_OK) {
        block = static_cast<ActivityBlock *>(RDMemCalloc(sizeof(ActivityBlock)));
        if (block == nullptr) status = RDSTATUS_NOMEMORY;
    }
    if (status == RDSTATUS_OK) {
        block->handle = handle;
        status = LoadActivityConnector(block, true);
    }
    activity.activityMode |= kModeAllocated;
    if (length == 0) activity.activityMode |= kModeStandAlone;
    activity.activityBlock = block;
    return status;
}

} // namespace

} // namespace rdx

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDActivityInit(ActivityBlock *block) {
    SystemContext *context = Context();
    if (context == nullptr) return RDSTATUS_NOACTIVITY;
    ActivityState &activity = context->activity;
    if (activity.activityNesting != 0) return RDSTATUS_ACTIVE;
    if (block == nullptr) return RDSTATUS_NULLARG1;
    if (block->handle == 0) return RDSTATUS_NOHANDLE;
    activity.activityNesting = 1;
    activity.startedByInit = 1;
    InstallActivityLogHooks();
    uint32_t status = LoadActivityConnector(block, false);
    if (status == RDSTATUS_OK) status = FindLaunch(activity);
    if (status == RDSTATUS_OK) return RDSTATUS_OK;
    LogConnectorFailure(status);
    RDActivityTerm();
    return status;
}

extern "C" RD_EXPORT uint32_t RDActivityLaunch(void) {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    const RDXLaunchProc launch = Context()->activity.launchEntry;
    if (launch == nullptr) return RDSTATUS_ACTIVE;
    return launch();
}

extern "C" RD_EXPORT uint32_t RDActivityTerm(void) {
    SystemContext *context = Context();
    if (context == nullptr || context->activity.activityNesting == 0) return RDSTATUS_OK;
    ActivityState &activity = context->activity;
    activity.activityNesting = 0;
    activity.startedByInit = 0;
    ConnectTermAll();
    const uint32_t status = SendPutBack(activity);
    SendStatistics(activity);
    PropertySetFree(activity.localSet);
    activity.localSet = nullptr;
    FreeAddedProperties();
    LogStateRelease();
    FreeScratchFields();
    PropertySetFree(activity.descriptionSet);
    activity.descriptionSet = nullptr;
    UnloadActivityConnector();
    RDStreamDataFree(&activity.activityName);
    activity.activityName = RDStream{};
    activity.activityBlock = nullptr;
    activity.activityMode = 0;
    activity.activityStatus = 0;
    return status;
}

extern "C" RD_EXPORT uint32_t RDActivityAlloc(uint32_t, const char *name, uint32_t charset) {
    if (Context() != nullptr && Context()->activity.activityNesting != 0) {
        ++Context()->activity.activityNesting;
        return RDSTATUS_OK;
    }
    // The platform does not nest: a host that started it keeps it.
    const bool platformRunning = RDFileExeDir()[0] != '\0';
    if (const uint32_t status = RDPlatInit(nullptr); status != RDSTATUS_OK) return status;
    if (const uint32_t status = RDSystemInit(); status != RDSTATUS_OK) {
        if (!platformRunning) RDPlatTerm();
        return status;
    }
    ActivityState &activity = Context()->activity;
    activity.platformStarted = platformRunning ? 0 : 1;
    activity.activityNesting = 1;
    activity.startedByInit = 0;
    InstallActivityLogHooks();
    const uint32_t status = StartAllocated(name, charset);
    if (status == RDSTATUS_OK) return RDSTATUS_OK;
    LogConnectorFailure(status);
    RDActivityFree();
    return status;
}

extern "C" RD_EXPORT uint32_t RDActivityFree(void) {
    SystemContext *context = Context();
    if (context == nullptr) return RDSTATUS_OK;
    ActivityState &activity = context->activity;
    if (activity.activityNesting == 1 && activity.startedByInit == 1) return RDSTATUS_OK;
    if (activity.activityNesting == 0) return RDSTATUS_NOACTIVITY;
    if (activity.activityNesting > 1) {
        --activity.activityNesting;
        return RDSTATUS_OK;
    }
    if ((activity.activityMode & kModeAllocated) == 0) return RDSTATUS_OK;
    ActivityBlock *block = activity.activityBlock;
    uint32_t handle = 0, endCode = 0;
    if ((activity.activityMode & kModeStandAlone) == 0 && block != nullptr) {
        handle = block->handle;
        endCode = activity.activityStatus != 0 ? kEndCodeFailed : 0;
    }
    const bool attached = activity.attached != 0;
    const bool platformStarted = activity.platformStarted != 0;
    activity.attached = 0;
    activity.platformStarted = 0;
    const uint32_t status = RDActivityTerm();
    RDMemFree(block);
    if (handle != 0) CSMgrDoneActivity(handle, endCode);
    if (attached) CSMgrTerm();
    RDSystemTerm();
    if (platformStarted) RDPlatTerm();
    return status;
}

extern "C" RD_EXPORT uint32_t RDActivityGetCommand(void) {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    return CommandStatus();
}
