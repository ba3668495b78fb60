// SPDX-License-Identifier: Apache-2.0
// The server manager's state in one store (a SQLite file or a PostgreSQL
// database, store_uri.h): activities and links with their descriptions,
// the run queue, fields, log records, statistics and settings (clock
// offset, server state). The caller serialises access (one connection);
// every changing request runs in one transaction.
#pragma once

#include "db.h"
#include "run_handles.h"
#include "store_uri.h"

#include <cstdint>
#include <optional>
#include <string>

namespace rdcsm {

// Kinds of the objects table.
enum ObjectKind : int64_t { kActivity = 1, kLink = 2 };

// States of a run: queued, taken by a host, ended by its host, or ended
// because its host died before it told the end (every state from kEnded on
// is an end).
enum RunState : int64_t { kQueued = 0, kRunning = 1, kEnded = 2, kHostLost = 3 };

// Flags of a queued run, handed to the host in the next-activity answer's
// word 36: bit 0 asks it to resume the copy, bit 1 to start it again from
// nothing (a full refresh).
inline constexpr uint32_t kRunResumes = 1, kRunRefreshes = 2;

// The open-activity argument of a run in the caller's own process.
inline constexpr uint32_t kOpenDirectRun = 1;

// What a handle names: the activity (or link) and, for a run handle, the run.
struct Resolved {
    int64_t object = 0;
    int64_t run = 0;
};

class Store {
  public:
    // Opens the store, creates its tables or upgrades them (schema.h); a
    // SQLite file is switched to WAL with synchronous=NORMAL. False with
    // error set on failure.
    bool Open(const StoreUri &store, DbError &error);
    // Opens the SQLite file at path.
    bool Open(const std::string &path, DbError &error);
    Database &Db() { return db_; }

    // The handle of the object of kind and name.
    std::optional<int64_t> FindObject(ObjectKind kind, std::string_view name);
    // An activity, link or run handle; empty for one that does not exist.
    std::optional<Resolved> Resolve(uint32_t handle);

    // Creates the object or replaces its description, keeping its handle.
    int64_t DefineObject(ObjectKind kind, std::string_view name, const std::string &description);

    int64_t Setting(std::string_view key, int64_t fallback);
    void SetSetting(std::string_view key, int64_t value);

    // The server's clock in milliseconds since 1970 (UTC): the system clock
    // moved by the test offset (read at Open).
    int64_t NowMs();
    // Moves the clock's offset (stored, so that a restart keeps it).
    void MoveClock(int64_t ms);

  private:
    Database db_;
    int64_t offsetMs_ = 0;
};

} // namespace rdcsm
