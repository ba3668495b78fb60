// SPDX-License-Identifier: Apache-2.0
// Insert, update and remove: one prepared statement for the list's layout,
// run for each record of a batch inside one transaction, with the copy's
// mark when one was set. A record that fails rolls the whole batch back (and
// the mark), and the batch is reported as not done: as a record fault when a
// record was refused, so that a copy that skips bad records can write the
// batch again record by record.
#include "sqlite_connection.h"

#include "property_value.h"
#include "rdx_status.h"
#include "sql_write.h"
#include "sqlite_dialect.h"
#include "sqlite_types.h"
#include "sqlite_values.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace rdsqlite {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

} // namespace

// Records a plain insert writes with one statement, and the most
// parameters SQLite takes in one.
constexpr size_t kRowsPerStatement = 32;
constexpr size_t kMostParameters = 32766;

uint32_t Connection::PrepareWrite(Write kind, uint32_t list) {
    if (uint32_t status = NeedTable(); status != RDSTATUS_OK) return status;
    if (uint32_t status = rdxc::ListFieldsOf(list, writeFields_); status != RDSTATUS_OK)
        return status;
    if (writeFields_.empty()) return log_.Fail("the field list has no fields");
    // Known by its fields' names and types, not by the list: a copy that
    // reads its next batch into a second list of the same fields keeps the
    // statement (its parameters name fields by their place in writeFields_).
    std::string key = std::to_string(static_cast<int>(kind));
    for (const rdxc::ListField &field : writeFields_)
        key += "\n" + std::to_string(field.type) + " " + field.name;
    if (write_.get() != nullptr && key == writeKey_) return RDSTATUS_OK;
    ResetWrite();

    if (uint32_t status = CheckWritable(); status != RDSTATUS_OK) return status;
    std::vector<TableColumn> columns;
    if (uint32_t status = TableColumns(columns); status != RDSTATUS_OK) return status;
    std::map<std::string, size_t> columnOf;
    for (size_t i = 0; i < columns.size(); ++i)
        columnOf[Lower(columns[i].name)] = i;
    std::vector<std::string> fieldNames;
    for (size_t i = 0; i < writeFields_.size(); ++i) {
        if (columnOf.count(Lower(writeFields_[i].name)) == 0)
            return log_.Fail("field " + writeFields_[i].name + " has no column in table " +
                             source_.table);
        fieldNames.push_back(Lower(writeFields_[i].name));
    }
    if (kind == Write::Insert)
        if (uint32_t status = CheckCovered(columns, fieldNames); status != RDSTATUS_OK)
            return status;
    // An insert needs no key; the primary key is in the columns' order.
    std::function<uint32_t(std::vector<std::string> &)> primaryKey;
    if (kind != Write::Insert)
        primaryKey = [&](std::vector<std::string> &names) {
            std::map<int, std::string> byPosition;
            for (const TableColumn &column : columns)
                if (column.key > 0) byPosition[column.key] = column.name;
            for (const auto &[position, name] : byPosition)
                names.push_back(name);
            return uint32_t{RDSTATUS_OK};
        };
    std::vector<size_t> keyFields;
    if (uint32_t status = rdxc::WriteKeys(writeFields_, rdxc::KeyNames(source_.keys), source_.table,
                                          primaryKey, log_, keyFields);
        status != RDSTATUS_OK)
        return status;
    parameters_.clear();
    auto parameter = [&](size_t i) {
        parameters_.push_back(
            {i, TargetColumnOf(columns[columnOf[Lower(writeFields_[i].name)]].type)});
        return kDialect.Marker(parameters_.size());
    };
    std::string sql;
    if (kind == Write::Insert) {
        std::vector<std::string> names, values;
        for (size_t i = 0; i < writeFields_.size(); ++i) {
            names.push_back(writeFields_[i].name);
            values.push_back(parameter(i));
        }
        sql = kDialect.Insert(source_.table, names, values);
        keyFields_.clear();
        if (target_.mode != rdxc::WriteMode::Insert)
            if (uint32_t status = PrepareKeyed(columns, sql); status != RDSTATUS_OK) return status;
    } else {
        sql = rdxc::KeyedWrite(kDialect, kind == Write::Update, source_.table, writeFields_,
                               keyFields, parameter);
        if (sql.empty()) return log_.Fail("the field list holds only key fields");
    }
    if (int result = sqlite3_prepare_v2(db_, sql.c_str(), -1, write_.out(), nullptr);
        result != SQLITE_OK)
        return SqlFailure("the statement for table " + source_.table + " cannot be prepared",
                          result);
    if (kind == Write::Insert && target_.mode == rdxc::WriteMode::Insert)
        if (uint32_t status = PrepareRows(sql); status != RDSTATUS_OK) return status;
    writeKind_ = kind;
    writeKey_ = key;
    return RDSTATUS_OK;
}

