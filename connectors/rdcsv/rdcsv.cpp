// SPDX-License-Identifier: Apache-2.0
// rdcsv: the link connector for delimited text files. Its entry points
// hand over to the connection object, which declares the properties.
#include "csv_connection.h"
#include "link_entries.h"

RDXC_LINK_CONNECTOR(rdcsv::Connection)
