// SPDX-License-Identifier: Apache-2.0
// Where the server manager keeps its state: `sqlite:PATH` (or a bare path)
// for a SQLite file, `postgresql://...`, `postgres://...` or a libpq
// keyword string (`host=/tmp/x port=5432 dbname=rdx`) for a PostgreSQL
// database. A password in it is never shown: Shown() masks it as ****.
#pragma once

#include <string>

namespace rdcsm {

enum class StoreKind { kSqlite, kPostgres };

struct StoreUri {
    StoreKind kind = StoreKind::kSqlite;
    // The SQLite file, or the libpq connection string as given.
    std::string target;

    // The URI for people: the password masked.
    std::string Shown() const;
    // What names the same store for every process of this machine: the
    // SQLite file's real path, or the PostgreSQL server, database and user
    // (no password); empty when a SQLite file cannot be resolved.
    std::string Identity() const;
};

// Parses a --store value or a Store= key; false with error (the text
// masked) when it names no store rdcsm knows.
bool ParseStoreUri(const std::string &text, StoreUri &store, std::string &error);

// text with the value of every password in it (URI user information, a
// password= keyword or query parameter) replaced by ****.
std::string MaskPassword(const std::string &text);

} // namespace rdcsm
