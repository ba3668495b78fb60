// SPDX-License-Identifier: Apache-2.0
// Insert through COPY ... FROM STDIN in the binary format, one COPY per
// batch (the server takes all of the batch's rows or none of them) or one
// for all batches of the connection, ended and committed by the next other
// operation or the disconnect; a copy's mark goes into the same transaction.
// Update and remove through a prepared statement run for each record of the
// batch in one transaction.
#include "connector_actions.h"
#include "pg_binary.h"
#include "pg_connection.h"
#include "pg_dialect.h"
#include "sql_write.h"

#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"
#include "value_text.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numeric>

namespace rdpg {
namespace {

constexpr char kCopyHeader[] = "PGCOPY\n\377\r\n\0\0\0\0\0\0\0\0\0";
constexpr size_t kCopyHeaderSize = 19;
constexpr size_t kChunk = 1 << 20; // bytes handed to libpq at a time
constexpr const char *kWriteStatement = "rdpg_write";

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// The line of the COPY's data the server names in the error's context
// ("COPY t, line 3, column c: ..."), 0 when none.
uint32_t FailedLine(const PGresult *result) {
    const char *context = PQresultErrorField(result, PG_DIAG_CONTEXT);
    if (context == nullptr) return 0;
    const char *line = std::strstr(context, ", line ");
    if (line == nullptr) return 0;
    return static_cast<uint32_t>(std::strtoul(line + 7, nullptr, 10));
}

std::vector<std::string> SplitNames(const std::string &text) {
    std::vector<std::string> names;
    std::string name;
    for (char c : text + ",") {
        if (c == ',') {
            if (!name.empty()) names.push_back(name);
            name.clear();
        } else if (c != ' ') {
            name += c;
        }
    }
    return names;
}

} // namespace

uint32_t Connection::TableColumns(std::vector<std::string> &names, std::vector<ColumnKind> &types,
                                  std::vector<std::string> &required) {
    const std::string table = QuoteName(source_.table);
    const char *values[] = {table.c_str()};
    Result result(PQexecParams(
        db_,
        "SELECT attname, atttypid, attnotnull AND NOT atthasdef AND attidentity = '' AND "
        "attgenerated = '', atttypmod FROM pg_attribute WHERE attrelid = $1::regclass AND "
        "attnum > 0 AND "
        "NOT attisdropped ORDER BY attnum",
        1, nullptr, values, nullptr, nullptr, 0));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        return ServerFailure("the columns of " + source_.table + " cannot be read", result.get());
    for (int r = 0; r < PQntuples(result.get()); ++r) {
        names.emplace_back(PQgetvalue(result.get(), r, 0));
        types.push_back(
            {static_cast<uint32_t>(std::strtoul(PQgetvalue(result.get(), r, 1), nullptr, 10)),
             static_cast<int32_t>(std::strtol(PQgetvalue(result.get(), r, 3), nullptr, 10))});
        if (PQgetvalue(result.get(), r, 2)[0] == 't') required.push_back(names.back());
    }
    return RDSTATUS_OK;
}

// Matches the list's fields to the table's columns (by name, case ignored
// when no column has the exact name) and makes the COPY statement.
uint32_t Connection::PrepareCopy(uint32_t list) {
    if (copyTable_ == source_.table && FollowCopyList(list)) return RDSTATUS_OK;
    copyList_ = 0;
    if (uint32_t status = NeedTable(); status != RDSTATUS_OK) return status;
    if (uint32_t status = rdxc::ListFieldsOf(list, writeFields_); status != RDSTATUS_OK)
        return status;
    if (writeFields_.empty()) return log_.Fail("the field list has no fields");
    std::vector<std::string> names, required, chosen;
    std::vector<ColumnKind> types;
    if (uint32_t status = TableColumns(names, types, required); status != RDSTATUS_OK)
        return status;
    std::map<std::string, size_t> exact, folded;
    for (size_t i = 0; i < names.size(); ++i) {
        exact[names[i]] = i;
        folded.emplace(Lower(names[i]), i);
    }
    writeTypes_.clear();
    std::string columns;
    for (const rdxc::ListField &field : writeFields_) {
        auto found = exact.find(field.name);
        if (found == exact.end()) found = folded.find(Lower(field.name));
        if (found == exact.end() || found == folded.end())
            return log_.Fail("field " + rdxc::ShownName(field.name) + " has no column in table " +
                             source_.table);
        writeTypes_.push_back(types[found->second]);
        chosen.push_back(names[found->second]);
        columns += (columns.empty() ? "" : ", ") + QuoteName(names[found->second]);
    }
    if (uint32_t status = CheckCovered(chosen, required); status != RDSTATUS_OK) return status;
    copyColumns_ = chosen;
    copySql_ = "COPY " + QuoteName(source_.table) + " (" + columns + ") FROM STDIN (FORMAT binary)";
    keyFields_.clear();
    if (Staged())
        if (uint32_t status = PrepareStage(); status != RDSTATUS_OK) return status;
    copyList_ = list;
    copyTable_ = source_.table;
    return RDSTATUS_OK;
}

// The COPY's list, or another list of its fields (a copy reading its next
// batch into a second list), which the COPY then takes its records from.
bool Connection::FollowCopyList(uint32_t list) {
    if (copyList_ == 0) return false;
    if (list != copyList_ && !rdxc::TakeSameFields(list, writeFields_)) return false;
    copyList_ = list;
    return true;
}

// Appends the records to the buffer, sending it in pieces when stream is
// set; a record that does not encode stops the encoding (failed names it,
// encodeProblem_ says why).
uint32_t Connection::EncodeRecords(uint32_t first, uint32_t count, bool stream, uint32_t &failed) {
    failed = 0;
    const uint16_t fields = static_cast<uint16_t>(writeFields_.size());
    for (uint32_t r = 0; r < count; ++r) {
        buffer_ += static_cast<char>(fields >> 8);
        buffer_ += static_cast<char>(fields & 0xFF);
        for (size_t f = 0; f < writeFields_.size(); ++f) {
            const rdxc::ListField &field = writeFields_[f];
            if (uint32_t status = AppendValue(writeTypes_[f], field.field, field.type, first + r,
                                              values_, buffer_, encodeProblem_);
                status != RDSTATUS_OK) {
                failed = first + r;
                encodeProblem_ = "field " + field.name + ": " + encodeProblem_;
                return status;
            }
        }
        if (stream && buffer_.size() >= kChunk)
            if (uint32_t status = SendBuffer(); status != RDSTATUS_OK) return status;
    }
    return RDSTATUS_OK;
}

// Hands the buffer to libpq in pieces of at most kChunk bytes.
uint32_t Connection::SendBuffer() {
    for (size_t at = 0; at < buffer_.size(); at += kChunk) {
        const size_t size = std::min(kChunk, buffer_.size() - at);
        if (PQputCopyData(db_, buffer_.data() + at, static_cast<int>(size)) != 1)
            return RDSTATUS_FREETEXT; // the caller logs libpq's message
    }
    buffer_.clear();
    return RDSTATUS_OK;
}

// Ends the COPY in progress (with error, the server rolls it back) and
// takes its outcome. The COPY is always ended before results are read, so
// that libpq never stays in the middle of one.
Result Connection::FinishCopy(const char *error) {
    PQputCopyEnd(db_, error);
    Result result(PQgetResult(db_));
    for (int i = 0; i < 8; ++i) { // the end of results; bounded should libpq keep answering
        PGresult *more = PQgetResult(db_);
        if (more == nullptr) break;
        PQclear(more);
    }
    buffer_.clear();
    return result;
}

uint32_t Connection::Insert(uint32_t list, uint32_t first, uint32_t count, uint32_t *done) {
    *done = 0;
    if (db_ == nullptr) return RDSTATUS_NOTCONNECTED;
    // Not a fault of a record: the whole copy is gone.
    if (copyFailed_) {
        log_.Fail("the copy of this connection was rolled back; it takes no more records until "
                  "it connects again");
        return RDSTATUS_NOTCONNECTED;
    }
    // A COPY is made for one table and list (or another list of the same
    // fields), and one per batch ends the connection's.
    if (copyOpen_ &&
        (source_.table != copyTable_ || !settings_.copyPerConnection || !FollowCopyList(list))) {
        if (EndCopy() != RDSTATUS_OK) return RDSTATUS_NOTCONNECTED;
    }
    if (uint32_t status = CloseCursor(); status != RDSTATUS_OK) return status;
    if (uint32_t status = PrepareCopy(list); status != RDSTATUS_OK) return status;
    if (count == 0) return RDSTATUS_OK;
    if (uint32_t status = rdxc::NullKey(writeFields_, keyFields_, first, count, log_);
        status != RDSTATUS_OK)
        return status;
    if (settings_.copyPerConnection) return InsertIntoCopy(first, count, done);
    return Staged() ? StagedBatch(first, count, done) : InsertBatch(first, count, done);
}

// The batch's COPY, and with a mark waiting, the mark in the same
// transaction.
uint32_t Connection::InsertBatch(uint32_t first, uint32_t count, uint32_t *done) {
    if (!mark_.Pending()) return CopyBatch(first, count, done);
    const uint32_t status = WithMark([&] { return CopyBatch(first, count, done); },
                                     "the mark cannot be stored; the batch of " +
                                         std::to_string(count) + " records was rolled back",
                                     "batch");
    if (status != RDSTATUS_OK) *done = 0;
    return status;
}

// One COPY for the batch: the server takes all of it or none.
uint32_t Connection::CopyBatch(uint32_t first, uint32_t count, uint32_t *done) {
    Result started(PQexec(db_, copySql_.c_str()));
    if (PQresultStatus(started.get()) != PGRES_COPY_IN)
        return ServerFailure("the copy into " + source_.table + " cannot start", started.get());
    uint32_t failed = 0;
    buffer_.assign(kCopyHeader, kCopyHeaderSize);
    uint32_t sent = EncodeRecords(first, count, true, failed);
    if (sent == RDSTATUS_OK) {
        buffer_ += "\xFF\xFF";
        sent = SendBuffer();
    }
    const std::string rolledBack =
        "; the batch of " + std::to_string(count) + " records was rolled back";
    const Result result = FinishCopy(sent == RDSTATUS_OK ? nullptr
                                     : failed != 0       ? "a record does not encode"
                                                         : "the records cannot be sent");
    if (failed != 0 && sent == RDSTATUS_NOMEMORY) return sent;
    if (failed != 0)
        return log_.RecordFault(
            "record " + std::to_string(failed) + ", " + encodeProblem_ + rolledBack, sent);
    if (sent != RDSTATUS_OK || PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
        const uint32_t line = result != nullptr ? FailedLine(result.get()) : 0;
        const std::string where =
            line > 0 && line <= count ? "record " + std::to_string(first + line - 1) : "the batch";
        // Records that could not be sent are no record's fault.
        if (sent != RDSTATUS_OK)
            return ServerFailure(where + " was not sent" + rolledBack, result.get());
        return WriteFailure(where + " was refused" + rolledBack, result.get());
    }
    *done = count;
    return RDSTATUS_OK;
}

// The batch goes into the connection's COPY, opened by the first batch. It
// is encoded whole before anything is sent, so that a record that does not
// encode fails only its batch and the COPY goes on.
uint32_t Connection::InsertIntoCopy(uint32_t first, uint32_t count, uint32_t *done) {
    if (!copyOpen_) {
        // A copy that keeps a mark commits it with the COPY, in a
        // transaction begun before it; so does a staged copy, merged at its
        // end.
        copyStaged_ = Staged();
        if (copyStaged_) {
            if (uint32_t status = BeginStage(); status != RDSTATUS_OK) return status;
            copyInTransaction_ = true;
        } else if (mark_.Active()) {
            if (uint32_t status = Run("BEGIN", PGRES_COMMAND_OK); status != RDSTATUS_OK)
                return status;
            copyInTransaction_ = true;
        }
        Result started(PQexec(db_, copySql_.c_str()));
        if (PQresultStatus(started.get()) != PGRES_COPY_IN) {
            const uint32_t status =
                ServerFailure("the copy into " + source_.table + " cannot start", started.get());
            if (copyInTransaction_) RollBackQuietly();
            copyInTransaction_ = false;
            return status;
        }
        copyOpen_ = true;
        copyBatches_.clear();
        buffer_.assign(kCopyHeader, kCopyHeaderSize);
    }
    const size_t kept = copyBatches_.empty() ? kCopyHeaderSize : 0; // the header, once
    buffer_.resize(std::min(buffer_.size(), kept));
    uint32_t failed = 0;
    if (uint32_t status = EncodeRecords(first, count, false, failed); status != RDSTATUS_OK) {
        buffer_.resize(kept);
        // The connection's COPY goes on without the batch.
        if (status == RDSTATUS_NOMEMORY) return status;
        return log_.RecordFault("record " + std::to_string(failed) + ", " + encodeProblem_ +
                                    "; the batch of " + std::to_string(count) +
                                    " records was not sent",
                                status);
    }
    copyBatches_.push_back(count);
    if (SendBuffer() != RDSTATUS_OK) {
        // The server is gone or the connection broke: the whole copy is.
        copyOpen_ = false;
        const Result result = FinishCopy("the records cannot be sent");
        LoseCopy(result.get());
        return RDSTATUS_NOTCONNECTED;
    }
    *done = count;
    return RDSTATUS_OK;
}

// "the copy of N records was rolled back", N the records of its batches.
std::string Connection::RolledBack() const {
    const uint64_t records = std::accumulate(copyBatches_.begin(), copyBatches_.end(), uint64_t{0});
    return "the copy of " + std::to_string(records) + " records was rolled back";
}

// Logs that the connection's COPY was rolled back, with the record the
// server refused when its error names one (from the COPY's line: the batch
// it came in and its place there); the connection takes no more inserts.
uint32_t Connection::LoseCopy(const PGresult *result) {
    const uint64_t line = result != nullptr ? FailedLine(result) : 0;
    std::string where;
    uint64_t before = 0; // records of the batches before batch b
    for (size_t b = 0; b < copyBatches_.size() && where.empty(); before += copyBatches_[b++]) {
        if (line > before && line <= before + copyBatches_[b])
            where = "record " + std::to_string(line - before) + " of batch " +
                    std::to_string(b + 1) + " was refused; ";
    }
    return DropCopy(ServerFailure(where + RolledBack(), result));
}

// The connection's COPY given up after its failure was logged (status):
// its transaction rolled back, no more inserts taken.
uint32_t Connection::DropCopy(uint32_t status) {
    copyFailed_ = true;
    copyBatches_.clear();
    if (copyInTransaction_) RollBackQuietly();
    copyInTransaction_ = false;
    return status;
}

// Ends the connection's COPY and waits for the server to commit it.
uint32_t Connection::EndCopy() {
    if (!copyOpen_) return RDSTATUS_OK;
    copyOpen_ = false;
    // The header goes with the first batch sent; a COPY that got none sends
    // it now.
    if (copyBatches_.empty())
        buffer_.assign(kCopyHeader, kCopyHeaderSize);
    else
        buffer_.clear();
    buffer_ += "\xFF\xFF";
    const uint32_t sent = SendBuffer();
    const Result result = FinishCopy(sent == RDSTATUS_OK ? nullptr : "the copy cannot be ended");
    if (sent != RDSTATUS_OK || PQresultStatus(result.get()) != PGRES_COMMAND_OK)
        return LoseCopy(result.get());
    if (copyStaged_ && !copyBatches_.empty()) {
        Result merged(PQexec(db_, mergeSql_.c_str()));
        if (PQresultStatus(merged.get()) != PGRES_COMMAND_OK) return LoseCopy(merged.get());
    }
    return CommitCopy();
}

// The transaction of an ended COPY begun for a mark: the mark stored, then
// both committed.
uint32_t Connection::CommitCopy() {
    if (copyInTransaction_) {
        const bool storing = mark_.Pending();
        if (storing) {
            const uint64_t records =
                std::accumulate(copyBatches_.begin(), copyBatches_.end(), uint64_t{0});
            const uint32_t status = StoreMark("the mark cannot be stored; " + RolledBack(),
                                              "copy of " + std::to_string(records) + " records");
            if (status != RDSTATUS_OK) return DropCopy(status);
        }
        const Result ended(PQexec(db_, "COMMIT"));
        if (PQresultStatus(ended.get()) != PGRES_COMMAND_OK) return LoseCopy(ended.get());
        copyInTransaction_ = false;
        if (storing) MarkCommitted();
    }
    copyBatches_.clear();
    return RDSTATUS_OK;
}

uint64_t Connection::Uncommitted() const {
    if (!copyOpen_) return 0;
    return std::accumulate(copyBatches_.begin(), copyBatches_.end(), uint64_t{0});
}

// Rolls the connection's COPY back: for a host whose copy failed, so that
// nothing of it is committed when the connection ends.
uint32_t Connection::AbandonCopy() {
    if (!copyOpen_) return RDSTATUS_OK;
    copyOpen_ = false;
    FinishCopy("the copy was abandoned");
    if (copyInTransaction_) RollBackQuietly();
    copyInTransaction_ = false;
    rdxc::LogInformation(RolledBack());
    copyBatches_.clear();
    return RDSTATUS_OK;
}

// The primary key columns of the table, in the order of the key.
uint32_t Connection::PrimaryKey(std::vector<std::string> &names) {
    const std::string table = QuoteName(source_.table);
    const char *values[] = {table.c_str()};
    Result result(PQexecParams(
        db_,
        "SELECT a.attname FROM pg_index i JOIN pg_attribute a ON a.attrelid = i.indrelid "
        "AND a.attnum = ANY(i.indkey) WHERE i.indrelid = $1::regclass AND i.indisprimary",
        1, nullptr, values, nullptr, nullptr, 0));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        return ServerFailure("the key of " + source_.table + " cannot be read", result.get());
    for (int r = 0; r < PQntuples(result.get()); ++r)
        names.emplace_back(PQgetvalue(result.get(), r, 0));
    return RDSTATUS_OK;
}

// The prepared update (SET the other fields WHERE the keys match) or remove
// (WHERE the keys match); keys from the Keys property or the primary key.
// A second list of the same fields (a pipelined copy's) keeps the statement.
uint32_t Connection::PrepareWrite(Write kind, uint32_t list) {
    const std::string key = source_.table + "|" + source_.keys;
    if (prepared_ && writeKind_ == kind && writeKey_ == key &&
        rdxc::TakeSameFields(list, writeFields_))
        return RDSTATUS_OK;
    copyList_ = 0;
    if (prepared_) Run(std::string("DEALLOCATE ") + kWriteStatement, PGRES_COMMAND_OK);
    prepared_ = false;
    if (uint32_t status = NeedTable(); status != RDSTATUS_OK) return status;
    if (uint32_t status = rdxc::ListFieldsOf(list, writeFields_); status != RDSTATUS_OK)
        return status;
    std::vector<size_t> keys;
    if (uint32_t status = rdxc::WriteKeys(
            writeFields_, SplitNames(source_.keys), source_.table,
            [this](std::vector<std::string> &names) { return PrimaryKey(names); }, log_, keys);
        status != RDSTATUS_OK)
        return status;
    parameters_.clear();
    auto parameter = [&](size_t i) {
        parameters_.push_back(i);
        return kDialect.Marker(parameters_.size());
    };
    const std::string sql = rdxc::KeyedWrite(kDialect, kind == Write::Update, source_.table,
                                             writeFields_, keys, parameter);
    if (sql.empty()) return log_.Fail("the field list holds only key fields");
    Result result(PQprepare(db_, kWriteStatement, sql.c_str(), 0, nullptr));
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK)
        return ServerFailure("the statement for table " + source_.table + " cannot be prepared",
                             result.get());
    prepared_ = true;
    writeKind_ = kind;
    writeKey_ = key;
    return RDSTATUS_OK;
}

