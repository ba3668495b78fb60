// rdpg: the link connector for PostgreSQL databases. The entry points
// check the private area and hand over to the connection object it holds.
#include "connector_actions.h"
#include "connector_records.h"
#include "connector_resume.h"
#include "connector_values.h"
#include "link_entries.h"
#include "pg_connection.h"
#include "property_value.h"
#include "rdx_connector.h"
#include "rdx_field.h"
#include "rdx_status.h"
#include "rdx_stream.h"

namespace {

using rdpg::Connection;
using rdxc::Declare;

constexpr PropertyDeclaration kDeclarations[] = {
    Declare(rdpg::kDatabase, RDTYPE_TEXT, "Database"),
    Declare(rdpg::kTable, RDTYPE_TEXT, "Table"),
    Declare(rdpg::kSql, RDTYPE_TEXT, "SQL"),
    Declare(rdpg::kKeys, RDTYPE_TEXT, "Keys"),
    Declare(rdpg::kTransaction, RDTYPE_TEXT, "Transaction"),
    Declare(rdpg::kConnection, RDTYPE_TEXT, "Connection"),
    Declare(rdpg::kHost, RDTYPE_TEXT, "Host"),
    Declare(rdpg::kPort, RDTYPE_TEXT, "Port"),
    Declare(rdpg::kUser, RDTYPE_TEXT, "User"),
    Declare(rdpg::kPassword, RDTYPE_TEXT, "Password"),
    Declare(rdpg::kLastError, RDTYPE_TEXT, "LastError"),
    Declare(rdxc::kMarkName, RDTYPE_TEXT, "MarkName"),
    Declare(rdxc::kMark, RDTYPE_TEXT, "Mark"),
    Declare(rdxc::kOrderBy, RDTYPE_TEXT, "OrderBy"),
    Declare(rdxc::kUncommitted, RDTYPE_INT, "Uncommitted"),
    Declare(rdxc::kIdentity, RDTYPE_TEXT, "Identity"),
    Declare(rdxc::kRounding, RDTYPE_TEXT, "Rounding"),
    Declare(rdxc::kDatetimeFormat, RDTYPE_TEXT, "DatetimeFormat"),
    PropertyDeclaration{0, 0, 0, nullptr, 0},
};

} // namespace

RDXC_LINK_ENTRY_POINTS(Connection, kDeclarations)
