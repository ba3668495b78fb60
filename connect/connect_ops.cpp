// SPDX-License-Identifier: Apache-2.0
// The data operations of a connection: each finds the connection, checks its
// arguments, marks the current operation, calls the link's entry point with
// the private area and the caller's arguments, logs a failure and counts the
// call and the records the connector reports.
#include "connect/connection.h"
#include "connect/record_range.h"
#include "rdx_activity.h"
#include "rdx_connect.h"
#include "rdx_fieldlist.h"
#include "rdx_status.h"

using namespace rdx;

namespace {

constexpr uint32_t kInformational = 0x10000000;
constexpr uint32_t kCreatedMessage = kInformational | 1636;
constexpr uint32_t kDroppedMessage = kInformational | 1637;
constexpr uint32_t kMetadataMessage = kInformational | 1638;
constexpr uint32_t kMetadataProperty = 0x10005;
constexpr uint32_t kRefreshMetadata = 2; // the action whose metadata is logged

// The opening steps: activity checks, the out count cleared (*count points
// to local when none is given), the connection found.
uint32_t Open(uint32_t handle, uint32_t *&count, uint32_t &local, ConnectionRecord **c) {
    if (const uint32_t status = ConnectCheck(true); status != RDSTATUS_OK) return status;
    if (count == nullptr) count = &local;
    *count = 0;
    *c = FindConnection(handle);
    return *c == nullptr ? RDSTATUS_NOCONNECTION : RDSTATUS_OK;
}

uint32_t Open(uint32_t handle, ConnectionRecord **c) {
    uint32_t local = 0, *none = nullptr;
    return Open(handle, none, local, c);
}

uint32_t NeedConnected(const ConnectionRecord *c) {
    return c->connected != 0 ? RDSTATUS_OK : RDSTATUS_NOTCONNECTED;
}

// Kinds 1 and 2 (server, database) work before connecting.
uint32_t NeedConnectedForKind(const ConnectionRecord *c, uint32_t kind) {
    return kind == 1 || kind == 2 ? RDSTATUS_OK : NeedConnected(c);
}

// Counts a successful call, or logs the failure.
uint32_t Account(uint32_t entry, uint32_t status) {
    if (status == RDSTATUS_OK)
        CountCall(entry);
    else
        LogFailure(status);
    return status;
}

// The name of the object of a kind, read quietly and logged with message.
void LogObject(ConnectionRecord *c, const EntryCall &call, uint32_t message, uint32_t kind,
               uint32_t property) {
    RDStream name{};
    if (ReadPropertyQuietly(c, property, &name) == RDSTATUS_OK) {
        call.Mark();
        RDActivityLogEx(message, message == kMetadataMessage ? 0 : kind, 0, 0, &name, nullptr,
                        nullptr);
    }
    RDStreamDataFree(&name);
}

uint32_t ObjectProperty(uint32_t kind) {
    switch (kind) {
    case 1:
        return 0x10001; // Server
    case 2:
        return 0x10002; // Database
    case 3:
        return 0x10005; // Metadata
    case 4:
        return 0x10006; // Index
    default:
        return 0;
    }
}

// Fetch, Insert, Update and Remove: records of the caller's list by range.
uint32_t MoveRecords(uint32_t entry, uint32_t handle, uint32_t list, uint32_t first, uint32_t count,
                     uint32_t *done) {
    uint32_t local = 0;
    ConnectionRecord *c = nullptr;
    if (const uint32_t status = Open(handle, done, local, &c); status != RDSTATUS_OK) return status;
    if (entry != RDXENTRY_FETCH) {
        if (const uint32_t status = NeedConnected(c); status != RDSTATUS_OK) return status;
    }
    // Remove without a list removes what the connection's properties select.
    const bool ranged = list != 0 || entry != RDXENTRY_REMOVE;
    if (ranged) {
        uint32_t refusal = RDSTATUS_OK;
        switch (CheckRange(list, first, count, &refusal)) {
        case RangeCheck::Nothing:
            return RDSTATUS_OK;
        case RangeCheck::Refused:
            return refusal;
        case RangeCheck::Call:
            break;
        }
    }
    const EntryCall call(c, entry, 0);
    const uint32_t status = Entry<RDXFetchProc>(c->link, entry)(c->priv, list, first, count, done);
    // A connector cannot have moved more records of the range than it was given.
    if (ranged && *done != RDX_COUNT_UNKNOWN && *done > count) *done = count;
    if (entry == RDXENTRY_FETCH && status == RDX_END_OF_DATA)
        ; // the end of the data is not a failure
    else
        Account(entry, status);
    CountRecords(entry, *done);
    return status;
}

// A call of entry (its argument for the log) that answers a count: the
// connection found and checked by need, the count cleared first and
// counted when the call succeeds.
template <class Need, class Call>
uint32_t CountedCall(uint32_t entry, uint32_t argument, uint32_t handle, uint32_t *count, Need need,
                     Call call) {
    uint32_t local = 0;
    ConnectionRecord *c = nullptr;
    if (const uint32_t status = Open(handle, count, local, &c); status != RDSTATUS_OK)
        return status;
    if (const uint32_t status = need(c); status != RDSTATUS_OK) return status;
    const EntryCall scope(c, entry, argument);
    const uint32_t status = call(c, count);
    if (status == RDSTATUS_OK) CountRecords(entry, *count);
    return Account(entry, status);
}

} // namespace

