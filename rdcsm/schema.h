// SPDX-License-Identifier: Apache-2.0
// The store's tables, created and upgraded by rdcsm itself. The table
// schema_version holds the version of the tables; each upgrade from one
// version to the next runs in the one transaction that opens the store,
// which also serialises several server managers starting at once on one
// empty store. A SQLite file made before the version table (version 0)
// has some of the tables and columns and gains the rest.
#pragma once

#include "db.h"

#include <cstdint>

namespace rdcsm {

// Version 1: objects, runs, fields, log, stats, settings. Version 2: the
// host, lease and claims of a run. Version 3: progress samples.
inline constexpr int64_t kSchemaVersion = 3;

// Creates or upgrades the tables to kSchemaVersion; throws DbError, also
// for a store of a newer version than this program knows.
void UpgradeSchema(Database &db);

// The store's version: 0 for one without the version table.
int64_t SchemaVersion(Database &db);

} // namespace rdcsm
