// rdodbc: the link connector for ODBC data sources (through the driver
// manager). The entry points check the private area and hand over to the
// connection object it holds.
#include "odbc_connection.h"
#include "property_value.h"
#include "rdx_connector.h"
#include "rdx_field.h"
#include "rdx_status.h"
#include "rdx_stream.h"

#include <new>

namespace {

using rdodbc::Connection;
using rdxc::Declare;

constexpr PropertyDeclaration kDeclarations[] = {
    Declare(rdodbc::kServer, RDTYPE_TEXT, "DataSource"),
    Declare(rdodbc::kUser, RDTYPE_TEXT, "User"),
    Declare(rdodbc::kPassword, RDTYPE_TEXT, "Password"),
    Declare(rdodbc::kTable, RDTYPE_TEXT, "Table"),
    Declare(rdodbc::kSql, RDTYPE_TEXT, "SQL"),
    Declare(rdodbc::kLastError, RDTYPE_TEXT, "LastError"),
    PropertyDeclaration{0, 0, 0, nullptr, 0},
};

Connection *Of(void *priv) {
    return priv == nullptr ? nullptr : *static_cast<Connection **>(priv);
}

} // namespace

RDX_ENTRY uint32_t RDXIdentify(IdentifyRecord *record) {
    if (record == nullptr) return RDSTATUS_NULLARG1;
    record->version = RDX_INTERFACE_VERSION;
    record->kind = RDX_KIND_LINK;
    record->privateSize = sizeof(Connection *);
    record->nameCharset = RDCHARSET_INTERCHANGE;
    record->declarations = kDeclarations;
    return RDSTATUS_OK;
}

RDX_ENTRY uint32_t RDXInitialize(void *priv, uint32_t, uint32_t) {
    if (priv == nullptr) return RDSTATUS_NULLARG1;
    Connection *connection = new (std::nothrow) Connection();
    if (connection == nullptr) return RDSTATUS_NOMEMORY;
    *static_cast<Connection **>(priv) = connection;
    return RDSTATUS_OK;
}

RDX_ENTRY uint32_t RDXTerminate(void *priv, uint32_t) {
    delete Of(priv);
    if (priv != nullptr) *static_cast<Connection **>(priv) = nullptr;
    return RDSTATUS_OK;
}

RDX_ENTRY uint32_t RDXGetProperty(void *priv, uint32_t number, uint32_t field) {
    Connection *c = Of(priv);
    return c == nullptr ? RDSTATUS_NOCONNECTION : c->GetProperty(number, field);
}

RDX_ENTRY uint32_t RDXSetProperty(void *priv, uint32_t number, uint32_t field) {
    Connection *c = Of(priv);
    return c == nullptr ? RDSTATUS_NOCONNECTION : c->SetProperty(number, field);
}

RDX_ENTRY uint32_t RDXConnect(void *priv) {
    Connection *c = Of(priv);
    return c == nullptr ? RDSTATUS_NOCONNECTION : c->Connect();
}

RDX_ENTRY uint32_t RDXDisconnect(void *priv, uint32_t) {
    if (Connection *c = Of(priv)) c->Disconnect();
    return RDSTATUS_OK;
}

RDX_ENTRY uint32_t RDXExecute(void *priv, uint32_t, uint32_t, uint32_t *count) {
    if (count != nullptr) *count = 0;
    Connection *c = Of(priv);
    uint32_t local = 0;
    return c == nullptr ? RDSTATUS_NOCONNECTION : c->Execute(count ? count : &local);
}

RDX_ENTRY uint32_t RDXSelect(void *priv, uint32_t list, uint32_t perFetch, uint32_t,
                             uint32_t *count) {
    uint32_t local = 0;
    Connection *c = Of(priv);
    return c == nullptr ? RDSTATUS_NOCONNECTION : c->Select(list, perFetch, count ? count : &local);
}

RDX_ENTRY uint32_t RDXFetch(void *priv, uint32_t list, uint32_t first, uint32_t count,
                            uint32_t *fetched) {
    uint32_t local = 0;
    Connection *c = Of(priv);
    return c == nullptr ? RDSTATUS_NOCONNECTION
                        : c->Fetch(list, first, count, fetched ? fetched : &local);
}

RDX_ENTRY uint32_t RDXInsert(void *priv, uint32_t list, uint32_t first, uint32_t count,
                             uint32_t *done) {
    uint32_t local = 0;
    Connection *c = Of(priv);
    return c == nullptr ? RDSTATUS_NOCONNECTION
                        : c->Insert(list, first, count, done ? done : &local);
}

RDX_ENTRY uint32_t RDXUpdate(void *priv, uint32_t, uint32_t, uint32_t, uint32_t *done) {
    if (done != nullptr) *done = 0;
    Connection *c = Of(priv);
    return c == nullptr ? RDSTATUS_NOCONNECTION : c->Unsupported("updates");
}

RDX_ENTRY uint32_t RDXRemove(void *priv, uint32_t, uint32_t, uint32_t, uint32_t *done) {
    if (done != nullptr) *done = 0;
    Connection *c = Of(priv);
    return c == nullptr ? RDSTATUS_NOCONNECTION : c->Unsupported("removes");
}

RDX_ENTRY uint32_t RDXAction(void *priv, uint32_t) {
    Connection *c = Of(priv);
    return c == nullptr ? RDSTATUS_NOCONNECTION : c->Unsupported("actions");
}

RDX_ENTRY uint32_t RDXCatalog(void *priv, uint32_t kind, uint32_t pass, uint32_t *count) {
    uint32_t local = 0;
    Connection *c = Of(priv);
    return c == nullptr ? RDSTATUS_NOCONNECTION : c->Catalog(kind, pass, count ? count : &local);
}

RDX_ENTRY uint32_t RDXCreate(void *priv, uint32_t kind, uint32_t pass) {
    Connection *c = Of(priv);
    return c == nullptr ? RDSTATUS_NOCONNECTION : c->Create(kind, pass);
}

RDX_ENTRY uint32_t RDXDrop(void *priv, uint32_t kind) {
    Connection *c = Of(priv);
    return c == nullptr ? RDSTATUS_NOCONNECTION : c->Drop(kind);
}