extern "C" RD_EXPORT uint32_t RDConnectConnect(uint32_t handle) {
    ConnectionRecord *c = nullptr;
    if (const uint32_t status = Open(handle, &c); status != RDSTATUS_OK) return status;
    if (c->connected != 0) return RDSTATUS_OK;
    const EntryCall call(c, RDXENTRY_CONNECT, 0);
    const uint32_t status = Entry<RDXConnectProc>(c->link, RDXENTRY_CONNECT)(c->priv);
    if (status == RDSTATUS_OK) c->connected = 1;
    return Account(RDXENTRY_CONNECT, status);
}

extern "C" RD_EXPORT uint32_t RDConnectDisconnect(uint32_t handle) {
    if (const uint32_t status = ConnectCheck(false); status != RDSTATUS_OK) return status;
    ConnectionRecord *c = FindConnection(handle);
    if (c == nullptr) return RDSTATUS_NOCONNECTION;
    return DisconnectConnection(c);
}

extern "C" RD_EXPORT uint32_t RDConnectExecute(uint32_t handle, uint32_t pass1, uint32_t pass2,
                                               uint32_t *count) {
    return CountedCall(
        RDXENTRY_EXECUTE, 0, handle, count, NeedConnected, [&](ConnectionRecord *c, uint32_t *n) {
            return Entry<RDXExecuteProc>(c->link, RDXENTRY_EXECUTE)(c->priv, pass1, pass2, n);
        });
}

extern "C" RD_EXPORT uint32_t RDConnectSelect(uint32_t handle, uint32_t list, uint32_t perFetch,
                                              uint32_t pass, uint32_t *count) {
    uint32_t local = 0;
    ConnectionRecord *c = nullptr;
    if (const uint32_t status = Open(handle, count, local, &c); status != RDSTATUS_OK)
        return status;
    if (const uint32_t status = NeedConnected(c); status != RDSTATUS_OK) return status;
    if (list != 0 && perFetch != 1 && (perFetch == 0 || perFetch > RDFieldlistGetRecordCount(list)))
        return RDSTATUS_BADRANGE;
    const EntryCall call(c, RDXENTRY_SELECT, 0);
    const uint32_t status =
        Entry<RDXSelectProc>(c->link, RDXENTRY_SELECT)(c->priv, list, perFetch, pass, count);
    if (status == RDSTATUS_OK) CountRecords(RDXENTRY_SELECT, *count);
    return Account(RDXENTRY_SELECT, status);
}

// RDConnect<Name>: the record operation of entry on the connection.
#define RD_CONNECT_RECORDS(Name, entry)                                                            \
    extern "C" RD_EXPORT uint32_t RDConnect##Name(uint32_t handle, uint32_t list, uint32_t first,  \
                                                  uint32_t count, uint32_t *done) {                \
        return MoveRecords(entry, handle, list, first, count, done);                               \
    }