// The insert of `insert` (one record's values) for kRowsPerStatement
// records, within SQLite's limit on parameters.
uint32_t Connection::PrepareRows(const std::string &insert) {
    const size_t values = insert.rfind(" VALUES (");
    const size_t width = std::max<size_t>(parameters_.size(), 1);
    const size_t rows = std::min(kRowsPerStatement, kMostParameters / width);
    if (values == std::string::npos || rows < 2) return RDSTATUS_OK;
    // Each record's values by their own numbers.
    std::string sql = insert.substr(0, values) + " VALUES ";
    for (size_t r = 0; r < rows; ++r) {
        sql += r > 0 ? ", (" : "(";
        for (size_t p = 0; p < parameters_.size(); ++p)
            sql += (p > 0 ? ", " : "") + kDialect.Marker(r * parameters_.size() + p + 1);
        sql += ")";
    }
    if (int result = sqlite3_prepare_v2(db_, sql.c_str(), -1, rows_.out(), nullptr);
        result != SQLITE_OK)
        return SqlFailure("the statement for table " + source_.table + " cannot be prepared",
                          result);
    rowsPerStatement_ = rows;
    return RDSTATUS_OK;
}

uint32_t Connection::BindRecord(sqlite3_stmt *statement, size_t offset, uint32_t index,
                                std::string &problem, const rdxc::ListField *&failed) {
    for (size_t p = 0; p < parameters_.size(); ++p) {
        const rdxc::ListField &field = writeFields_[parameters_[p].field];
        if (uint32_t status =
                BindValue(statement, static_cast<int>(offset + p + 1), field.field, field.type,
                          index, parameters_[p].column, values_, texts_[offset + p], problem);
            status != RDSTATUS_OK) {
            failed = &field;
            return status;
        }
    }
    return RDSTATUS_OK;
}

uint32_t Connection::InsertRows(uint32_t first, uint32_t count, int &lost) {
    lost = SQLITE_OK;
    const size_t rows = rowsPerStatement_;
    if (rows_.get() == nullptr || count < rows) return 0;
    sqlite3_stmt *statement = rows_.get();
    texts_.resize(std::max(texts_.size(), rows * parameters_.size()));
    uint32_t written = 0;
    for (; count - written >= rows; written += static_cast<uint32_t>(rows)) {
        sqlite3_reset(statement);
        std::string problem;
        const rdxc::ListField *failed = nullptr;
        for (size_t r = 0; r < rows; ++r)
            if (BindRecord(statement, r * parameters_.size(),
                           first + written + static_cast<uint32_t>(r), problem,
                           failed) != RDSTATUS_OK)
                break;
        if (failed != nullptr) break;
        if (const int result = sqlite3_step(statement); result != SQLITE_DONE) {
            // A fault that took the transaction with it (a full disk, a
            // constraint declared to roll back) is the batch's, not a record's.
            if (sqlite3_get_autocommit(db_) != 0) lost = sqlite3_extended_errcode(db_);
            break;
        }
    }
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return written;
}

