// SPDX-License-Identifier: Apache-2.0
// Which store and which host settings a rdcsm process uses: the command
// line's --store or --db, else the home's quarry.ini (Store=, Host=,
// LeaseMs= in [Configuration]), else rdcsm.db in the home and the
// machine's host name. The command line wins over the file.
#pragma once

#include "pipe_server.h"
#include "store_uri.h"

#include <string>

namespace rdcsm {

// What the command line said; empty texts and 0 for what it did not.
struct StoreChoice {
    std::string store, database, host;
    int64_t leaseMs = 0;
};

// The store to open. homeFound tells whether the platform found the home
// (its quarry.ini). False with error set when none can be named.
bool ChooseStore(const StoreChoice &given, bool homeFound, StoreUri &store, std::string &error);

// Fills options.host and options.lease. False with error set for a bad
// LeaseMs= key.
bool ChooseHost(const StoreChoice &given, ServeOptions &options, std::string &error);

// The store in messages: "the database PATH" or "the store URI" (masked).
std::string StoreName(const StoreUri &store);

// The least and most lease a server manager may give its runs.
inline constexpr int64_t kLeaseMinMs = 1000, kLeaseMaxMs = 600000;

} // namespace rdcsm
