// SPDX-License-Identifier: Apache-2.0
// Insert, upsert, update and remove. An insert sends its records in
// multi-row prepared INSERT statements (as many rows as BatchRows, the
// server's 65535 parameters and max_allowed_packet allow), all of a batch in
// one transaction: the batch goes in whole or not at all. A record the
// server refuses is found by running the batch again row by row, then
// rolled back too, and named with the server's error; a copy that skips bad
// records writes the batch again record by record.
#include "mysql_connection.h"
#include "mysql_dialect.h"

#include "decimal_text.h"
#include "owned_stream.h"
#include "property_value.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"
#include "rdx_stream.h"
#include "sql_write.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

namespace rdmysql {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool IntegerColumn(std::string_view dataType) {
    return dataType == "tinyint" || dataType == "smallint" || dataType == "mediumint" ||
           dataType == "int" || dataType == "bigint";
}

// Per record: the statement's bytes beside its values.
constexpr size_t kFieldOverhead = 16;

} // namespace

bool RefusesRecord(unsigned error, std::string_view state) {
    if (state.substr(0, 2) == "22" || state.substr(0, 2) == "23") return true;
    switch (error) {
    case 1048: // a null into NOT NULL
    case 1062: // a duplicate key
    case 1264: // out of range
    case 1265: // data truncated
    case 1292: // an incorrect date-time
    case 1366: // an incorrect value for the column
    case 1367: // an illegal value
    case 1406: // too long
    case 1411: // an incorrect value for a function
    case 1451: // a row others refer to
    case 1452: // a foreign key without its row
    case 3819: // a check constraint
    case 4025: // a check constraint
        return true;
    default:
        return false;
    }
}

std::string Connection::Literal(std::string_view text) const {
    std::string escaped(text.size() * 2 + 1, '\0');
    const unsigned long length =
        mysql_real_escape_string(db_, escaped.data(), text.data(), text.size());
    escaped.resize(length);
    return "'" + escaped + "'";
}

void Connection::RollBack() {
    if (db_ != nullptr) mysql_rollback(db_);
}

uint32_t Connection::WriteFailure(const std::string &what, MYSQL_STMT *statement) {
    const unsigned error = mysql_stmt_errno(statement);
    const std::string text = what + ": error " + std::to_string(error) + " (" +
                             mysql_stmt_sqlstate(statement) + "): " + mysql_stmt_error(statement) +
                             batchNote_;
    return RefusesRecord(error, mysql_stmt_sqlstate(statement)) ? log_.RecordFault(text, error)
                                                                : log_.Fail(text, error);
}

uint32_t Connection::TableColumns(std::vector<TargetColumn> &columns) {
    columns.clear();
    std::vector<std::vector<std::string>> rows;
    if (uint32_t status = Query(
            "SELECT COLUMN_NAME, DATA_TYPE, IS_NULLABLE = 'NO', "
            "COLUMN_DEFAULT IS NOT NULL OR EXTRA <> '', COALESCE(NUMERIC_SCALE, -1) "
            "FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = " +
                Literal(source_.table) + " ORDER BY ORDINAL_POSITION",
            rows);
        status != RDSTATUS_OK)
        return status;
    for (const std::vector<std::string> &row : rows) {
        if (row.size() != 5) continue;
        TargetColumn column;
        column.name = row[0];
        column.dataType = Lower(row[1]);
        column.notNull = row[2] == "1";
        column.filled = row[3] == "1";
        column.scale = IntegerColumn(column.dataType) ? 0
                       : column.dataType == "decimal" ? std::strtoll(row[4].c_str(), nullptr, 10)
                                                      : -1;
        columns.push_back(std::move(column));
    }
    if (columns.empty())
        return log_.Fail("the table " + rdxc::ShownName(source_.table) +
                         " does not exist in the connection's database");
    return RDSTATUS_OK;
}

