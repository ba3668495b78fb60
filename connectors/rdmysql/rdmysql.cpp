// SPDX-License-Identifier: Apache-2.0
// rdmysql: the link connector for MariaDB (and MySQL) servers. Its entry
// points hand over to the connection object, which declares the properties.
#include "link_entries.h"
#include "mysql_connection.h"

RDXC_LINK_CONNECTOR(rdmysql::Connection)
