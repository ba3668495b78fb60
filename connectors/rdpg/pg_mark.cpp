// SPDX-License-Identifier: Apache-2.0
// The resume mark of a copy into the database: one row per copy name in the
// mark table, read at connect and stored in the transaction of the batch,
// of the connection's COPY or of the create that follows the text being set,
// so that a kill or a rollback leaves neither the rows nor the mark. The
// store changes the row only while it holds the text this connection saw
// (copy_mark.h); under READ COMMITTED a second run's UPDATE waits for the
// first run's transaction and then finds the new text, so both cannot pass.
#include "connector_actions.h"
#include "connector_resume.h"
#include "pg_binary.h"
#include "pg_connection.h"

#include "rdx_status.h"

#include <optional>
#include <string_view>

namespace rdpg {
namespace {

const std::string kMarks = QuoteName(rdxc::kMarkTable);

} // namespace

// The stored text, empty when there is none. A missing mark table is not
// made here, so that a connection that only reads changes nothing.
uint32_t Connection::LoadMark() {
    mark_.Forget();
    markTable_ = false;
    if (!mark_.Active()) return RDSTATUS_OK;
    const char *table[] = {kMarks.c_str()};
    Result exists(PQexecParams(db_, "SELECT to_regclass($1) IS NOT NULL", 1, nullptr, table,
                               nullptr, nullptr, 0));
    if (PQresultStatus(exists.get()) != PGRES_TUPLES_OK)
        return ServerFailure("the mark cannot be read", exists.get());
    markTable_ = PQgetvalue(exists.get(), 0, 0)[0] == 't';
    if (!markTable_) return RDSTATUS_OK;
    const char *name[] = {mark_.Name().c_str()};
    const int lengths[] = {static_cast<int>(mark_.Name().size())};
    const std::string sql = "SELECT mark FROM " + kMarks + " WHERE name = $1";
    Result read(PQexecParams(db_, sql.c_str(), 1, nullptr, name, lengths, nullptr, 0));
    if (PQresultStatus(read.get()) != PGRES_TUPLES_OK)
        return ServerFailure("the mark cannot be read", read.get());
    if (PQntuples(read.get()) != 1) return RDSTATUS_OK;
    std::string stored(PQgetvalue(read.get(), 0, 0),
                       static_cast<size_t>(PQgetlength(read.get(), 0, 0)));
    if (TableExists())
        mark_.Loaded(std::move(stored));
    else
        mark_.HeldOnly(std::move(stored));
    return RDSTATUS_OK;
}

// A mark counts only while the table it counts the rows of is there: a
// user who dropped the table starts the copy again.
bool Connection::TableExists() {
    if (source_.table.empty()) return true;
    const std::string quoted = QuoteName(source_.table);
    const char *table[] = {quoted.c_str()};
    Result exists(PQexecParams(db_, "SELECT to_regclass($1) IS NOT NULL", 1, nullptr, table,
                               nullptr, nullptr, 0));
    return PQresultStatus(exists.get()) != PGRES_TUPLES_OK ||
           PQgetvalue(exists.get(), 0, 0)[0] == 't';
}

uint32_t Connection::StoreMark(const std::string &failure, const std::string &notWritten) {
    if (!markTable_) {
        Result made(PQexec(db_, ("CREATE TABLE IF NOT EXISTS " + kMarks +
                                 " (name text PRIMARY KEY, mark text NOT NULL, updated "
                                 "timestamptz NOT NULL DEFAULT now())")
                                    .c_str()));
        if (PQresultStatus(made.get()) != PGRES_COMMAND_OK)
            return ServerFailure(failure, made.get());
    }
    // The first mark of a name goes in only where none is; a later one
    // only over the text this connection saw.
    const std::optional<std::string> &held = mark_.Held();
    const char *values[] = {mark_.Name().c_str(), mark_.Text().c_str(),
                            held ? held->c_str() : nullptr};
    const int lengths[] = {static_cast<int>(mark_.Name().size()),
                           static_cast<int>(mark_.Text().size()),
                           held ? static_cast<int>(held->size()) : 0};
    const std::string sql =
        held ? "UPDATE " + kMarks + " SET mark = $2, updated = now() WHERE name = $1 AND mark = $3"
             : "INSERT INTO " + kMarks +
                   " (name, mark) VALUES ($1, $2) ON CONFLICT (name) DO NOTHING";
    const Result stored(
        PQexecParams(db_, sql.c_str(), held ? 3 : 2, nullptr, values, lengths, nullptr, 0));
    if (PQresultStatus(stored.get()) != PGRES_COMMAND_OK)
        return ServerFailure(failure, stored.get());
    if (std::string_view(PQcmdTuples(stored.get())) != "1")
        return log_.Fail(mark_.Conflict(
            source_.table.empty() ? "this database" : "table " + source_.table, notWritten));
    return RDSTATUS_OK;
}

void Connection::MarkCommitted() {
    mark_.Stored();
    markTable_ = true;
}

void Connection::RollBackQuietly() {
    if (PQtransactionStatus(db_) == PQTRANS_IDLE) return; // ended already
    Result ignored(PQexec(db_, "ROLLBACK"));
}

uint32_t Connection::WithMark(const std::function<uint32_t()> &work, const std::string &markFailure,
                              const std::string &notWritten) {
    if (uint32_t status = Run("BEGIN", PGRES_COMMAND_OK); status != RDSTATUS_OK) return status;
    // The mark first: a batch of a run whose mark another run replaced
    // fails as that, not as rows refused for keys that run wrote.
    uint32_t status = StoreMark(markFailure, notWritten);
    if (status == RDSTATUS_OK) status = work();
    if (status == RDSTATUS_OK) status = Run("COMMIT", PGRES_COMMAND_OK);
    if (status != RDSTATUS_OK) {
        RollBackQuietly();
        return status;
    }
    MarkCommitted();
    return RDSTATUS_OK;
}

uint32_t Connection::RunWithMark(const std::string &sql) {
    return WithMark([&] { return sql.empty() ? RDSTATUS_OK : Run(sql, PGRES_COMMAND_OK); },
                    "the mark cannot be stored", sql.empty() ? "mark" : "change of the table");
}

// At once, or with the connection's COPY when one is open (its commit).
uint32_t Connection::SaveMark() {
    if (db_ == nullptr) return RDSTATUS_NOTCONNECTED;
    if (!mark_.Active()) return log_.Fail("the mark cannot be saved: no MarkName is set");
    if (copyFailed_)
        return log_.Fail("the mark is not saved: the copy of this connection was rolled back");
    mark_.Set(mark_.Text());
    if (copyOpen_ && settings_.copyPerConnection) return RDSTATUS_OK;
    if (uint32_t status = Ready(); status != RDSTATUS_OK) return status;
    return RunWithMark("");
}

uint32_t Connection::Action(uint32_t action) {
    if (action == rdxc::kActionRollback) return AbandonCopy();
    if (action == rdxc::kActionSaveMark) return SaveMark();
    return Unsupported("this action");
}

} // namespace rdpg
