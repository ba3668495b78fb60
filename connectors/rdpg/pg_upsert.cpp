// SPDX-License-Identifier: Apache-2.0
// Upsert and delete-insert: the records go by the binary COPY into a
// temporary stage table (dropped at commit), then one statement per batch
// moves them into the table in the same transaction, with the copy's mark.
// An upsert inserts the stage ON CONFLICT (key) DO UPDATE, which needs a
// unique index on exactly the key columns; a delete-insert deletes the rows
// whose key is in the stage, then inserts the stage. Of records with the
// same key in one upsert, the last one written counts.
#include "pg_connection.h"
#include "pg_dialect.h"
#include "sql_write.h"

#include "rdx_status.h"

#include <map>

namespace rdpg {
namespace {

constexpr const char *kStage = "pg_temp.rdx_stage";

} // namespace

uint32_t Connection::PrepareStage() {
    if (uint32_t status = TargetKey(writeFields_, keyFields_); status != RDSTATUS_OK) return status;
    std::vector<std::string> key;
    for (size_t k : keyFields_)
        key.push_back(copyColumns_[k]);
    if (target_.mode == rdxc::WriteMode::Upsert)
        if (uint32_t status = CheckUniqueKey(key); status != RDSTATUS_OK) return status;
    const std::string table = QuoteName(source_.table);
    const std::string columns = rdxc::QuotedList(kDialect, copyColumns_);
    const std::string keys = rdxc::QuotedList(kDialect, key);
    stageSql_ = "CREATE TEMP TABLE rdx_stage ON COMMIT DROP AS SELECT " + columns + " FROM " +
                table + " WITH NO DATA";
    copySql_ = std::string("COPY ") + kStage + " (" + columns + ") FROM STDIN (FORMAT binary)";
    if (target_.mode == rdxc::WriteMode::Upsert) {
        mergeSql_ = "INSERT INTO " + table + " (" + columns + ") SELECT DISTINCT ON (" + keys +
                    ") " + columns + " FROM " + kStage + " ORDER BY " + keys + ", ctid DESC" +
                    kDialect.OnConflict(copyColumns_, key);
        return RDSTATUS_OK;
    }
    std::string match;
    for (const std::string &name : key)
        match += (match.empty() ? "" : " AND ") + std::string("t.") + kDialect.Quote(name) +
                 " = s." + kDialect.Quote(name);
    mergeSql_ = "DELETE FROM " + table + " t USING " + kStage + " s WHERE " + match +
                "; INSERT INTO " + table + " (" + columns + ") SELECT " + columns + " FROM " +
                kStage;
    return RDSTATUS_OK;
}

// The primary key and the unique indexes of the table that ON CONFLICT can
// name: checked at once, not deferred, on columns rather than expressions
// and not partial.
uint32_t Connection::CheckUniqueKey(const std::vector<std::string> &key) {
    const std::string table = QuoteName(source_.table);
    const char *values[] = {table.c_str()};
    Result result(PQexecParams(
        db_,
        "SELECT i.indexrelid, a.attname FROM pg_index i JOIN pg_attribute a ON a.attrelid = "
        "i.indrelid AND a.attnum = ANY(i.indkey) WHERE i.indrelid = $1::regclass AND "
        "i.indisunique AND i.indimmediate AND i.indpred IS NULL AND i.indexprs IS NULL",
        1, nullptr, values, nullptr, nullptr, 0));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        return ServerFailure("the indexes of " + source_.table + " cannot be read", result.get());
    std::map<std::string, std::vector<std::string>> indexes;
    for (int r = 0; r < PQntuples(result.get()); ++r)
        indexes[PQgetvalue(result.get(), r, 0)].emplace_back(PQgetvalue(result.get(), r, 1));
    for (const auto &[index, columns] : indexes)
        if (rdxc::SameColumns(columns, key)) return RDSTATUS_OK;
    return rdxc::NoUniqueKey(source_.table, key, log_);
}

uint32_t Connection::BeginStage() {
    if (uint32_t status = Run("BEGIN", PGRES_COMMAND_OK); status != RDSTATUS_OK) return status;
    if (uint32_t status = Run(stageSql_, PGRES_COMMAND_OK); status != RDSTATUS_OK) {
        RollBackQuietly();
        return status;
    }
    return RDSTATUS_OK;
}

// The batch's COPY into the stage, the merge and the mark: all or nothing.
uint32_t Connection::StagedBatch(uint32_t first, uint32_t count, uint32_t *done) {
    if (uint32_t status = BeginStage(); status != RDSTATUS_OK) return status;
    const std::string rolledBack =
        "; the batch of " + std::to_string(count) + " records was rolled back";
    // The mark first, as in WithMark.
    const bool storing = mark_.Pending();
    uint32_t status =
        storing ? StoreMark("the mark cannot be stored" + rolledBack, "batch") : RDSTATUS_OK;
    if (status == RDSTATUS_OK) status = CopyBatch(first, count, done);
    if (status == RDSTATUS_OK) {
        Result merged(PQexec(db_, mergeSql_.c_str()));
        if (PQresultStatus(merged.get()) != PGRES_COMMAND_OK)
            status = WriteFailure("the batch was refused" + rolledBack, merged.get());
    }
    if (status == RDSTATUS_OK) status = Run("COMMIT", PGRES_COMMAND_OK);
    if (status != RDSTATUS_OK) {
        RollBackQuietly();
        *done = 0;
        return status;
    }
    if (storing) MarkCommitted();
    return RDSTATUS_OK;
}

} // namespace rdpg