uint32_t Connection::PrimaryKey(std::vector<std::string> &names) {
    std::vector<std::vector<std::string>> rows;
    if (uint32_t status =
            Query("SELECT COLUMN_NAME FROM information_schema.STATISTICS "
                  "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = " +
                      Literal(source_.table) + " AND INDEX_NAME = 'PRIMARY' ORDER BY SEQ_IN_INDEX",
                  rows);
        status != RDSTATUS_OK)
        return status;
    for (const std::vector<std::string> &row : rows)
        names.push_back(row.at(0));
    return RDSTATUS_OK;
}

// ON DUPLICATE KEY UPDATE acts on any unique key; the Key columns must be
// one of them, so that the rows matched are those the records name.
uint32_t Connection::CheckUniqueKey(const std::vector<std::string> &key) {
    std::vector<std::vector<std::string>> rows;
    if (uint32_t status = Query("SELECT INDEX_NAME, COLUMN_NAME FROM information_schema.STATISTICS "
                                "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = " +
                                    Literal(source_.table) +
                                    " AND NON_UNIQUE = 0 ORDER BY INDEX_NAME, SEQ_IN_INDEX",
                                rows);
        status != RDSTATUS_OK)
        return status;
    std::map<std::string, std::vector<std::string>> indexes;
    for (const std::vector<std::string> &row : rows)
        indexes[row.at(0)].push_back(row.at(1));
    for (const auto &[name, columns] : indexes)
        if (rdxc::SameColumns(columns, key)) return RDSTATUS_OK;
    return rdxc::NoUniqueKey(source_.table, key, log_);
}

uint32_t Connection::Prepare(const std::string &sql, Statement &statement) {
    statement.Take(mysql_stmt_init(db_));
    if (statement.get() == nullptr) return RDSTATUS_NOMEMORY;
    if (mysql_stmt_prepare(statement.get(), sql.data(), sql.size()) != 0) {
        const uint32_t status = StatementFailure(
            "the statement for table " + rdxc::ShownName(source_.table) + " cannot be prepared",
            statement.get());
        statement.Reset();
        return status;
    }
    return RDSTATUS_OK;
}