uint32_t Connection::WriteBatch(Write kind, uint32_t list, uint32_t first, uint32_t count,
                                uint32_t *done) {
    *done = 0;
    // Updates and removes commit at once, after the inserts held.
    if (kind != Write::Insert)
        if (uint32_t status = CommitSpan(); status != RDSTATUS_OK) return status;
    if (uint32_t status = PrepareWrite(kind, list); status != RDSTATUS_OK) return status;
    if (kind == Write::Insert)
        if (uint32_t status = rdxc::NullKey(writeFields_, keyFields_, first, count, log_);
            status != RDSTATUS_OK)
            return status;
    if (uint32_t status = BeginBatch(); status != RDSTATUS_OK) return status;
    const std::string rolledBack =
        "; the batch of " + std::to_string(count) + " records was rolled back";
    // A record's fault (a value that cannot be bound, a constraint) or the
    // target's, by the status or SQLite's result code (its message, or
    // `message` when given). Records of earlier inserts that SQLite's own
    // rollback took with the batch make it the target's.
    auto rollBack = [&](const std::string &what, uint32_t status, int result, bool ofRecords = true,
                        const char *message = nullptr) {
        const std::string said = result == SQLITE_OK  ? ""
                                 : message != nullptr ? std::string(": ") + message
                                                      : std::string(": ") + sqlite3_errmsg(db_);
        sqlite3_reset(write_.get());
        sqlite3_clear_bindings(write_.get());
        if (!UndoBatch())
            return log_.Fail(what + said + rolledBack + ", and the " +
                                 std::to_string(lostRecords_) +
                                 " records held uncommitted before it with it",
                             result != SQLITE_OK ? result : status);
        if (status == RDSTATUS_NOMEMORY) return status;
        if (result != SQLITE_OK && ofRecords) return WriteFailure(what + said + rolledBack, result);
        if (status == RDSTATUS_RECORDFAULT) return log_.RecordFault(what + rolledBack);
        return log_.Fail(what + said + rolledBack, result != SQLITE_OK ? result : status);
    };
    // The copy's mark goes with the records it counts. It is stored first,
    // so that a batch of a run whose mark another run replaced fails as
    // that, not as records refused for keys that run wrote.
    if (mark_.Pending()) {
        bool lost = false;
        if (int result = StoreMark(lost); result != SQLITE_OK)
            return rollBack("the mark cannot be stored", RDSTATUS_FREETEXT, result, false);
        if (lost) {
            UndoBatch();
            return MarkLost("batch");
        }
    }
    // A delete-insert deletes the keys of the whole batch first, so that
    // records of one key in the batch all go in.
    for (uint32_t r = 0; kind == Write::Insert && delete_.get() != nullptr && r < count; ++r)
        if (int result = SQLITE_OK; DeleteKey(first + r, result) != 0)
            return rollBack("record " + std::to_string(first + r), RDSTATUS_FREETEXT, result);
    int gone = SQLITE_OK;
    const uint32_t many =
        kind == Write::Insert && delete_.get() == nullptr ? InsertRows(first, count, gone) : 0;
    if (gone != SQLITE_OK)
        return rollBack("record " + std::to_string(first + many) + " and those after it",
                        RDSTATUS_FREETEXT, gone);
    uint32_t matched = many;
    sqlite3_stmt *statement = write_.get();
    texts_.resize(std::max(texts_.size(), parameters_.size()));
    for (uint32_t r = many; r < count; ++r) {
        const uint32_t index = first + r;
        sqlite3_reset(statement);
        std::string problem;
        const rdxc::ListField *failed = nullptr;
        if (uint32_t status = BindRecord(statement, 0, index, problem, failed);
            status != RDSTATUS_OK)
            // A value without a form SQLite takes is the record's fault.
            return rollBack(
                "record " + std::to_string(index) + ", field " + failed->name + ": " + problem,
                problem.empty() || status == RDSTATUS_FREETEXT ? status : RDSTATUS_RECORDFAULT,
                SQLITE_OK);
        if (int result = sqlite3_step(statement); result != SQLITE_DONE)
            return rollBack("record " + std::to_string(index), RDSTATUS_FREETEXT,
                            sqlite3_extended_errcode(db_));
        if (sqlite3_changes(db_) > 0) ++matched;
    }
    // The values were bound where the fields keep them, which the next
    // fetch changes.
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    // The first insert of a connection is committed at once: the target
    // shows a copy under way, and one stopped early keeps that batch.
    const bool hold = kind == Write::Insert && insertCommitted_ && !CommitDue(spanRecords_ + count);
    // A deferred constraint refuses the batch at its commit, without naming
    // a record; a batch held in a span, or committed with one, is looked at
    // here instead, so that only it is undone.
    if (int now = 0, most = 0;
        (batchSaved_ || hold) &&
        sqlite3_db_status(db_, SQLITE_DBSTATUS_DEFERRED_FKS, &now, &most, 0) == SQLITE_OK &&
        now > 0)
        return rollBack("the batch cannot be committed", RDSTATUS_FREETEXT,
                        SQLITE_CONSTRAINT_FOREIGNKEY, true, "FOREIGN KEY constraint failed");
    const bool alone = spanRecords_ == 0; // the span holds this batch only
    if (uint32_t status = ReleaseBatch(); status != RDSTATUS_OK) return status;
    if (hold) {
        spanRecords_ += count;
        *done = count;
        return RDSTATUS_OK;
    }
    if (alone) {
        // A deferred constraint refuses the batch here, without naming a
        // record.
        if (int result = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
            result != SQLITE_OK)
            return rollBack("the batch cannot be committed", RDSTATUS_FREETEXT,
                            sqlite3_extended_errcode(db_));
        SpanCommitted();
    } else {
        spanRecords_ += count;
        if (uint32_t status = CommitSpan(); status != RDSTATUS_OK) {
            // This batch is not done: the records lost are those before it.
            lostRecords_ -= std::min<uint64_t>(lostRecords_, count);
            return status;
        }
    }
    if (kind == Write::Insert) insertCommitted_ = true;
    *done = kind == Write::Insert ? count : matched;
    return RDSTATUS_OK;
}

uint32_t Connection::Insert(uint32_t list, uint32_t first, uint32_t count, uint32_t *done) {
    return WriteBatch(Write::Insert, list, first, count, done);
}

uint32_t Connection::RemoveBySql(uint32_t *done) {
    if (uint32_t status = NeedDatabase(); status != RDSTATUS_OK) return status;
    if (source_.sql.empty())
        return log_.Fail("remove without a field list needs an SQL text (property SQL)");
    if (uint32_t status = CommitSpan(); status != RDSTATUS_OK) return status;
    const sqlite3_int64 before = sqlite3_total_changes64(db_);
    if (uint32_t status = Run(source_.sql); status != RDSTATUS_OK) return status;
    *done = static_cast<uint32_t>(sqlite3_total_changes64(db_) - before);
    return RDSTATUS_OK;
}

} // namespace rdsqlite
