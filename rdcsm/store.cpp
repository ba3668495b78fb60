// Opening the database, the schema and the look-ups shared by the requests.
#include "store.h"

#include <chrono>

namespace rdcsm {

namespace {

constexpr const char *kSchema = R"sql(
CREATE TABLE IF NOT EXISTS objects(
  handle INTEGER PRIMARY KEY,
  kind INTEGER NOT NULL,
  name TEXT NOT NULL,
  description BLOB NOT NULL DEFAULT x'',
  UNIQUE(kind, name));
CREATE TABLE IF NOT EXISTS runs(
  id INTEGER PRIMARY KEY,
  activity INTEGER NOT NULL,
  waiter INTEGER NOT NULL DEFAULT 0,
  state INTEGER NOT NULL DEFAULT 0,
  end_code INTEGER,
  queued_ms INTEGER NOT NULL,
  started_ms INTEGER,
  ended_ms INTEGER,
  host_pid INTEGER,
  host_start INTEGER,
  flags INTEGER NOT NULL DEFAULT 0,
  host TEXT,
  lease_ms INTEGER,
  claims INTEGER NOT NULL DEFAULT 0);
CREATE INDEX IF NOT EXISTS runs_by_state ON runs(state, id);
CREATE INDEX IF NOT EXISTS runs_by_waiter ON runs(waiter, state);
CREATE TABLE IF NOT EXISTS fields(
  activity INTEGER NOT NULL,
  name TEXT NOT NULL,
  value BLOB NOT NULL,
  PRIMARY KEY(activity, name));
CREATE TABLE IF NOT EXISTS log(
  id INTEGER PRIMARY KEY,
  time_ms INTEGER NOT NULL,
  activity INTEGER NOT NULL,
  run INTEGER NOT NULL,
  number INTEGER NOT NULL,
  text TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS stats(
  id INTEGER PRIMARY KEY,
  time_ms INTEGER NOT NULL,
  activity INTEGER NOT NULL,
  run INTEGER NOT NULL,
  words BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS settings(
  key TEXT PRIMARY KEY,
  value INTEGER NOT NULL);
)sql";

// Columns added to tables after their first release, in order: a database
// made before gains them when it is opened.
struct AddedColumn {
    const char *table, *column, *add;
};
constexpr AddedColumn kAddedColumns[] = {
    // The host that took a run: its process id and start time.
    {"runs", "host_pid", "ALTER TABLE runs ADD COLUMN host_pid INTEGER"},
    {"runs", "host_start", "ALTER TABLE runs ADD COLUMN host_start INTEGER"},
    // What the host is asked to do with the run (bit 0: resume).
    {"runs", "flags", "ALTER TABLE runs ADD COLUMN flags INTEGER NOT NULL DEFAULT 0"},
    // The server manager (host) that holds a run, until when its lease
    // holds, and how often the run was claimed (a taken-over run twice).
    {"runs", "host", "ALTER TABLE runs ADD COLUMN host TEXT"},
    {"runs", "lease_ms", "ALTER TABLE runs ADD COLUMN lease_ms INTEGER"},
    {"runs", "claims", "ALTER TABLE runs ADD COLUMN claims INTEGER NOT NULL DEFAULT 0"},
};

bool HasColumn(Database &db, const char *table, std::string_view column) {
    Statement columns(db, "SELECT 1 FROM pragma_table_info(?) WHERE name = ?");
    columns.Bind(1, std::string_view(table)).Bind(2, column);
    return columns.Step();
}

void AddMissingColumns(Database &db) {
    for (const AddedColumn &added : kAddedColumns)
        if (!HasColumn(db, added.table, added.column)) db.Exec(added.add);
}

} // namespace

bool Store::Open(const std::string &path, DbError &error) {
    if (!db_.Open(path, error)) return false;
    try {
        // Small pages for a new database: most requests add or change one
        // small row, and every commit writes its changed pages to the log.
        db_.Exec("PRAGMA page_size=1024");
        db_.Exec("PRAGMA journal_mode=WAL");
        db_.Exec("PRAGMA synchronous=NORMAL");
        db_.Exec("PRAGMA foreign_keys=ON");
        Transaction transaction(db_);
        db_.Exec(kSchema);
        AddMissingColumns(db_);
        transaction.Commit();
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
    Statement insert(db_, "INSERT INTO objects(kind, name, description) VALUES(?, ?, ?)");
    insert.Bind(1, int64_t{kind}).Bind(2, name).BindBlob(3, bytes).Run();
    return sqlite3_last_insert_rowid(db_.Handle());
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
