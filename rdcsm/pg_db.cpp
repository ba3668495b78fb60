// SPDX-License-Identifier: Apache-2.0
// The PostgreSQL connection: connecting with bounded waits, commands,
// transactions and reconnecting after a loss.
#include "pg_db.h"

#include "pg_cursor.h"
#include "store_uri.h"

#include <cstring>
#include <string>

namespace rdcsm {

namespace {

// The code of every PostgreSQL failure; the message says which.
constexpr int kPgFailure = 1;

void IgnoreNotice(void *, const char *) {}

std::string Trimmed(const char *message) {
    std::string text = message != nullptr ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

PgBackend::PgBackend() = default;

PgBackend::~PgBackend() {
    prepared_.clear();
    if (conn_ != nullptr) PQfinish(conn_);
}

bool PgBackend::Open(const std::string &conninfo, DbError &error) {
    // The defaults first: what the connection string says overrides them.
    const std::string timeout = std::to_string(kPgConnectTimeoutS);
    const char *keys[] = {"connect_timeout",     "keepalives",       "keepalives_idle",
                          "keepalives_interval", "keepalives_count", "tcp_user_timeout",
                          "application_name",    "dbname",           nullptr};
    const char *values[] = {timeout.c_str(),  "1",    "10", "5", "3", "30000", "rdcsm",
                            conninfo.c_str(), nullptr};
    conn_ = PQconnectdbParams(keys, values, 1);
    if (conn_ == nullptr) {
        error = {kPgFailure, "out of memory"};
        return false;
    }
    if (PQstatus(conn_) != CONNECTION_OK) {
        error = {kPgFailure, MaskPassword(Trimmed(PQerrorMessage(conn_)))};
        return false;
    }
    PQsetNoticeProcessor(conn_, IgnoreNotice, nullptr);
    try {
        Setup();
    } catch (const DbError &failure) {
        error = failure;
        return false;
    }
    ++generation_;
    return true;
}

void PgBackend::Setup() {
    // Texts go both ways as the server keeps them, unconverted.
    const char *encoding = PQparameterStatus(conn_, "server_encoding");
    if (encoding != nullptr && PQsetClientEncoding(conn_, encoding) != 0)
        throw DbError{kPgFailure, Trimmed(PQerrorMessage(conn_))};
    const std::string timeout = "SET statement_timeout = " + std::to_string(kPgStatementTimeoutMs);
    Command(timeout.c_str(), false);
}

PGconn *PgBackend::Connection() {
    if (PQstatus(conn_) == CONNECTION_OK) return conn_;
    // The server ended the transaction with the connection: nothing after
    // it may run outside it.
    if (inTransaction_) throw DbError{kDbUnreachable, "the connection to the store was lost"};
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK)
        throw DbError{kDbUnreachable, MaskPassword(Trimmed(PQerrorMessage(conn_)))};
    ++generation_;
    Setup();
    return conn_;
}

void PgBackend::Fail(PGresult *result, bool changes) {
    std::string message = Trimmed(result != nullptr ? PQresultErrorMessage(result) : nullptr);
    PQclear(result);
    if (message.empty()) message = Trimmed(PQerrorMessage(conn_));
    // A connection lost before a COMMIT was sent committed nothing; one lost
    // during the COMMIT, or during a change outside a transaction, leaves
    // its outcome unknown.
    const bool lost =
        PQstatus(conn_) != CONNECTION_OK && !committing_ && (inTransaction_ || !changes);
    throw DbError{lost ? kDbUnreachable : kPgFailure, message};
}

std::string PgBackend::Command(const char *sql, bool changes) {
    PGresult *result = PQexec(Connection(), sql);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) Fail(result, changes);
    std::string tag = PQcmdStatus(result);
    PQclear(result);
    return tag;
}

DbCursor &PgBackend::Prepared(const char *sql) {
    PGconn *conn = Connection();
    auto found = prepared_.find(std::string_view(sql));
    if (found == prepared_.end()) {
        auto cursor = std::make_unique<PgCursor>(*this, sql, "rdcsm_" + std::to_string(++names_));
        found = prepared_.emplace(std::string(sql), std::move(cursor)).first;
    }
    found->second->PrepareIn(conn, generation_);
    return *found->second;
}

void PgBackend::Exec(const char *sql) {
    Command(sql);
}

void PgBackend::Begin() {
    Command("BEGIN", false);
    inTransaction_ = true;
}

void PgBackend::Commit() {
    // A transaction a failed statement aborted ends rolled back.
    committing_ = true;
    std::string tag;
    try {
        tag = Command("COMMIT");
    } catch (...) {
        committing_ = false;
        throw;
    }
    committing_ = false;
    if (tag != "COMMIT") throw DbError{kPgFailure, "the transaction was rolled back"};
    inTransaction_ = false;
}

void PgBackend::Rollback() {
    const bool lost = PQstatus(conn_) != CONNECTION_OK;
    if (!lost) {
        PGresult *result = PQexec(conn_, "ROLLBACK");
        PQclear(result);
    }
    inTransaction_ = false;
}

} // namespace rdcsm
