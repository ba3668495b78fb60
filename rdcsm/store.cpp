// SPDX-License-Identifier: Apache-2.0
// Opening the database, the schema and the look-ups shared by the requests.
#include "store.h"

#include "schema.h"

#include <chrono>

namespace rdcsm {

bool Store::Open(const std::string &path, DbError &error) {
    return Open(StoreUri{StoreKind::kSqlite, path}, error);
}

bool Store::Open(const StoreUri &store, DbError &error) {
    if (!db_.Open(store, error)) return false;
    try {
        if (!db_.IsPostgres()) {
            // Small pages for a new database: most requests add or change
            // one small row, and every commit writes its changed pages to
            // the log.
            db_.Exec("PRAGMA page_size=1024");
            db_.Exec("PRAGMA journal_mode=WAL");
            db_.Exec("PRAGMA synchronous=NORMAL");
            db_.Exec("PRAGMA foreign_keys=ON");
        }
        UpgradeSchema(db_);
        offsetMs_ = Setting("clock_offset_ms", 0);
    } catch (const DbError &failure) {
        error = failure;
        return false;
    }
    return true;
}

std::optional<int64_t> Store::FindObject(ObjectKind kind, std::string_view name) {
    Statement find(db_, "SELECT handle FROM objects WHERE kind = ? AND name = ?");
    find.Bind(1, int64_t{kind}).Bind(2, name);
    if (!find.Step()) return std::nullopt;
    return find.Int(0);
}

std::optional<Resolved> Store::Resolve(uint32_t handle) {
    if (handle == 0) return std::nullopt;
    if (handle > kRunBase) {
        Statement run(db_, "SELECT activity FROM runs WHERE id = ?");
        run.Bind(1, int64_t{handle - kRunBase});
        if (!run.Step()) return std::nullopt;
        return Resolved{run.Int(0), int64_t{handle - kRunBase}};
    }
    Statement object(db_, "SELECT handle FROM objects WHERE handle = ?");
    object.Bind(1, int64_t{handle});
    if (!object.Step()) return std::nullopt;
    return Resolved{int64_t{handle}, 0};
}

int64_t Store::DefineObject(ObjectKind kind, std::string_view name,
                            const std::string &description) {
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(description.data()),
                                   description.size());
    if (auto handle = FindObject(kind, name)) {
        Statement update(db_, "UPDATE objects SET description = ? WHERE handle = ?");
        update.BindBlob(1, bytes).Bind(2, *handle).Run();
        return *handle;
    }
    // Another server manager on the store may define the name meanwhile:
    // its object is replaced then.
    Statement insert(db_, "INSERT INTO objects(kind, name, description) VALUES(?, ?, ?) "
                          "ON CONFLICT(kind, name) DO NOTHING RETURNING handle");
    insert.Bind(1, int64_t{kind}).Bind(2, name).BindBlob(3, bytes);
    if (insert.Step()) return insert.Int(0);
    insert.Reset();
    return DefineObject(kind, name, description);
}

int64_t Store::Setting(std::string_view key, int64_t fallback) {
    Statement read(db_, "SELECT value FROM settings WHERE key = ?");
    read.Bind(1, key);
    return read.Step() ? read.Int(0) : fallback;
}

void Store::SetSetting(std::string_view key, int64_t value) {
    Statement write(db_, "INSERT INTO settings(key, value) VALUES(?, ?) "
                         "ON CONFLICT(key) DO UPDATE SET value = excluded.value");
    write.Bind(1, key).Bind(2, value).Run();
}

int64_t Store::NowMs() {
    using namespace std::chrono;
    const int64_t now = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return now + offsetMs_;
}

void Store::MoveClock(int64_t ms) {
    SetSetting("clock_offset_ms", offsetMs_ + ms);
    offsetMs_ += ms;
}

} // namespace rdcsm
