// SPDX-License-Identifier: Apache-2.0
// Connection properties: get, set and the listing of the link's
// declarations.
#include "activity/property_names.h"
#include "connect/connection.h"
#include "rdx_activity.h"
#include "rdx_connect.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"

namespace rdx {

namespace {

constexpr uint32_t kPassword = 0x10004;
constexpr uint32_t kSystemAnswered = 0x20000; // bit 17
constexpr uint32_t kName = 0x30004, kLinkCode = 0x30005, kConnectCode = 0x30006;

uint32_t Refuse(uint32_t number, bool quiet) {
    if (!quiet)
        return RDActivityLogEx(RDSTATUS_BADPROPERTY, number, 0, 0, nullptr, nullptr, nullptr);
    return RDSTATUS_BADPROPERTY;
}

uint32_t SystemAnswer(const ConnectionRecord *c, uint32_t number, uint32_t field, bool quiet) {
    int32_t code = 0;
    switch (number) {
    case kName:
        return RDFieldSetStream(field, 1, &c->name);
    case kLinkCode:
        code = static_cast<int32_t>(c->connectCode & 0xFFFF0000u);
        return RDFieldSetInt(field, 1, &code);
    case kConnectCode:
        code = static_cast<int32_t>(c->connectCode);
        return RDFieldSetInt(field, 1, &code);
    default:
        return Refuse(number, quiet);
    }
}

// The first checks of the exported property functions.
uint32_t Open(uint32_t handle, uint32_t number, uint32_t field, ConnectionRecord **c) {
    if (const uint32_t status = ConnectCheck(true); status != RDSTATUS_OK) return status;
    *c = FindConnection(handle);
    if (*c == nullptr) return RDSTATUS_NOCONNECTION;
    if (number == 0) return RDSTATUS_BADPROPERTY;
    if (field == 0) return RDSTATUS_NOFIELD;
    return RDSTATUS_OK;
}

} // namespace

uint32_t GetConnectionProperty(ConnectionRecord *c, uint32_t number, uint32_t field, bool quiet) {
    const EntryCall call(c, RDXENTRY_GETPROPERTY, 0);
    // Never asked of the connector, whatever the qualifier.
    if ((number & 0x00FFFFFFu) == kPassword) return Refuse(number, quiet);
    uint32_t status;
    if ((number & kSystemAnswered) == 0) {
        status = Entry<RDXGetPropertyProc>(c->link, RDXENTRY_GETPROPERTY)(c->priv, number, field);
    } else {
        status = SystemAnswer(c, number, field, quiet);
        if (status == RDSTATUS_BADPROPERTY) return status; // logged already
    }
    if (status == RDSTATUS_OK)
        CountCall(RDXENTRY_GETPROPERTY);
    else if (!quiet)
        LogFailure(status);
    return status;
}

uint32_t SetConnectionProperty(ConnectionRecord *c, uint32_t number, uint32_t field) {
    const EntryCall call(c, RDXENTRY_SETPROPERTY, 0);
    const uint32_t status =
        Entry<RDXSetPropertyProc>(c->link, RDXENTRY_SETPROPERTY)(c->priv, number, field);
    if (status == RDSTATUS_OK)
        CountCall(RDXENTRY_SETPROPERTY);
    else
        LogFailure(status);
    return status;
}

} // namespace rdx

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDConnectGetProperty(uint32_t handle, uint32_t number,
                                                   uint32_t field) {
    ConnectionRecord *c = nullptr;
    if (const uint32_t status = Open(handle, number, field, &c); status != RDSTATUS_OK)
        return status;
    return GetConnectionProperty(c, number, field, false);
}

extern "C" RD_EXPORT uint32_t RDConnectSetProperty(uint32_t handle, uint32_t number,
                                                   uint32_t field) {
    ConnectionRecord *c = nullptr;
    if (const uint32_t status = Open(handle, number, field, &c); status != RDSTATUS_OK)
        return status;
    return SetConnectionProperty(c, number, field);
}

extern "C" RD_EXPORT uint32_t RDConnectListProperty(uint32_t handle, uint32_t mode,
                                                    uint32_t *number, uint32_t *type,
                                                    uint32_t *attributes, RDStream *name) {
    if (const uint32_t status = ConnectCheck(true); status != RDSTATUS_OK) return status;
    ConnectionRecord *c = FindConnection(handle);
    if (c == nullptr) return RDSTATUS_NOCONNECTION;
    if (mode == RDLIST_FIRST)
        c->listIndex = 0;
    else if (mode != RDLIST_NEXT)
        return RDSTATUS_BADMODE;
    const LinkRecord *link = c->link;
    if (c->listIndex >= link->declarationCount) {
        if (number != nullptr) *number = 0;
        if (type != nullptr) *type = 0;
        if (attributes != nullptr) *attributes = 0;
        if (name != nullptr) RDStreamDataFree(name);
        return RDSTATUS_NOENTRY;
    }
    const PropertyDeclaration &declaration = link->identify->declarations[c->listIndex++];
    if (number != nullptr) *number = declaration.number;
    if (type != nullptr) *type = declaration.type;
    if (attributes != nullptr) *attributes = declaration.attributes;
    if (name == nullptr) return RDSTATUS_OK;
    uint32_t status = RDSTATUS_OK;
    DeclarationName(*link->identify, declaration, name, &status);
    return status;
}
