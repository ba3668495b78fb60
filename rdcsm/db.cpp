// SPDX-License-Identifier: Apache-2.0
// The connection of either kind of store, and transactions.
#include "db.h"

#include "pg_db.h"
#include "sqlite_db.h"
#include "store_uri.h"

namespace rdcsm {

Database::Database() = default;
Database::~Database() = default;

bool Database::Open(const std::string &path, DbError &error) {
    auto sqlite = std::make_unique<SqliteBackend>();
    if (!sqlite->Open(path, error)) return false;
    backend_ = std::move(sqlite);
    return true;
}

bool Database::Open(const StoreUri &store, DbError &error) {
    if (store.kind == StoreKind::kSqlite) return Open(store.target, error);
    auto pg = std::make_unique<PgBackend>();
    if (!pg->Open(store.target, error)) return false;
    backend_ = std::move(pg);
    return true;
}

void Database::Exec(const char *sql) {
    backend_->Exec(sql);
}

sqlite3 *Database::Handle() const {
    return backend_ != nullptr ? backend_->SqliteHandle() : nullptr;
}

bool Database::IsPostgres() const {
    return backend_ != nullptr && backend_->IsPostgres();
}

DbCursor &Database::Prepared(const char *sql) {
    if (backend_ == nullptr) throw DbError{1, "the database is not open"};
    return backend_->Prepared(sql);
}

Transaction::Transaction(Database &db) : db_(db) {
    db_.Backend().Begin();
}

Transaction::~Transaction() {
    if (!open_) return;
    try {
        db_.Backend().Rollback();
    } catch (const DbError &) {
        // a failed statement may have ended the transaction already
    }
}

void Transaction::Commit() {
    db_.Backend().Commit();
    open_ = false;
}

} // namespace rdcsm