uint32_t Connection::PrepareWrite(Write kind, uint32_t list) {
    if (prepared_ && kind == writeKind_ && rdxc::TakeSameFields(list, writeFields_))
        return RDSTATUS_OK;
    ForgetWrite();
    if (uint32_t status = rdxc::ListFieldsOf(list, writeFields_); status != RDSTATUS_OK)
        return status;
    if (writeFields_.empty()) return log_.Fail("the field list has no fields");
    std::vector<TargetColumn> columns;
    if (uint32_t status = TableColumns(columns); status != RDSTATUS_OK) return status;
    writeColumns_.clear();
    std::vector<std::string> names;
    for (const rdxc::ListField &field : writeFields_) {
        auto column = std::find_if(columns.begin(), columns.end(), [&](const TargetColumn &c) {
            return Lower(c.name) == Lower(field.name);
        });
        if (column == columns.end())
            return log_.Fail("field " + rdxc::ShownName(field.name) + " has no column in table " +
                             rdxc::ShownName(source_.table));
        writeColumns_.push_back(*column);
        names.push_back(field.name);
    }
    if (kind == Write::Insert) {
        std::string missing;
        for (const TargetColumn &column : columns) {
            const bool given =
                std::any_of(writeColumns_.begin(), writeColumns_.end(),
                            [&](const TargetColumn &c) { return c.name == column.name; });
            if (column.notNull && !column.filled && !given)
                missing += (missing.empty() ? "" : ", ") + column.name;
        }
        if (!missing.empty())
            return log_.Fail("the table " + rdxc::ShownName(source_.table) +
                             " has NOT NULL columns without a default that the records do not "
                             "have: " +
                             missing + "; no record can be inserted");
        insertOrder_.clear();
        for (size_t i = 0; i < writeFields_.size(); ++i)
            insertOrder_.push_back(i);
        insertHead_ = "INSERT INTO " + kDialect.Quote(source_.table) + " (" +
                      rdxc::QuotedList(kDialect, names) + ") VALUES ";
        insertTail_.clear();
        if (target_.mode != rdxc::WriteMode::Insert) {
            std::vector<size_t> keyFields;
            if (uint32_t status = TargetKey(writeFields_, keyFields); status != RDSTATUS_OK)
                return status;
            std::vector<std::string> key;
            for (size_t k : keyFields)
                key.push_back(writeFields_[k].name);
            if (target_.mode == rdxc::WriteMode::Upsert) {
                if (uint32_t status = CheckUniqueKey(key); status != RDSTATUS_OK) return status;
                insertTail_ = kDialect.OnDuplicateKey(names, key);
            } else {
                deleteOrder_.clear();
                const std::string sql =
                    rdxc::KeyDelete(kDialect, source_.table, key, [&](size_t k) {
                        deleteOrder_.push_back(keyFields[k]);
                        return std::string("?");
                    });
                if (uint32_t status = Prepare(sql, delete_); status != RDSTATUS_OK) return status;
            }
        }
    } else {
        std::vector<size_t> keys;
        if (uint32_t status = rdxc::WriteKeys(
                writeFields_, rdxc::KeyNames(source_.keys), source_.table,
                [this](std::vector<std::string> &key) { return PrimaryKey(key); }, log_, keys);
            status != RDSTATUS_OK)
            return status;
        keyedOrder_.clear();
        const std::string sql = rdxc::KeyedWrite(kDialect, kind == Write::Update, source_.table,
                                                 writeFields_, keys, [&](size_t i) {
                                                     keyedOrder_.push_back(i);
                                                     return std::string("?");
                                                 });
        if (sql.empty()) return log_.Fail("the field list holds only key fields");
        if (uint32_t status = Prepare(sql, keyed_); status != RDSTATUS_OK) return status;
    }
    writeKind_ = kind;
    prepared_ = true;
    return RDSTATUS_OK;
}

uint32_t Connection::InsertStatement(uint32_t rows, MYSQL_STMT *&statement) {
    auto found = inserts_.find(rows);
    if (found == inserts_.end()) {
        // Batches hold one or two sizes; the odd ones are not kept long.
        if (inserts_.size() >= 8) inserts_.clear();
        std::string values = "(";
        for (size_t p = 0; p < insertOrder_.size(); ++p)
            values += p > 0 ? ",?" : "?";
        values += ")";
        std::string sql = insertHead_;
        sql.reserve(sql.size() + rows * (values.size() + 1) + insertTail_.size());
        for (uint32_t r = 0; r < rows; ++r)
            (sql += r > 0 ? "," : "") += values;
        sql += insertTail_;
        found = inserts_.try_emplace(rows).first;
        if (uint32_t status = Prepare(sql, found->second); status != RDSTATUS_OK) {
            inserts_.erase(found);
            return status;
        }
    }
    statement = found->second.get();
    return RDSTATUS_OK;
}

size_t Connection::RecordBytes(uint32_t index) const {
    size_t bytes = 0;
    for (const rdxc::ListField &field : writeFields_) {
        bytes += kFieldOverhead;
        if (field.type != RDTYPE_TEXT && field.type != RDTYPE_BINARY) continue;
        void *value = nullptr;
        uint32_t *indicator = nullptr;
        if (RDFieldGetBuffer(field.field, index, &value, &indicator) == RDSTATUS_OK &&
            *indicator == 0)
            bytes += static_cast<const RDStream *>(value)->length;
    }
    return bytes;
}

