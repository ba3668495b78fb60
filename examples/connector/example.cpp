// SPDX-License-Identifier: Apache-2.0
// A minimal link connector: each connection counts rows 1, 2, ... up to its
// property Rows (number 1, default 3) and fetches them into the first field
// of the caller's field list. docs/connectors.md of the sources walks through it.
#include "rdx_connector.h"
#include "rdx_fieldlist.h"
#include "rdx_fieldvalue.h"

namespace {

// The connection's private area: zeroed by the library, freed by it.
struct Counter {
    int32_t rows;
    int32_t next; // the row the next fetch starts with, from 0
};

constexpr uint32_t kRows = 1;
constexpr uint32_t kNoProperty = 12555;

constexpr PropertyDeclaration kDeclarations[] = {
    {kRows, 1 /* Int */, 0, "Rows", 4},
    {0x10001, 6 /* text */, 0, nullptr, 0}, // Server, by its built-in name
    {0, 0, 0, nullptr, 0},
};

} // namespace

RDX_ENTRY uint32_t RDXIdentify(IdentifyRecord *record) {
    record->version = RDX_INTERFACE_VERSION;
    record->kind = RDX_KIND_LINK;
    record->privateSize = sizeof(Counter);
    record->nameCharset = 65535; // the names above are native text
    record->declarations = kDeclarations;
    return 0;
}

RDX_ENTRY uint32_t RDXInitialize(void *priv, uint32_t, uint32_t) {
    static_cast<Counter *>(priv)->rows = 3;
    return 0;
}

RDX_ENTRY uint32_t RDXTerminate(void *, uint32_t) {
    return 0;
}

RDX_ENTRY uint32_t RDXGetProperty(void *priv, uint32_t number, uint32_t field) {
    if (number != kRows) return kNoProperty;
    return RDFieldSetInt(field, 1, &static_cast<Counter *>(priv)->rows);
}

RDX_ENTRY uint32_t RDXSetProperty(void *priv, uint32_t number, uint32_t field) {
    if (number == 0x10001) return 0; // any server will do
    if (number != kRows) return kNoProperty;
    return RDFieldGetInt(field, 1, &static_cast<Counter *>(priv)->rows, nullptr);
}

RDX_ENTRY uint32_t RDXConnect(void *priv) {
    static_cast<Counter *>(priv)->next = 0;
    return 0;
}

RDX_ENTRY uint32_t RDXDisconnect(void *, uint32_t) {
    return 0;
}

RDX_ENTRY uint32_t RDXExecute(void *, uint32_t, uint32_t, uint32_t *count) {
    *count = 0;
    return 0;
}

RDX_ENTRY uint32_t RDXSelect(void *priv, uint32_t, uint32_t, uint32_t, uint32_t *count) {
    auto *counter = static_cast<Counter *>(priv);
    counter->next = 0;
    *count = static_cast<uint32_t>(counter->rows);
    return 0;
}

RDX_ENTRY uint32_t RDXFetch(void *priv, uint32_t list, uint32_t first, uint32_t count,
                            uint32_t *fetched) {
    auto *counter = static_cast<Counter *>(priv);
    uint32_t field = 0;
    if (const uint32_t status = RDFieldlistGetField(list, 1, 65535, &field, nullptr); status != 0)
        return status;
    for (*fetched = 0; *fetched < count; ++*fetched) {
        if (counter->next >= counter->rows) return RDX_END_OF_DATA;
        const int32_t row = ++counter->next;
        if (const uint32_t status = RDFieldSetInt(field, first + *fetched, &row); status != 0)
            return status;
    }
    return 0;
}

// The rows cannot be written: the remaining entry points refuse or do nothing.
RDX_ENTRY uint32_t RDXInsert(void *, uint32_t, uint32_t, uint32_t, uint32_t *) {
    return 12289;
}
RDX_ENTRY uint32_t RDXUpdate(void *, uint32_t, uint32_t, uint32_t, uint32_t *) {
    return 12289;
}
RDX_ENTRY uint32_t RDXRemove(void *, uint32_t, uint32_t, uint32_t, uint32_t *) {
    return 12289;
}
RDX_ENTRY uint32_t RDXAction(void *, uint32_t) {
    return 0;
}
RDX_ENTRY uint32_t RDXCatalog(void *, uint32_t, uint32_t, uint32_t *count) {
    *count = 0;
    return 0;
}
RDX_ENTRY uint32_t RDXCreate(void *, uint32_t, uint32_t) {
    return 12289;
}
RDX_ENTRY uint32_t RDXDrop(void *, uint32_t) {
    return 12289;
}
