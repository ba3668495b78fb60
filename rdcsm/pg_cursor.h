// SPDX-License-Identifier: Apache-2.0
// A prepared statement of the PostgreSQL backend: its parameters kept as
// bound and sent in the types the server inferred for them, its rows read
// in binary and decoded by their column types.
#pragma once

#include "db.h"

#include <libpq-fe.h>
#include <string>
#include <vector>

namespace rdcsm {

class PgBackend;

class PgCursor : public DbCursor {
  public:
    PgCursor(PgBackend &db, const char *sql, std::string name);
    ~PgCursor() override;

    // Prepares the text on conn unless it was in that connection already.
    void PrepareIn(PGconn *conn, uint64_t generation);

    void Bind(int index, int64_t value) override;
    void BindText(int index, std::string_view text) override;
    void BindBlob(int index, std::span<const uint8_t> bytes) override;
    bool Step() override;
    void Reset() override;
    int64_t Int(int column) const override;
    std::string_view View(int column, bool text) const override;
    bool IsNull(int column) const override;

  private:
    struct Parameter {
        enum { kNull, kInt, kBytes } kind = kNull;
        int64_t number = 0;
        std::string bytes;
    };
    Parameter &At(int index);
    void Execute();
    // The value at column of the current row; empty for NULL.
    std::string_view Raw(int column) const;

    PgBackend &db_;
    std::string sql_, name_;
    uint64_t generation_ = 0;
    std::vector<Oid> types_;
    std::vector<Parameter> parameters_;
    PGresult *result_ = nullptr;
    int row_ = -1;
    mutable std::vector<std::string> shown_; // integers as texts
};

} // namespace rdcsm