uint32_t Connection::NumberText(const rdxc::ListField &field, const TargetColumn &column,
                                uint32_t index, std::string &out) {
    auto fault = [&](uint32_t status, const std::string &problem) {
        return status == RDSTATUS_NOMEMORY
                   ? status
                   : log_.RecordFault("record " + std::to_string(index) + ", field " +
                                          rdxc::ShownName(field.name) + ": " + problem + batchNote_,
                                      status);
    };
    bool isNull = false;
    if (uint32_t status = rdxc::ValueToText(field.field, field.type, index, out, isNull);
        status != RDSTATUS_OK)
        return fault(status, "the value has no text form");
    if ((field.type != RDTYPE_NUMERIC && field.type != RDTYPE_CURRENCY) || column.scale < 0)
        return RDSTATUS_OK;
    // More digits after the point than the column keeps are refused, or
    // rounded by the rules: never cut unseen.
    thread_local rdxc::Decimal number;
    if (!rdxc::ParseDecimal(out, number) || rdxc::ScaleOf(number) <= column.scale)
        return RDSTATUS_OK;
    const std::string before = out;
    if (rdxc::Rescale(number, static_cast<int32_t>(column.scale), values_.rounding()) ==
        rdxc::Fit::TooFine)
        return fault(RDSTATUS_NOFIT, rdxc::TooManyDecimals(before, rdxc::ScaleOf(number),
                                                           column.scale, "that the column"));
    rdxc::FormatDecimal(number, static_cast<int32_t>(column.scale), out);
    return RDSTATUS_OK;
}

uint32_t Connection::BindRows(MYSQL_STMT *statement, const std::vector<size_t> &order,
                              uint32_t first, uint32_t rows) {
    const size_t count = order.size() * rows;
    binds_.assign(count, MYSQL_BIND{});
    texts_.resize(count);
    boundLengths_.assign(count, 0);
    ints_.assign(count, 0);
    floats_.assign(count, 0);
    nulls_.assign(count, 0);
    for (uint32_t r = 0; r < rows; ++r) {
        const uint32_t index = first + r;
        for (size_t p = 0; p < order.size(); ++p) {
            const size_t k = r * order.size() + p;
            const rdxc::ListField &field = writeFields_[order[p]];
            const TargetColumn &column = writeColumns_[order[p]];
            MYSQL_BIND &bind = binds_[k];
            bind.length = &boundLengths_[k];
            bind.is_null = reinterpret_cast<my_bool *>(&nulls_[k]);
            void *value = nullptr;
            uint32_t *indicator = nullptr;
            if (uint32_t status = RDFieldGetBuffer(field.field, index, &value, &indicator);
                status != RDSTATUS_OK)
                return status;
            auto fault = [&](uint32_t status, const std::string &problem) {
                return status == RDSTATUS_NOMEMORY
                           ? status
                           : log_.RecordFault("record " + std::to_string(index) + ", field " +
                                                  rdxc::ShownName(field.name) + ": " + problem +
                                                  batchNote_,
                                              status);
            };
            if (*indicator != 0) {
                bind.buffer_type = MYSQL_TYPE_NULL;
                nulls_[k] = 1;
                continue;
            }
            switch (field.type) {
            case RDTYPE_INT:
                ints_[k] = *static_cast<const int32_t *>(value);
                bind.buffer_type = MYSQL_TYPE_LONG;
                bind.buffer = &ints_[k];
                continue;
            case RDTYPE_FLOAT:
                floats_[k] = *static_cast<const double *>(value);
                bind.buffer_type = MYSQL_TYPE_DOUBLE;
                bind.buffer = &floats_[k];
                continue;
            case RDTYPE_BINARY: {
                const RDStream &bytes = *static_cast<const RDStream *>(value);
                bind.buffer_type = MYSQL_TYPE_BLOB;
                bind.buffer = bytes.data;
                boundLengths_[k] = bytes.data == nullptr ? 0 : bytes.length;
                continue;
            }
            case RDTYPE_TEXT: {
                const RDStream &text = *static_cast<const RDStream *>(value);
                bind.buffer_type = MYSQL_TYPE_STRING;
                if (text.charset == RDCHARSET_INTERCHANGE || text.data == nullptr) {
                    bind.buffer = text.data;
                    boundLengths_[k] = text.data == nullptr ? 0 : text.length;
                    continue;
                }
                if (uint32_t status = rdxc::Utf8Of(text, texts_[k]); status != RDSTATUS_OK)
                    return fault(status, "the text has no UTF-8 form");
                break;
            }
            default:
                if (uint32_t status = NumberText(field, column, index, texts_[k]);
                    status != RDSTATUS_OK)
                    return status;
                break;
            }
            bind.buffer_type = MYSQL_TYPE_STRING;
            bind.buffer = texts_[k].data();
            boundLengths_[k] = texts_[k].size();
        }
    }
    if (mysql_stmt_bind_param(statement, binds_.data()) != 0)
        return StatementFailure("the values cannot be bound", statement);
    return RDSTATUS_OK;
}

