// rdsqlite: the link connector for SQLite databases. The entry points
// check the private area and hand over to the connection object it holds.
#include "connector_records.h"
#include "connector_resume.h"
#include "link_entries.h"
#include "property_value.h"
#include "rdx_connector.h"
#include "rdx_field.h"
#include "rdx_status.h"
#include "rdx_stream.h"
#include "sqlite_connection.h"

namespace {

using rdsqlite::Connection;
using rdxc::Declare;

constexpr PropertyDeclaration kDeclarations[] = {
    Declare(rdsqlite::kDatabase, RDTYPE_TEXT, "Database"),
    Declare(rdsqlite::kTable, RDTYPE_TEXT, "Table"),
    Declare(rdsqlite::kSql, RDTYPE_TEXT, "SQL"),
    Declare(rdsqlite::kKeys, RDTYPE_TEXT, "Keys"),
    Declare(rdsqlite::kSetup, RDTYPE_TEXT, "Setup"),
    Declare(rdsqlite::kCreate, RDTYPE_INT, "Create"),
    Declare(rdsqlite::kBusyTimeout, RDTYPE_INT, "BusyTimeout"),
    Declare(rdsqlite::kLastError, RDTYPE_TEXT, "LastError"),
    Declare(rdxc::kMarkName, RDTYPE_TEXT, "MarkName"),
    Declare(rdxc::kMark, RDTYPE_TEXT, "Mark"),
    Declare(rdxc::kOrderBy, RDTYPE_TEXT, "OrderBy"),
    Declare(rdxc::kIdentity, RDTYPE_TEXT, "Identity"),
    Declare(rdxc::kRounding, RDTYPE_TEXT, "Rounding"),
    Declare(rdxc::kDatetimeFormat, RDTYPE_TEXT, "DatetimeFormat"),
    PropertyDeclaration{0, 0, 0, nullptr, 0},
};

} // namespace

RDXC_LINK_ENTRY_POINTS(Connection, kDeclarations)