uint32_t Connection::WriteBatch(Write kind, uint32_t list, uint32_t first, uint32_t count,
                                uint32_t *done) {
    *done = 0;
    if (uint32_t status = Ready(); status != RDSTATUS_OK) return status;
    if (uint32_t status = PrepareWrite(kind, list); status != RDSTATUS_OK) return status;
    if (uint32_t status = Run("BEGIN", PGRES_COMMAND_OK); status != RDSTATUS_OK) return status;
    const std::string rolledBack =
        "; the batch of " + std::to_string(count) + " records was rolled back";
    std::vector<std::string> texts(parameters_.size());
    std::vector<const char *> values(parameters_.size());
    std::vector<int> lengths(parameters_.size()), formats(parameters_.size());
    uint32_t matched = 0;
    for (uint32_t r = 0; r < count; ++r) {
        const uint32_t index = first + r;
        for (size_t p = 0; p < parameters_.size(); ++p) {
            const rdxc::ListField &field = writeFields_[parameters_[p]];
            bool isNull = RDFieldIsNull(field.field, index) != 0;
            uint32_t status = RDSTATUS_OK;
            if (!isNull && field.type == RDTYPE_BINARY) {
                void *value = nullptr;
                uint32_t *indicator = nullptr;
                status = RDFieldGetBuffer(field.field, index, &value, &indicator);
                const RDStream &bytes = *static_cast<const RDStream *>(value);
                texts[p].assign(reinterpret_cast<const char *>(bytes.data),
                                bytes.data == nullptr ? 0 : bytes.length);
            } else if (!isNull) {
                status =
                    rdxc::ValueToText(field.field, field.type, index, texts[p], isNull, &values_);
            }
            if (status != RDSTATUS_OK) {
                Run("ROLLBACK", PGRES_COMMAND_OK);
                return log_.RecordFault("record " + std::to_string(index) + ", field " +
                                            field.name + ": the value has no text form" +
                                            rolledBack,
                                        status);
            }
            values[p] = isNull ? nullptr : texts[p].c_str();
            lengths[p] = static_cast<int>(texts[p].size());
            formats[p] = field.type == RDTYPE_BINARY ? 1 : 0;
        }
        Result result(PQexecPrepared(db_, kWriteStatement, static_cast<int>(values.size()),
                                     values.data(), lengths.data(), formats.data(), 0));
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
            const uint32_t status =
                WriteFailure("record " + std::to_string(index) + rolledBack, result.get());
            Run("ROLLBACK", PGRES_COMMAND_OK);
            return status;
        }
        if (std::string(PQcmdTuples(result.get())) != "0") ++matched;
    }
    if (uint32_t status = Run("COMMIT", PGRES_COMMAND_OK); status != RDSTATUS_OK) return status;
    *done = matched;
    return RDSTATUS_OK;
}

// Without a list, the SQL text says what to remove.
uint32_t Connection::RemoveBySql(uint32_t *done) {
    return Execute(done);
}

} // namespace rdpg
