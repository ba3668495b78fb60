// rdodbc: the link connector for ODBC data sources (through the driver
// manager). The entry points check the private area and hand over to the
// connection object it holds.
#include "connector_records.h"
#include "connector_resume.h"
#include "connector_values.h"
#include "link_entries.h"
#include "odbc_connection.h"
#include "property_value.h"
#include "rdx_connector.h"
#include "rdx_field.h"
#include "rdx_status.h"
#include "rdx_stream.h"

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
    Declare(rdxc::kOrderBy, RDTYPE_TEXT, "OrderBy"),
    Declare(rdxc::kIdentity, RDTYPE_TEXT, "Identity"),
    Declare(rdxc::kRounding, RDTYPE_TEXT, "Rounding"),
    Declare(rdxc::kDatetimeFormat, RDTYPE_TEXT, "DatetimeFormat"),
    PropertyDeclaration{0, 0, 0, nullptr, 0},
};

} // namespace

RDXC_LINK_ENTRY_POINTS(Connection, kDeclarations)