uint32_t Connection::RunKeyed(MYSQL_STMT *statement, const std::vector<size_t> &order,
                              uint32_t index, uint64_t &changed) {
    if (uint32_t status = BindRows(statement, order, index, 1); status != RDSTATUS_OK)
        return status;
    if (mysql_stmt_execute(statement) != 0)
        return WriteFailure("record " + std::to_string(index), statement);
    const my_ulonglong rows = mysql_stmt_affected_rows(statement);
    if (rows != static_cast<my_ulonglong>(-1)) changed += rows;
    return RDSTATUS_OK;
}

uint32_t Connection::FindRefused(uint32_t first, uint32_t count, const std::string &rolledBack) {
    MYSQL_STMT *single = nullptr;
    if (uint32_t status = InsertStatement(1, single); status != RDSTATUS_OK) return status;
    if (mysql_query(db_, "START TRANSACTION") != 0)
        return ServerFailure("the batch was refused" + rolledBack +
                             "; the refused record cannot be looked for");
    for (uint32_t r = 0; r < count; ++r) {
        uint64_t changed = 0;
        uint32_t status = RDSTATUS_OK;
        if (delete_.get() != nullptr)
            status = RunKeyed(delete_.get(), deleteOrder_, first + r, changed);
        if (status == RDSTATUS_OK) status = RunKeyed(single, insertOrder_, first + r, changed);
        if (status != RDSTATUS_OK) {
            RollBack();
            return status;
        }
    }
    RollBack();
    return log_.Fail("the batch was refused as a whole, though each record goes in alone" +
                     rolledBack);
}

