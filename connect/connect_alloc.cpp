// SPDX-License-Identifier: Apache-2.0
// RDConnectAlloc: a new connection through a link, its private area, its
// name and its initial properties.
#include "activity/property_set.h"
#include "connect/activity_access.h"
#include "connect/connection.h"
#include "connect/link.h"
#include "rdplat_mem.h"
#include "rdx_activity.h"
#include "rdx_connect.h"
#include "rdx_csmgr.h"
#include "rdx_field.h"
#include "rdx_status.h"

using namespace rdx;

namespace {

constexpr uint32_t kConnectorNameProperty = 0x30001;
constexpr uint32_t kLinkProperty = 0x30002;
constexpr uint32_t kOptionProperty = 0x30003;
constexpr uint32_t kNameProperty = 0x30004;
constexpr uint32_t kBuiltInName = 0x10000; // bit 16 of a property number

// What an allocation gathers before the connection exists.
struct Allocation {
    uint32_t qualifier = 0;
    uint32_t linkId = 0, optionId = 0;
    PropertySet *descriptions = nullptr; // the link's (and option's) description
    const RDStream *connectorName = nullptr;
    ~Allocation() { PropertySetFree(descriptions); }
};

// The identifier of the link's description: by the activity's Link property
// of the qualifier, or by name from the server manager.
uint32_t FindDescriptionId(uint32_t reference, const RDStream *linkName, Allocation &a) {
    if (reference != 0) {
        a.linkId = static_cast<uint32_t>(ActivityPropertyInt(a.qualifier | kLinkProperty));
    } else if (linkName != nullptr) {
        if (const uint32_t status = CSMgrGetID(&a.linkId, linkName, 4); status != RDSTATUS_OK) {
            RDActivityLogEx(RDSTATUS_NOLINKDESC, 0, 0, 0, linkName, nullptr, nullptr);
            return status;
        }
    }
    return a.linkId == 0 ? RDSTATUS_NOLINKDESC : RDSTATUS_OK;
}

// The link's description, the optional second one, and the connector's name
// they give.
uint32_t ReadDescriptions(Allocation &a) {
    if (const uint32_t status = PropertySetCreate(&a.descriptions); status != RDSTATUS_OK)
        return status;
    if (const uint32_t status = CSMgrGetDescription(a.linkId, a.descriptions);
        status != RDSTATUS_OK)
        return status;
    a.optionId = static_cast<uint32_t>(ActivityPropertyInt(a.qualifier | kOptionProperty));
    if (a.optionId != 0) {
        if (const uint32_t status = CSMgrGetDescription(a.optionId, a.descriptions);
            status != RDSTATUS_OK)
            return status;
    }
    uint32_t type = 0;
    void *value = nullptr;
    PropertySetFind(a.descriptions, kConnectorNameProperty, &type, &value);
    if ((type != RDTYPE_TEXT && type != RDTYPE_BINARY) || value == nullptr)
        return RDSTATUS_NOLINKCONNECTOR;
    a.connectorName = static_cast<const RDStream *>(value);
    return RDSTATUS_OK;
}

uint32_t NextHandle() {
    ConnectState &state = Connections();
    if (state.nextConnectionHandle == 0) state.nextConnectionHandle = 1;
    return state.nextConnectionHandle++;
}

void Discard(ConnectionRecord *connection) {
    RDMemFree(connection->priv);
    RDStreamDataFree(&connection->name);
    RDMemFree(connection);
}

// The record, its private area and RDXInitialize; on success the connection
// is live and in its slot.
uint32_t MakeConnection(LinkRecord *link, const Allocation &a, ConnectionRecord **out) {
    // Connection numbers within a link end at 65535: the next would take
    // the next link's codes.
    if ((link->linkCode & 0xFFFF) == 0) return RDSTATUS_LINKFULL;
    auto *c = static_cast<ConnectionRecord *>(RDMemCalloc(sizeof(ConnectionRecord)));
    if (c == nullptr) return RDSTATUS_NOMEMORY;
    c->link = link;
    c->qualifier = a.qualifier;
    c->linkDescriptionId = a.linkId;
    c->optionDescriptionId = a.optionId;
    c->connectCode = link->linkCode;
    c->handle = NextHandle();
    c->priv = RDMemCalloc(static_cast<int32_t>(link->identify->privateSize));
    if (c->priv == nullptr) {
        Discard(c);
        return RDSTATUS_NOMEMORY;
    }
    uint32_t status;
    {
        const EntryCall call(c, RDXENTRY_INITIALIZE, 0);
        const uint32_t first = link->liveConnections == 0 ? 1 : 0;
        status =
            Entry<RDXInitializeProc>(link, RDXENTRY_INITIALIZE)(c->priv, c->connectCode, first);
    }
    if (status != RDSTATUS_OK) {
        Discard(c);
        return status;
    }
    CountCall(RDXENTRY_INITIALIZE);
    ++link->liveConnections;
    SlotInsert(c);
    *out = c;
    return RDSTATUS_OK;
}

uint32_t GiveName(ConnectionRecord *c, const Allocation &a) {
    uint32_t type = 0;
    void *value = nullptr;
    if (PropertySetFind(a.descriptions, kNameProperty, &type, &value) == RDSTATUS_OK &&
        type == RDTYPE_TEXT && value != nullptr)
        return RDStreamDataCopy(&c->name, static_cast<const RDStream *>(value));
    return RDStreamDataSet(&c->name, RDCHARSET_DEFAULT, c->link->name, c->link->nameLength);
}

// The declared properties' first values: the activity's description with
// the connection's qualifier for built-in names, else the link's.
uint32_t GiveProperties(ConnectionRecord *c, const Allocation &a) {
    const PropertySet *activitySet = Context()->activity.descriptionSet;
    const PropertyDeclaration *declarations = c->link->identify->declarations;
    for (uint32_t i = 0; i < c->link->declarationCount; ++i) {
        const uint32_t number = declarations[i].number;
        uint32_t type = 0;
        void *value = nullptr;
        const bool qualified = (number & kBuiltInName) != 0 &&
                               PropertySetFind(activitySet, (number & 0x00FFFFFFu) | c->qualifier,
                                               &type, &value) == RDSTATUS_OK;
        if (!qualified && PropertySetFind(a.descriptions, number, &type, &value) != RDSTATUS_OK)
            continue;
        if (const uint32_t status = SetConnectionPropertyValue(c, number, type, value);
            status != RDSTATUS_OK)
            return status;
    }
    return RDSTATUS_OK;
}

// Name and properties; the connection is held busy so that a connector
// freeing it meanwhile cannot pull it away under the loop.
uint32_t Furnish(ConnectionRecord *c, const Allocation &a) {
    ++c->busy;
    uint32_t status = GiveName(c, a);
    if (status == RDSTATUS_OK) status = GiveProperties(c, a);
    --c->busy;
    if (status == RDSTATUS_OK && c->freePending) status = RDSTATUS_NOCONNECTION;
    return status;
}

uint32_t Allocate(Allocation &a, uint32_t reference, const RDStream *linkName, uint32_t *handle) {
    a.qualifier = reference & 0xFF000000u;
    a.connectorName = linkName;
    const bool direct =
        (Context()->activity.activityMode & kModeStandAlone) != 0 || a.qualifier == RDLINK_DIRECT;
    if (!direct) {
        if (const uint32_t status = FindDescriptionId(reference, linkName, a); status != 0)
            return status;
        if (const uint32_t status = ReadDescriptions(a); status != RDSTATUS_OK) return status;
    }
    LinkRecord *link = nullptr;
    if (const uint32_t status = LoadLink(a.connectorName, false, &link); status != RDSTATUS_OK)
        return status;
    ConnectionRecord *c = nullptr;
    if (const uint32_t status = MakeConnection(link, a, &c); status != RDSTATUS_OK) return status;
    if (const uint32_t status = Furnish(c, a); status != RDSTATUS_OK) {
        FreeConnection(c);
        return status;
    }
    ++link->linkCode;
    *handle = c->handle;
    return RDSTATUS_OK;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDConnectAlloc(uint32_t *handle, uint32_t linkReference,
                                             const RDStream *linkName) {
    if (handle == nullptr) return RDSTATUS_NULLARG2;
    *handle = 0;
    if (const uint32_t status = ConnectCheck(true); status != RDSTATUS_OK) return status;
    InstallConnectionName();
    Allocation a;
    const uint32_t status = Allocate(a, linkReference, linkName, handle);
    if (status == RDSTATUS_LINKLOAD || status == RDSTATUS_LINKKIND)
        RDActivityLogEx(status, 0, 0, 0, a.connectorName, nullptr, nullptr);
    else
        LogFailure(status);
    return status;
}
