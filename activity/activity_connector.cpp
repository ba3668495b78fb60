// SPDX-License-Identifier: Apache-2.0
// Loading the activity's connector from the name in its description.
#include "activity/activity_connector.h"
#include "connect/connect_term.h"

#include "activity/system_context.h"
#include "rdplat_library.h"
#include "rdplat_mem.h"
#include "rdx_csmgr.h"
#include "rdx_field.h"
#include "rdx_status.h"

#include <cstdint>
#include <cstring>

namespace rdx {

namespace {

constexpr uint32_t kConnectorNameProperty = 0x30001;
constexpr uint32_t kNameProperty = 0x30004;

// The description's text value of number, or null.
const RDStream *DescriptionText(const PropertySet *set, uint32_t number) {
    uint32_t type = 0;
    void *value = nullptr;
    if (PropertySetFind(set, number, &type, &value) != RDSTATUS_OK) return nullptr;
    if (type != RDTYPE_TEXT && type != RDTYPE_BINARY) return nullptr;
    return static_cast<const RDStream *>(value);
}

// Keeps a NUL-terminated native copy of the connector's name.
uint32_t KeepConnectorName(ActivityState &activity, const RDStream &native) {
    if (native.length >= INT32_MAX) return RDSTATUS_NOMEMORY;
    auto *copy = static_cast<char *>(RDMemAlloc(static_cast<int32_t>(native.length) + 1));
    if (copy == nullptr) return RDSTATUS_NOMEMORY;
    if (native.length != 0) std::memcpy(copy, native.data, native.length);
    copy[native.length] = '\0';
    activity.connectorName = copy;
    activity.connectorNameLength = native.length;
    return RDSTATUS_OK;
}

// Converts the name to native text, keeps it and loads the library.
uint32_t LoadLibrary(ActivityState &activity, const RDStream &name) {
    RDStream native{};
    uint32_t status = RDStreamDataConvert(
        &native, &name, RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT | RDCONVERT_LITERAL,
        RDCHARSET_DEFAULT, nullptr, nullptr);
    if (status == RDSTATUS_OK) status = KeepConnectorName(activity, native);
    RDStreamDataFree(&native);
    if (status != RDSTATUS_OK) return status;
    // A name holding a NUL would load another library than it names.
    if (std::strlen(activity.connectorName) != activity.connectorNameLength)
        return RDSTATUS_CONNECTORLOAD;
    activity.connectorLibrary = RDLibraryLoad(activity.connectorName, RDLIBRARY_CONNECTOR);
    return activity.connectorLibrary != nullptr ? RDSTATUS_OK : RDSTATUS_CONNECTORLOAD;
}

// Calls RDXIdentify into a zeroed record and checks kind and version.
uint32_t Identify(ActivityState &activity) {
    auto identify = reinterpret_cast<RDXIdentifyProc>(
        RDLibraryLoadProc(activity.connectorLibrary, "RDXIdentify", 0));
    if (identify == nullptr) return RDSTATUS_CONNECTORKIND;
    activity.identifyRecord = static_cast<IdentifyRecord *>(RDMemCalloc(sizeof(IdentifyRecord)));
    if (activity.identifyRecord == nullptr) return RDSTATUS_NOMEMORY;
    if (const uint32_t status = identify(activity.identifyRecord); status != RDSTATUS_OK)
        return status;
    ConnectCountCall(RDXENTRY_IDENTIFY);
    if (activity.identifyRecord->kind != RDX_KIND_ACTIVITY) return RDSTATUS_CONNECTORKIND;
    if (activity.identifyRecord->version != RDX_INTERFACE_VERSION) return RDSTATUS_CONNECTORVERSION;
    return RDSTATUS_OK;
}

// The activity's name from the description, for an activity a host started.
uint32_t TakeDescribedName(ActivityState &activity) {
    uint32_t type = 0;
    void *value = nullptr;
    if (activity.startedByInit != 1 ||
        PropertySetFind(activity.descriptionSet, kNameProperty, &type, &value) != RDSTATUS_OK ||
        type != RDTYPE_TEXT || value == nullptr)
        return RDSTATUS_OK;
    return RDStreamDataCopy(&activity.activityName, static_cast<const RDStream *>(value));
}

uint32_t LoadDescribed(ActivityState &activity, bool optional) {
    const uint32_t handle = activity.activityBlock->handle;
    if (const uint32_t status = CommandStatus(); status != RDSTATUS_OK) return status;
    if (const uint32_t status = CSMgrGetDescription(handle, activity.descriptionSet);
        status != RDSTATUS_OK)
        return status;
    if (const uint32_t status = CommandStatus(); status != RDSTATUS_OK) return status;
    const RDStream *name = DescriptionText(activity.descriptionSet, kConnectorNameProperty);
    if (name == nullptr || name->data == nullptr)
        return optional ? RDSTATUS_OK : RDSTATUS_NOCONNECTOR;
    activity.activityMode = 0;
    if (const uint32_t status = TakeDescribedName(activity); status != RDSTATUS_OK) return status;
    if (const uint32_t status = LoadLibrary(activity, *name); status != RDSTATUS_OK) return status;
    if (const uint32_t status = Identify(activity); status != RDSTATUS_OK) return status;
    return CommandStatus();
}

} // namespace

uint32_t LoadActivityConnector(ActivityBlock *block, bool optional) {
    ActivityState &activity = Context()->activity;
    activity.activityBlock = block;
    activity.activityMode = kModeNoDescription;
    if (const uint32_t status = PropertySetCreate(&activity.descriptionSet); status != RDSTATUS_OK)
        return status;
    if (block->handle == 0) return RDSTATUS_OK;
    return LoadDescribed(activity, optional);
}

void LogConnectorFailure(uint32_t status) {
    const ActivityState &activity = Context()->activity;
    if (status != RDSTATUS_CONNECTORLOAD && status != RDSTATUS_CONNECTORKIND) return;
    if (activity.connectorName == nullptr) return;
    RDStream name{};
    if (RDStreamDataSet(&name, RDCHARSET_DEFAULT, activity.connectorName,
                        activity.connectorNameLength) == RDSTATUS_OK)
        RDActivityLogEx(status, 0, 0, 0, &name, nullptr, nullptr);
    RDStreamDataFree(&name);
}

void UnloadActivityConnector() {
    ActivityState &activity = Context()->activity;
    RDMemFree(activity.identifyRecord);
    activity.identifyRecord = nullptr;
    if (activity.connectorLibrary != nullptr) RDLibraryFree(activity.connectorLibrary);
    activity.connectorLibrary = nullptr;
    activity.launchEntry = nullptr;
    RDMemFree(activity.connectorName);
    activity.connectorName = nullptr;
    activity.connectorNameLength = 0;
}

} // namespace rdx