uint32_t Connection::WriteBatch(Write kind, uint32_t list, uint32_t first, uint32_t count,
                                uint32_t *done) {
    *done = 0;
    if (uint32_t status = Ready(); status != RDSTATUS_OK) return status;
    if (source_.table.empty()) return log_.Fail("no table is named (property Table)");
    if (uint32_t status = PrepareWrite(kind, list); status != RDSTATUS_OK) return status;
    if (count == 0) return RDSTATUS_OK;
    const std::string rolledBack =
        "; the batch of " + std::to_string(count) + " records was rolled back";
    const bool marked = kind == Write::Insert && mark_.Pending();
    if (marked)
        if (uint32_t status = MakeMarkTable(); status != RDSTATUS_OK) return status;
    // The copy's mark goes first, with the records it counts: a batch of a
    // run whose mark another run replaced fails as that.
    auto begin = [&]() -> uint32_t {
        if (mysql_query(db_, "START TRANSACTION") != 0)
            return ServerFailure("the batch's transaction cannot begin");
        if (!marked) return RDSTATUS_OK;
        const uint32_t status = StoreMark("batch");
        if (status != RDSTATUS_OK) RollBack();
        return status;
    };
    auto committed = [&] {
        if (marked) mark_.Stored();
        *done = count;
        return uint32_t{RDSTATUS_OK};
    };
    if (uint32_t status = begin(); status != RDSTATUS_OK) return status;
    // Failures of records say that the batch went with them.
    batchNote_ = rolledBack;
    struct Clear {
        std::string &note;
        ~Clear() { note.clear(); }
    } clear{batchNote_};
    auto fail = [&](uint32_t status) {
        RollBack();
        return status;
    };
    uint64_t changed = 0;
    if (kind != Write::Insert) {
        uint64_t matched = 0;
        for (uint32_t r = 0; r < count; ++r) {
            uint64_t rows = 0;
            if (uint32_t status = RunKeyed(keyed_.get(), keyedOrder_, first + r, rows);
                status != RDSTATUS_OK)
                return fail(status);
            if (rows > 0) ++matched;
        }
        if (mysql_commit(db_) != 0)
            return fail(ServerFailure("the batch cannot be committed" + rolledBack));
        *done = static_cast<uint32_t>(matched);
        return RDSTATUS_OK;
    }
    if (uint32_t status = rdxc::NullKey(writeFields_, deleteOrder_, first,
                                        delete_.get() != nullptr ? count : 0, log_);
        status != RDSTATUS_OK)
        return fail(status);
    // A delete-insert deletes the keys of the whole batch first, so that
    // records of one key in the batch all go in.
    for (uint32_t r = 0; delete_.get() != nullptr && r < count; ++r)
        if (uint32_t status = RunKeyed(delete_.get(), deleteOrder_, first + r, changed);
            status != RDSTATUS_OK)
            return fail(status);
    if (loadData_ && delete_.get() == nullptr && insertTail_.empty()) {
        bool again = false;
        if (uint32_t status = LoadBatch(first, count, rolledBack, again); status != RDSTATUS_OK)
            return status;
        if (!again) {
            if (mysql_commit(db_) != 0)
                return fail(ServerFailure("the batch cannot be committed" + rolledBack));
            return committed();
        }
        if (uint32_t status = begin(); status != RDSTATUS_OK) return status;
    }
    const size_t most =
        std::max<size_t>(1, std::min<size_t>(batchRows_, kMostParameters / writeFields_.size()));
    // Room for the statement's own bytes in the packet of its values.
    const size_t budget = maxPacket_ > 4096 ? maxPacket_ - 4096 : maxPacket_ / 2;
    for (uint32_t next = first, end = first + count; next < end;) {
        uint32_t rows = 0;
        size_t bytes = 0;
        while (rows < most && next + rows < end) {
            const size_t record = RecordBytes(next + rows);
            if (record > budget) {
                RollBack();
                return log_.RecordFault(
                    "record " + std::to_string(next + rows) + " takes " + std::to_string(record) +
                    " bytes, more than the server's max_allowed_packet (" +
                    std::to_string(maxPacket_) + ") lets a statement send" + rolledBack);
            }
            if (rows > 0 && bytes + record > budget) break;
            bytes += record;
            ++rows;
        }
        MYSQL_STMT *statement = nullptr;
        if (uint32_t status = InsertStatement(rows, statement); status != RDSTATUS_OK)
            return fail(status);
        if (uint32_t status = BindRows(statement, insertOrder_, next, rows); status != RDSTATUS_OK)
            return fail(status);
        if (mysql_stmt_execute(statement) != 0) {
            const unsigned error = mysql_stmt_errno(statement);
            if (!RefusesRecord(error, mysql_stmt_sqlstate(statement)))
                return fail(
                    StatementFailure("the batch cannot be inserted" + rolledBack, statement));
            RollBack();
            return FindRefused(first, count, rolledBack);
        }
        next += rows;
    }
    if (mysql_commit(db_) != 0)
        return fail(ServerFailure("the batch cannot be committed" + rolledBack));
    return committed();
}

uint32_t Connection::Insert(uint32_t list, uint32_t first, uint32_t count, uint32_t *done) {
    return WriteBatch(Write::Insert, list, first, count, done);
}

// Every statement of SQL, as execute runs them; the count is the rows the
// last one removed.
uint32_t Connection::RemoveBySql(uint32_t *done) {
    if (source_.sql.empty())
        return log_.Fail("remove without a field list needs an SQL text (property SQL)");
    return Execute(done);
}

} // namespace rdmysql
