// SPDX-License-Identifier: Apache-2.0
// rdodbc: the link connector for ODBC data sources (through the driver manager). Its entry points
// hand over to the connection object, which declares the properties.
#include "link_entries.h"
#include "odbc_connection.h"

RDXC_LINK_CONNECTOR(rdodbc::Connection)
