// SPDX-License-Identifier: Apache-2.0
// rdsqlite: the link connector for SQLite databases. Its entry points hand over to the connection
// object, which declares the properties.
#include "link_entries.h"
#include "sqlite_connection.h"

RDXC_LINK_CONNECTOR(rdsqlite::Connection)
