// SPDX-License-Identifier: Apache-2.0
// The SQLite layer: opening only files that are the user's alone,
// statements and transactions.
#include "sqlite_db.h"

#include "db_files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace rdcsm {

void ThrowDb(sqlite3 *db, int code) {
    throw DbError{code, db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code)};
}

namespace {

// Creates a missing database file with mode 0600 before SQLite opens it
// (SQLite gives its journal files the mode of the database). An existing
// file is never opened here: closing a descriptor of it would drop the locks
// this process's SQLite connections hold on it.
bool CreateMissing(const std::string &path, DbError &error) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) close(fd);
    if (fd >= 0 || errno == EEXIST) return true;
    error = {SQLITE_CANTOPEN, path + ": " + std::strerror(errno)};
    return false;
}

// The files checked again once SQLite holds them: it opens the log and its
// index at the first read, and a file another user planted after the first
// check must not be used.
bool CheckOpened(sqlite3 *db, const std::string &path, DbError &error) {
    sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
    std::string refusal;
    if (CheckDatabaseFiles(path, refusal)) return true;
    error = {SQLITE_CANTOPEN, refusal};
    // Nothing of a planted log is copied into the database at the close.
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    return false;
}

} // namespace

class SqliteBackend::Cursor : public DbCursor {
  public:
    Cursor(sqlite3 *db, sqlite3_stmt *stmt) : db_(db), stmt_(stmt) {}
    ~Cursor() override { sqlite3_finalize(stmt_); }

    void Bind(int index, int64_t value) override { Check(sqlite3_bind_int64(stmt_, index, value)); }
    void BindText(int index, std::string_view text) override {
        Check(sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT,
                                  SQLITE_UTF8));
    }
    void BindBlob(int index, std::span<const uint8_t> bytes) override {
        static const uint8_t kEmpty = 0;
        Check(sqlite3_bind_blob64(stmt_, index, bytes.empty() ? &kEmpty : bytes.data(),
                                  bytes.size(), SQLITE_TRANSIENT));
    }
    bool Step() override {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        ThrowDb(db_, rc);
    }
    void Reset() override {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    int64_t Int(int column) const override { return sqlite3_column_int64(stmt_, column); }
    std::string_view View(int column, bool text) const override {
        const void *data = text ? static_cast<const void *>(sqlite3_column_text(stmt_, column))
                                : sqlite3_column_blob(stmt_, column);
        const int size = sqlite3_column_bytes(stmt_, column);
        return data != nullptr ? std::string_view(static_cast<const char *>(data), size) : "";
    }
    bool IsNull(int column) const override {
        return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
    }

  private:
    void Check(int rc) const {
        if (rc != SQLITE_OK) ThrowDb(db_, rc);
    }

    sqlite3 *db_;
    sqlite3_stmt *stmt_;
};

SqliteBackend::SqliteBackend() = default;

SqliteBackend::~SqliteBackend() {
    prepared_.clear();
    if (db_ != nullptr) sqlite3_close_v2(db_);
}

DbCursor &SqliteBackend::Prepared(const char *sql) {
    auto found = prepared_.find(std::string_view(sql));
    if (found != prepared_.end()) return *found->second;
    sqlite3_stmt *stmt = nullptr;
    const int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) ThrowDb(db_, rc);
    std::unique_ptr<Cursor> cursor;
    try {
        cursor = std::make_unique<Cursor>(db_, stmt);
    } catch (...) {
        sqlite3_finalize(stmt);
        throw;
    }
    return *prepared_.emplace(std::string(sql), std::move(cursor)).first->second;
}

bool SqliteBackend::Open(const std::string &path, DbError &error) {
    std::string refusal;
    if (!CheckDatabaseFiles(path, refusal)) {
        error = {SQLITE_CANTOPEN, refusal};
        return false;
    }
    if (!CreateMissing(path, error)) return false;
    int rc = sqlite3_open_v2(path.c_str(), &db_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_NOFOLLOW,
                             nullptr);
    if (rc != SQLITE_OK) {
        error = {rc, db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc)};
    } else {
        sqlite3_busy_timeout(db_, 10000);
        sqlite3_extended_result_codes(db_, 1);
        if (CheckOpened(db_, path, error)) return true;
    }
    sqlite3_close_v2(db_);
    db_ = nullptr;
    return false;
}

void SqliteBackend::Exec(const char *sql) {
    char *message = nullptr;
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    if (rc == SQLITE_OK) return;
    DbError error{rc, message != nullptr ? message : sqlite3_errstr(rc)};
    sqlite3_free(message);
    throw error;
}

void SqliteBackend::RunOnce(const char *sql) {
    DbCursor &cursor = Prepared(sql);
    try {
        while (cursor.Step()) {
        }
    } catch (...) {
        cursor.Reset();
        throw;
    }
    cursor.Reset();
}

void SqliteBackend::Begin() {
    RunOnce("BEGIN IMMEDIATE");
}

void SqliteBackend::Commit() {
    RunOnce("COMMIT");
}

void SqliteBackend::Rollback() {
    RunOnce("ROLLBACK");
}

} // namespace rdcsm
