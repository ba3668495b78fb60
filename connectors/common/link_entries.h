// SPDX-License-Identifier: Apache-2.0
// The entry points of a link connector whose connections are objects of a
// class C: RDXInitialize makes one and keeps its pointer in the private
// area, every other entry point finds it there and calls the member of its
// own name, and RDXTerminate deletes it. Out-counts are cleared first and
// may be null. An operation that C does not define answers through
// C::Unsupported(name). A connector's entry file writes, once:
//     RDXC_LINK_CONNECTOR(myconnector::Connection)
#pragma once

#include "connector_actions.h"
#include "rdx_connector.h"
#include "rdx_status.h"
#include "rdx_stream.h"

#include <cstdint>
#include <new>
#include <type_traits>

namespace rdxc {

template <class C> struct LinkEntries {
    static C *Of(void *priv) { return priv == nullptr ? nullptr : *static_cast<C **>(priv); }

    static uint32_t Identify(IdentifyRecord *record, const PropertyDeclaration *declarations) {
        if (record == nullptr) return RDSTATUS_NULLARG1;
        record->version = RDX_INTERFACE_VERSION;
        record->kind = RDX_KIND_LINK;
        record->privateSize = sizeof(C *);
        record->nameCharset = RDCHARSET_INTERCHANGE;
        record->declarations = declarations;
        return RDSTATUS_OK;
    }

    static uint32_t Initialize(void *priv) {
        if (priv == nullptr) return RDSTATUS_NULLARG1;
        C *connection = new (std::nothrow) C();
        if (connection == nullptr) return RDSTATUS_NOMEMORY;
        *static_cast<C **>(priv) = connection;
        return RDSTATUS_OK;
    }

    static uint32_t Terminate(void *priv) {
        delete Of(priv);
        if (priv != nullptr) *static_cast<C **>(priv) = nullptr;
        return RDSTATUS_OK;
    }

    // A connection whose disconnect can fail (it commits what it holds)
    // returns its status; others always succeed.
    static uint32_t Disconnect(void *priv) {
        C *c = Of(priv);
        if (c == nullptr) return RDSTATUS_OK;
        if constexpr (std::is_void_v<decltype(c->Disconnect())>) {
            c->Disconnect();
            return RDSTATUS_OK;
        } else {
            return c->Disconnect();
        }
    }

    // Calls `call` with the connection, or answers that there is none.
    template <class Call> static uint32_t With(void *priv, Call call) {
        C *c = Of(priv);
        return c == nullptr ? RDSTATUS_NOCONNECTION : call(*c);
    }

    // A record operation: Fetch, Insert, Update or Remove.
    template <class Call>
    static uint32_t Records(void *priv, uint32_t *done, const char *name, Call call) {
        if (done != nullptr) *done = 0;
        uint32_t local = 0;
        return With(priv, [&](C &c) {
            if constexpr (requires { call(c, &local); })
                return call(c, done != nullptr ? done : &local);
            else
                return c.Unsupported(name);
        });
    }
};

} // namespace rdxc

// The entry file of a link connector whose connection class C declares
// its properties as C::kDeclarations.
#define RDXC_LINK_CONNECTOR(C) RDXC_LINK_ENTRY_POINTS(C, C::kDeclarations.data())

