// SPDX-License-Identifier: Apache-2.0
#include "store_choice.h"

#include "rdplat_file.h"
#include "rdplat_ini.h"

#include <charconv>
#include <climits>
#include <unistd.h>

namespace rdcsm {

namespace {

// A key of the home's [Configuration]; empty when missing.
std::string HomeKey(const char *key) {
    char value[RDINI_LINE_MAX + 1] = {};
    if (RDINIGetString("Configuration", key, value, "quarry.ini") != 0) return {};
    return value;
}

std::string MachineName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "localhost";
    return name;
}

} // namespace

bool ChooseStore(const StoreChoice &given, bool homeFound, StoreUri &store, std::string &error) {
    if (!given.store.empty()) return ParseStoreUri(given.store, store, error);
    if (!given.database.empty()) {
        store = {StoreKind::kSqlite, given.database};
        return true;
    }
    const std::string configured = homeFound ? HomeKey("Store") : "";
    if (!configured.empty()) {
        if (ParseStoreUri(configured, store, error)) return true;
        error = "quarry.ini: Store=: " + error;
        return false;
    }
    const char *home = homeFound ? RDFileExeDir() : nullptr;
    if (home == nullptr || *home == '\0') {
        error = "no home directory (quarry.ini is neither beside rdcsm nor on PATH): set one "
                "up with `rdcsm init`, then name it with -c FOLDER or put it on PATH; or name "
                "the store with --store or --db";
        return false;
    }
    store = {StoreKind::kSqlite, std::string(home) + "rdcsm.db"};
    return true;
}

bool ChooseHost(const StoreChoice &given, ServeOptions &options, std::string &error) {
    options.host = !given.host.empty() ? given.host : HomeKey("Host");
    if (options.host.empty()) options.host = MachineName();
    int64_t lease = given.leaseMs;
    const std::string configured = HomeKey("LeaseMs");
    if (lease == 0 && !configured.empty()) {
        const char *end = configured.data() + configured.size();
        const auto read = std::from_chars(configured.data(), end, lease);
        if (read.ec != std::errc() || read.ptr != end || lease < kLeaseMinMs ||
            lease > kLeaseMaxMs) {
            error = "quarry.ini: LeaseMs=" + configured + " is not a number of milliseconds " +
                    "from " + std::to_string(kLeaseMinMs) + " to " + std::to_string(kLeaseMaxMs);
            return false;
        }
    }
    if (lease != 0) options.lease = std::chrono::milliseconds(lease);
    return true;
}

std::string StoreName(const StoreUri &store) {
    return store.kind == StoreKind::kSqlite ? "the database " + store.target
                                            : "the store " + store.Shown();
}

} // namespace rdcsm