RD_CONNECT_RECORDS(Fetch, RDXENTRY_FETCH)
RD_CONNECT_RECORDS(Insert, RDXENTRY_INSERT)
RD_CONNECT_RECORDS(Update, RDXENTRY_UPDATE)
RD_CONNECT_RECORDS(Remove, RDXENTRY_REMOVE)

// The rollback action ends a connection's work cleanly, so it runs while a
// stop is pending: a stopped activity must be able to discard what its
// target holds uncommitted instead of having the disconnect commit it.
extern "C" RD_EXPORT uint32_t RDConnectAction(uint32_t handle, uint32_t action) {
    ConnectionRecord *c = nullptr;
    if (action == RDACTION_ROLLBACK) {
        if (const uint32_t status = ConnectCheck(false); status != RDSTATUS_OK) return status;
        c = FindConnection(handle);
        if (c == nullptr) return RDSTATUS_NOCONNECTION;
    } else if (const uint32_t status = Open(handle, &c); status != RDSTATUS_OK) {
        return status;
    }
    if (const uint32_t status = NeedConnected(c); status != RDSTATUS_OK) return status;
    const EntryCall call(c, RDXENTRY_ACTION, action);
    const uint32_t status = Entry<RDXActionProc>(c->link, RDXENTRY_ACTION)(c->priv, action);
    if (status == RDSTATUS_OK && action == kRefreshMetadata)
        LogObject(c, call, kMetadataMessage, action, kMetadataProperty);
    return Account(RDXENTRY_ACTION, status);
}

extern "C" RD_EXPORT uint32_t RDConnectCatalog(uint32_t handle, uint32_t kind, uint32_t pass,
                                               uint32_t *count) {
    return CountedCall(
        RDXENTRY_CATALOG, kind, handle, count,
        [kind](const ConnectionRecord *c) { return NeedConnectedForKind(c, kind); },
        [&](ConnectionRecord *c, uint32_t *n) {
            return Entry<RDXCatalogProc>(c->link, RDXENTRY_CATALOG)(c->priv, kind, pass, n);
        });
}

extern "C" RD_EXPORT uint32_t RDConnectCreate(uint32_t handle, uint32_t kind, uint32_t pass) {
    ConnectionRecord *c = nullptr;
    if (const uint32_t status = Open(handle, &c); status != RDSTATUS_OK) return status;
    if (kind == 0) return RDSTATUS_BADPATTERN;
    if (const uint32_t status = NeedConnectedForKind(c, kind); status != RDSTATUS_OK) return status;
    if (kind != 1 && kind != 2 && pass == 0) return RDSTATUS_NOLIST;
    const EntryCall call(c, RDXENTRY_CREATE, kind);
    const uint32_t status = Entry<RDXCreateProc>(c->link, RDXENTRY_CREATE)(c->priv, kind, pass);
    if (status == RDSTATUS_OK && ObjectProperty(kind) != 0)
        LogObject(c, call, kCreatedMessage, kind, ObjectProperty(kind));
    return Account(RDXENTRY_CREATE, status);
}

extern "C" RD_EXPORT uint32_t RDConnectDrop(uint32_t handle, uint32_t kind) {
    ConnectionRecord *c = nullptr;
    if (const uint32_t status = Open(handle, &c); status != RDSTATUS_OK) return status;
    if (kind == 0) return RDSTATUS_BADPATTERN;
    if (const uint32_t status = NeedConnectedForKind(c, kind); status != RDSTATUS_OK) return status;
    const EntryCall call(c, RDXENTRY_DROP, kind);
    const uint32_t status = Entry<RDXDropProc>(c->link, RDXENTRY_DROP)(c->priv, kind);
    if (status == RDSTATUS_OK && ObjectProperty(kind) != 0)
        LogObject(c, call, kDroppedMessage, kind, ObjectProperty(kind));
    return Account(RDXENTRY_DROP, status);
}
