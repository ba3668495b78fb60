// A thin RAII layer over SQLite: one connection, prepared statements with
// typed binding and reading, and transactions that roll back unless
// committed.
#pragma once

#include <cstdint>
#include <span>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <unordered_map>

namespace rdcsm {

// A failed SQLite call: its result code and message.
struct DbError {
    int code;
    std::string message;
};

class Statement;

class Database {
  public:
    Database() = default;
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens (creating when missing, mode 0600) the database file, once its
    // folder and files pass CheckDatabaseFiles (db_files.h). False with
    // error set on failure.
    bool Open(const std::string &path, DbError &error);
    // Runs statements without results; throws DbError.
    void Exec(const char *sql);
    sqlite3 *Handle() const { return db_; }
    // Whether the store is a PostgreSQL database (row locks with SKIP LOCKED).
    bool IsPostgres() const { return false; }
    // The prepared statement of sql, prepared once per text; sql must stay
    // valid while the database is open (the texts are literals). Throws.
    sqlite3_stmt *Prepared(const char *sql);

  private:
    sqlite3 *db_ = nullptr;
    std::unordered_map<const char *, sqlite3_stmt *> prepared_;
};

// A use of a prepared statement, reset at the end of the scope. Every
// failure throws DbError. One text is in use once at a time.
class Statement {
  public:
    Statement(Database &db, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &Bind(int index, int64_t value);
    Statement &Bind(int index, std::string_view text);
    Statement &BindBlob(int index, std::span<const uint8_t> bytes);
    // True while a row is available.
    bool Step();
    // Runs a statement without rows.
    void Run();
    void Reset();

    int64_t Int(int column) const;
    std::string Text(int column) const;
    std::string Blob(int column) const;
    // The bytes of a column, valid until the next Step or Reset.
    std::string_view BlobView(int column) const;
    bool IsNull(int column) const;

  private:
    sqlite3 *db_;
    sqlite3_stmt *stmt_ = nullptr;
};

// BEGIN IMMEDIATE ... COMMIT; rolled back when not committed.
class Transaction {
  public:
    explicit Transaction(Database &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void Commit();

  private:
    Database &db_;
    bool open_ = true;
};

[[noreturn]] void ThrowDb(sqlite3 *db, int code);

} // namespace rdcsm
