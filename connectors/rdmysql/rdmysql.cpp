// SPDX-License-Identifier: Apache-2.0
// rdmysql: the link connector for MariaDB (and MySQL) servers. Its entry
// points hand over to the connection object, which declares the properties.
#include "link_entries.h"
#include "mysql_connection.h"

#include <mysql.h>

RDXC_LINK_CONNECTOR(rdmysql::Connection)

// The client library keeps state from its first connection on (character
// sets, plug-ins) until it is ended: the connector, its one user in a host,
// ends it when it is unloaded, so that nothing of it outlives the module.
__attribute__((destructor)) static void EndClientLibrary() {
    mysql_library_end();
}
