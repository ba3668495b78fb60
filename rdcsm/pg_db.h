// SPDX-License-Identifier: Apache-2.0
// The PostgreSQL backend of the database layer over libpq: one connection,
// each statement text prepared once per connection (its ? placeholders
// written $N), parameters sent in the types the server inferred (int64 as
// int8, blobs as bytea, both binary; texts as text), results read in
// binary by their column types, every read bounded by the length received.
// A lost connection fails the statement that finds it; the next statement
// outside a transaction connects again and prepares its texts again.
#pragma once

#include "db.h"

#include <cstdint>
#include <libpq-fe.h>
#include <unordered_map>

namespace rdcsm {

// How long one statement may run, and how long a connection may take.
inline constexpr int kPgStatementTimeoutMs = 30000;
inline constexpr int kPgConnectTimeoutS = 10;

class PgCursor;

class PgBackend : public DbBackend {
  public:
    PgBackend();
    ~PgBackend() override;

    // Connects with the libpq connection string or URI conninfo. False
    // with error set on failure (no password in it).
    bool Open(const std::string &conninfo, DbError &error);

    DbCursor &Prepared(const char *sql) override;
    void Exec(const char *sql) override;
    void Begin() override;
    void Commit() override;
    void Rollback() override;
    bool IsPostgres() const override { return true; }

    // The connection, connected again when it was lost outside a
    // transaction; throws DbError when it cannot be had.
    PGconn *Connection();
    // Counts the connections made: a cursor prepared in an older one
    // prepares again.
    uint64_t Generation() const { return generation_; }
    // Throws the failure of result (which it clears) or of the connection.
    // Throws the failure of result. changes: whether the statement sent may
    // have changed the store (a read, or a statement inside a transaction
    // that was not committed, changed nothing if the connection was lost).
    [[noreturn]] void Fail(PGresult *result, bool changes = true);

  private:
    // What every new connection is set to.
    void Setup();
    // Runs a command without rows; throws DbError. Returns its command tag.
    std::string Command(const char *sql, bool changes = true);

    PGconn *conn_ = nullptr;
    bool inTransaction_ = false;
    bool committing_ = false;
    uint64_t generation_ = 0;
    int names_ = 0;
    StatementCache<PgCursor> prepared_;
};

} // namespace rdcsm
