// SPDX-License-Identifier: Apache-2.0
// The SQLite backend of the database layer: one connection to a file that
// is the user's alone, its statements prepared once per text.
#pragma once

#include "db.h"

#include <sqlite3.h>
#include <unordered_map>

namespace rdcsm {

[[noreturn]] void ThrowDb(sqlite3 *db, int code);

class SqliteBackend : public DbBackend {
  public:
    SqliteBackend();
    ~SqliteBackend() override;

    // Opens (creating when missing, mode 0600) the database file, once its
    // folder and files pass CheckDatabaseFiles (db_files.h). False with
    // error set on failure.
    bool Open(const std::string &path, DbError &error);

    DbCursor &Prepared(const char *sql) override;
    void Exec(const char *sql) override;
    void Begin() override;
    void Commit() override;
    void Rollback() override;
    bool IsPostgres() const override { return false; }
    sqlite3 *SqliteHandle() const override { return db_; }

  private:
    class Cursor;
    // Runs a statement without rows through its prepared cursor.
    void RunOnce(const char *sql);

    sqlite3 *db_ = nullptr;
    StatementCache<Cursor> prepared_;
};

} // namespace rdcsm