// The members are found by name; a missing one makes the operation
// unsupported (Execute, Update, Remove, Action) or, for Select, is looked
// for without the records-per-fetch argument.
#define RDXC_LINK_ENTRY_POINTS(C, declarations)                                                    \
    using RdxcEntries = rdxc::LinkEntries<C>;                                                      \
    RDX_ENTRY uint32_t RDXIdentify(IdentifyRecord *record) {                                       \
        return RdxcEntries::Identify(record, declarations);                                        \
    }                                                                                              \
    RDX_ENTRY uint32_t RDXInitialize(void *priv, uint32_t, uint32_t) {                             \
        return RdxcEntries::Initialize(priv);                                                      \
    }                                                                                              \
    RDX_ENTRY uint32_t RDXTerminate(void *priv, uint32_t) {                                        \
        return RdxcEntries::Terminate(priv);                                                       \
    }                                                                                              \
    RDX_ENTRY uint32_t RDXGetProperty(void *priv, uint32_t number, uint32_t field) {               \
        return RdxcEntries::With(priv, [&](C &c) { return c.GetProperty(number, field); });        \
    }                                                                                              \
    RDX_ENTRY uint32_t RDXSetProperty(void *priv, uint32_t number, uint32_t field) {               \
        return RdxcEntries::With(priv, [&](C &c) { return c.SetProperty(number, field); });        \
    }                                                                                              \
    RDX_ENTRY uint32_t RDXConnect(void *priv) {                                                    \
        return RdxcEntries::With(priv, [](C &c) { return c.Connect(); });                          \
    }                                                                                              \
    RDX_ENTRY uint32_t RDXDisconnect(void *priv, uint32_t) {                                       \
        return RdxcEntries::Disconnect(priv);                                                      \
    }                                                                                              \
    RDX_ENTRY uint32_t RDXExecute(void *priv, uint32_t, uint32_t, uint32_t *count) {               \
        return RdxcEntries::Records(                                                               \
            priv, count, "execute",                                                                \
            [](auto &c, uint32_t *n) -> decltype(c.Execute(n)) { return c.Execute(n); });          \
    }                                                                                              \
    RDX_ENTRY uint32_t RDXSelect(void *priv, uint32_t list, uint32_t perFetch, uint32_t,           \
                                 uint32_t *count) {                                                \
        return RdxcEntries::Records(priv, count, "select", [&](auto &c, uint32_t *n) {             \
            if constexpr (requires { c.Select(list, perFetch, n); })                               \
                return c.Select(list, perFetch, n);                                                \
            else                                                                                   \
                return c.Select(list, n);                                                          \
        });                                                                                        \
    }                                                                                              \
    RDXC_LINK_RECORD_ENTRY(C, RDXFetch, Fetch, "fetch")                                            \
    RDXC_LINK_RECORD_ENTRY(C, RDXInsert, Insert, "insert")                                         \
    RDXC_LINK_RECORD_ENTRY(C, RDXUpdate, Update, "update")                                         \
    RDXC_LINK_RECORD_ENTRY(C, RDXRemove, Remove, "remove")                                         \
    RDX_ENTRY uint32_t RDXAction(void *priv, uint32_t action) {                                    \
        return RdxcEntries::With(priv, [&](auto &c) {                                              \
            if constexpr (requires { c.Action(action); })                                          \
                return c.Action(action);                                                           \
            else if (action == rdxc::kActionRollback)                                              \
                return RDSTATUS_OK; /* nothing is held back */                                     \
            else                                                                                   \
                return c.Unsupported("actions");                                                   \
        });                                                                                        \
    }                                                                                              \
    RDX_ENTRY uint32_t RDXCatalog(void *priv, uint32_t kind, uint32_t pass, uint32_t *count) {     \
        return RdxcEntries::Records(priv, count, "catalog",                                        \
                                    [&](C &c, uint32_t *n) { return c.Catalog(kind, pass, n); });  \
    }                                                                                              \
    RDX_ENTRY uint32_t RDXCreate(void *priv, uint32_t kind, uint32_t pass) {                       \
        return RdxcEntries::With(priv, [&](C &c) { return c.Create(kind, pass); });                \
    }                                                                                              \
    RDX_ENTRY uint32_t RDXDrop(void *priv, uint32_t kind) {                                        \
        return RdxcEntries::With(priv, [&](C &c) { return c.Drop(kind); });                        \
    }

// One of Fetch, Insert, Update and Remove: (list, first, count, done).
#define RDXC_LINK_RECORD_ENTRY(C, entry, member, name)                                             \
    RDX_ENTRY uint32_t entry(void *priv, uint32_t list, uint32_t first, uint32_t count,            \
                             uint32_t *done) {                                                     \
        return RdxcEntries::Records(                                                               \
            priv, done, name,                                                                      \
            [&](auto &c, uint32_t *n) -> decltype(c.member(list, first, count, n)) {               \
                return c.member(list, first, count, n);                                            \
            });                                                                                    \
    }
