// SPDX-License-Identifier: Apache-2.0
// RDConnectFree and the disconnect that freeing and the activity's end share.
#include "activity/system_context.h"
#include "connect/connection.h"
#include "rdplat_mem.h"
#include "rdx_connect.h"
#include "rdx_status.h"

namespace rdx {

uint32_t DisconnectConnection(ConnectionRecord *connection) {
    if (connection->connected == 0) return RDSTATUS_OK;
    uint32_t status;
    {
        const EntryCall call(connection, RDXENTRY_DISCONNECT, 0);
        status = Entry<RDXDisconnectProc>(connection->link, RDXENTRY_DISCONNECT)(
            connection->priv, Context()->activity.activityStatus);
        connection->connected = 0;
        if (status == RDSTATUS_OK)
            CountCall(RDXENTRY_DISCONNECT);
        else
            LogFailure(status);
    }
    return status;
}

void FreeConnection(ConnectionRecord *connection) {
    if (connection->busy != 0) {
        // A connector freeing its own connection from inside a call: done
        // when the call returns, so that nothing uses a freed record.
        connection->freePending = true;
        return;
    }
    ++connection->busy; // for good: a free asked for from here on is this one
    DisconnectConnection(connection);
    SlotRemove(connection);
    LinkRecord *link = connection->link;
    --link->liveConnections;
    {
        const EntryCall call(connection, RDXENTRY_TERMINATE, 0);
        const uint32_t last = link->liveConnections == 0 ? 1 : 0;
        const uint32_t status =
            Entry<RDXTerminateProc>(link, RDXENTRY_TERMINATE)(connection->priv, last);
        if (status == RDSTATUS_OK)
            CountCall(RDXENTRY_TERMINATE);
        else
            LogFailure(status);
    }
    RDMemFree(connection->priv);
    RDStreamDataFree(&connection->name);
    RDMemFree(connection);
}

} // namespace rdx

extern "C" RD_EXPORT uint32_t RDConnectFree(uint32_t handle) {
    if (rdx::Context() == nullptr) return RDSTATUS_OK;
    if (ConnectionRecord *connection = rdx::FindConnection(handle)) rdx::FreeConnection(connection);
    return RDSTATUS_OK;
}
