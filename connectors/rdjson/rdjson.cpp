// SPDX-License-Identifier: Apache-2.0
// rdjson: the link connector for JSON Lines files. Its entry points hand
// over to the connection object, which declares the properties.
#include "json_connection.h"
#include "link_entries.h"

RDXC_LINK_CONNECTOR(rdjson::Connection)
