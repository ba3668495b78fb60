// SPDX-License-Identifier: Apache-2.0
// rdpg: the link connector for PostgreSQL databases. Its entry points hand over to the connection
// object, which declares the properties.
#include "link_entries.h"
#include "pg_connection.h"

RDXC_LINK_CONNECTOR(rdpg::Connection)
