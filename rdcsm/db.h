// SPDX-License-Identifier: Apache-2.0
// The server manager's database layer, the same for every kind of store:
// a connection with prepared statements (SQL written once with ? and ?N
// placeholders), typed binding and reading, and transactions that roll
// back unless committed. The backends are SQLite (sqlite_db.h) and
// PostgreSQL (pg_db.h).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;

namespace rdcsm {

struct StoreUri;

// A failed database call: the backend's result code and message.
struct DbError {
    int code;
    std::string message;
};

// The code of a failure that changed nothing: the connection to the store
// was lost (or could not be made again) before anything was committed, so
// the whole request may be tried again.
inline constexpr int kDbUnreachable = -2;

// One prepared statement text of a connection.
class DbCursor {
  public:
    virtual ~DbCursor() = default;
    virtual void Bind(int index, int64_t value) = 0;
    virtual void BindText(int index, std::string_view text) = 0;
    virtual void BindBlob(int index, std::span<const uint8_t> bytes) = 0;
    // True while a row is available.
    virtual bool Step() = 0;
    // Forgets the bindings and the rows read.
    virtual void Reset() = 0;
    virtual int64_t Int(int column) const = 0;
    // The bytes of a column, as text or as a blob; valid until the next
    // Step or Reset.
    virtual std::string_view View(int column, bool text) const = 0;
    virtual bool IsNull(int column) const = 0;
};

// Prepared statements by their text (not by the text's address, so that a
// statement built at run time never finds another's).
struct SqlTextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
        return std::hash<std::string_view>{}(text);
    }
};
template <class Cursor>
using StatementCache =
    std::unordered_map<std::string, std::unique_ptr<Cursor>, SqlTextHash, std::equal_to<>>;

// A connection of one kind of store.
class DbBackend {
  public:
    virtual ~DbBackend() = default;
    // The prepared statement of sql, prepared once per text (and per
    // connection).
    virtual DbCursor &Prepared(const char *sql) = 0;
    // Runs statements without results.
    virtual void Exec(const char *sql) = 0;
    virtual void Begin() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() = 0;
    virtual bool IsPostgres() const = 0;
    virtual sqlite3 *SqliteHandle() const { return nullptr; }
};

class Database {
  public:
    Database();
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens (creating when missing, mode 0600) a SQLite database file, once
    // its folder and files pass CheckDatabaseFiles (db_files.h). False with
    // error set on failure.
    bool Open(const std::string &path, DbError &error);
    // Opens the store the URI names: a SQLite file or a PostgreSQL database.
    bool Open(const StoreUri &store, DbError &error);
    // Runs statements without results; throws DbError.
    void Exec(const char *sql);
    // The SQLite connection; null for another store.
    sqlite3 *Handle() const;
    // Whether the store is a PostgreSQL database (row locks with SKIP LOCKED).
    bool IsPostgres() const;
    // The prepared statement of sql; throws DbError.
    DbCursor &Prepared(const char *sql);
    DbBackend &Backend() { return *backend_; }

  private:
    std::unique_ptr<DbBackend> backend_;
};

// A use of a prepared statement, reset at the end of the scope. Every
// failure throws DbError. One text is in use once at a time.
class Statement {
  public:
    Statement(Database &db, const char *sql) : cursor_(db.Prepared(sql)) {}
    ~Statement() { cursor_.Reset(); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &Bind(int index, int64_t value) {
        cursor_.Bind(index, value);
        return *this;
    }
    Statement &Bind(int index, std::string_view text) {
        cursor_.BindText(index, text);
        return *this;
    }
    Statement &BindBlob(int index, std::span<const uint8_t> bytes) {
        cursor_.BindBlob(index, bytes);
        return *this;
    }
    bool Step() { return cursor_.Step(); }
    // Runs a statement, reading past its rows.
    void Run() {
        while (Step()) {
        }
    }
    void Reset() { cursor_.Reset(); }
    // Runs an INSERT ... RETURNING of one integer (the new row's id): that
    // integer. Throws when it returned no row.
    int64_t Returned() {
        if (!Step()) throw DbError{1, "the statement returned no row"};
        const int64_t value = Int(0);
        Run();
        return value;
    }

    int64_t Int(int column) const { return cursor_.Int(column); }
    std::string Text(int column) const { return std::string(cursor_.View(column, true)); }
    std::string Blob(int column) const { return std::string(BlobView(column)); }
    // The bytes of a column, valid until the next Step or Reset.
    std::string_view BlobView(int column) const { return cursor_.View(column, false); }
    bool IsNull(int column) const { return cursor_.IsNull(column); }

  private:
    DbCursor &cursor_;
};

// A transaction (BEGIN IMMEDIATE in SQLite: the writer's lock at once);
// rolled back when not committed.
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

} // namespace rdcsm
