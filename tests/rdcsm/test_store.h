// SPDX-License-Identifier: Apache-2.0
// The store of an rdcsm test: the SQLite file it names, or, when the
// environment says RDX_TEST_STORE=pg, a fresh database of the suite's
// PostgreSQL cluster standing for that file, made at its first use and
// dropped when the test ends.
#pragma once

#include "store_uri.h"

#include <string>

namespace rdcsmtest {

// Whether the tests run on PostgreSQL stores.
bool PgStoreTests();

// The store standing for the SQLite file at path.
rdcsm::StoreUri TestStore(const std::string &path);

// The rdcsm option naming that store, quoted for the shell: --db PATH or
// --store URI.
std::string StoreOption(const std::string &path);

// A fresh database of the cluster (dropped when the test ends); its libpq
// connection string.
std::string FreshPgDatabase();

// Skips a test of what only a SQLite store has.
#define SKIP_ON_PG_STORE()                                                                         \
    if (::rdcsmtest::PgStoreTests()) GTEST_SKIP() << "a SQLite store's own behaviour"

} // namespace rdcsmtest
