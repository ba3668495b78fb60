// SPDX-License-Identifier: Apache-2.0
// One connection of the SQLite connector: its properties, the database, the
// statement of a select and the prepared statements of the writes.
#pragma once

#include "connector_actions.h"
#include "connector_log.h"
#include "connector_values.h"
#include "copy_mark.h"
#include "declarations.h"
#include "list_fields.h"
#include "sql_link.h"
#include "sqlite_types.h"
#include "value_text.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace rdsqlite {

// Its own properties; the database, the table, the SQL text and LastError
// have the kit's numbers (sql_link.h, declarations.h). CommitRecords and
// CommitSeconds say when inserts held in one transaction are committed
// (sqlite_commit.cpp); Uncommitted tells how many records it holds.
enum PropertyNumber : uint32_t {
    kCreate = 2,
    kBusyTimeout = 3,
    kKeys = 4,
    kSetup = 5,
    kCommitRecords = 6,
    kCommitSeconds = 7,
};

inline constexpr PropertyDeclaration kOwnDeclarations[] = {
    rdxc::Declare(kKeys, RDTYPE_TEXT, "Keys"),
    rdxc::Declare(kSetup, RDTYPE_TEXT, "Setup"),
    rdxc::Declare(kCreate, RDTYPE_INT, "Create"),
    rdxc::Declare(kBusyTimeout, RDTYPE_INT, "BusyTimeout"),
    rdxc::Declare(kCommitRecords, RDTYPE_INT, "CommitRecords"),
    rdxc::Declare(kCommitSeconds, RDTYPE_INT, "CommitSeconds"),
    rdxc::Declare(rdxc::kUncommitted, RDTYPE_INT, "Uncommitted"),
};

// A copy's target (a connection with MarkName) commits its first insert at
// once and later ones with the copy's mark once they hold this many
// records, or CommitSeconds after the first of them; other connections
// commit every insert unless CommitRecords is set.
inline constexpr int32_t kCopyCommitRecords = 100000;
inline constexpr int32_t kCommitSecondsDefault = 1;

// A statement finalized at the end of its scope.
class Statement {
  public:
    Statement() = default;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement() { Reset(); }
    sqlite3_stmt *get() const { return statement_; }
    sqlite3_stmt **out() {
        Reset();
        return &statement_;
    }
    void Reset() {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }

  private:
    sqlite3_stmt *statement_ = nullptr;
};

// A column of the target table as pragma_table_xinfo gives it.
struct TableColumn {
    std::string name, type;
    int key = 0;          // position in the primary key, 0 for none
    bool notNull = false; // declared NOT NULL
    bool filled = false;  // SQLite fills it when an insert leaves it out
};

struct Settings {
    std::string setup;
    bool create = false;
    int32_t busyTimeout = 5000;
    int32_t commitRecords = -1; // -1: by whether the connection keeps a mark
    int32_t commitSeconds = kCommitSecondsDefault;
};

class Connection : public rdxc::SqlLink {
  public:
    Connection()
        : SqlLink({.keys = kKeys, .database = rdxc::kDatabase, .marks = true, .keyedWrites = true},
                  "SQLite connections") {}
    static constexpr auto kDeclarations = rdxc::JoinDeclarations(
        rdxc::kDatabaseDeclarations, rdxc::kSqlSourceDeclarations, kOwnDeclarations,
        rdxc::kLastErrorDeclarations, rdxc::kMarkDeclarations, rdxc::kSelectDeclarations,
        rdxc::kValueDeclarations, rdxc::kKeyedWriteDeclarations, rdxc::kIncrementalDeclarations);
    ~Connection() { Disconnect(); }
    uint32_t Connect();
    // Commits the inserts held uncommitted (with the copy's mark); a commit
    // that fails is the status, after everything was closed.
    uint32_t Disconnect();
    uint32_t Execute(uint32_t *count);
    uint32_t Select(uint32_t list, uint32_t *count);
    uint32_t Fetch(uint32_t list, uint32_t first, uint32_t count, uint32_t *fetched);
    uint32_t Insert(uint32_t list, uint32_t first, uint32_t count, uint32_t *done);
    uint32_t Catalog(uint32_t kind, uint32_t list, uint32_t *count);
    // kActionSaveMark stores the mark at once (with the inserts held
    // uncommitted); kActionRollback discards those inserts.
    uint32_t Action(uint32_t action);

  private:
    uint32_t SetOwn(uint32_t index, uint32_t field) override;
    uint32_t GetOwn(uint32_t index, uint32_t field) override;
    struct Parameter {
        size_t field;        // index into the list's fields
        TargetColumn column; // how its column takes values
    };
    uint32_t SqlFailure(const std::string &what, int result);
    uint32_t Run(const std::string &sql);
    uint32_t LoadMark();
    bool TableExists();
    // Stores the mark's text inside the open transaction (the mark table
    // made first when missing) over the text this connection last read or
    // stored; SQLite's result code. `lost` when the target holds another
    // text (or none was held and it holds one): nothing was changed, and
    // the caller rolls back and fails with MarkLost.
    int StoreMark(bool &lost);
    // Logs that another run changed the mark; notWritten as in
    // CopyMark::Conflict.
    uint32_t MarkLost(const std::string &notWritten);
    // sql (none when empty) and the mark in one BEGIN IMMEDIATE ... COMMIT;
    // a failure rolls both back.
    uint32_t RunWithMark(const std::string &sql);
    // The select's text: SQL or the table's, ordered by OrderBy.
    uint32_t SelectText(std::string &sql);
    uint32_t NeedTable() override;
    uint32_t ChangeTable(uint32_t kind, uint32_t list) override;
    uint32_t DropTable() override;
    uint32_t NeedDatabase() const;
    uint32_t TableColumns(std::vector<TableColumn> &columns);
    // sqlite_layout.cpp: refuses, as the target's fault, a database that
    // takes no writes and an insert whose fields leave out a NOT NULL
    // column that SQLite does not fill.
    uint32_t CheckWritable();
    uint32_t CheckCovered(const std::vector<TableColumn> &columns,
                          const std::vector<std::string> &fields);
    // A failure of one record (a constraint, a value SQLite refuses) or of
    // the target, by SQLite's result code.
    uint32_t WriteFailure(const std::string &what, int result);
    std::string Identity() override;
    const rdxc::Dialect *TableDialect() const override;
    void WriteTargetChanged(bool) override { ResetWrite(); }
    // Finalizes the prepared write's statements.
    void ResetWrite() {
        write_.Reset();
        rows_.Reset();
        rowsPerStatement_ = 0;
        delete_.Reset();
    }
    uint32_t PrepareWrite(Write kind, uint32_t list);
    uint32_t PrepareRows(const std::string &insert);
    // Binds record index's values to statement from parameter `offset` on,
    // with its texts in texts_ from `offset`. A status and the problem for a
    // value SQLite takes no form of.
    uint32_t BindRecord(sqlite3_stmt *statement, size_t offset, uint32_t index,
                        std::string &problem, const rdxc::ListField *&failed);
    // Inserts records first.. in statements of rowsPerStatement_ while whole
    // ones remain; the count written. A statement that fails is undone by
    // SQLite as a whole: its records are left to the one-record statement,
    // which names the record at fault. `lost` is SQLite's code when the
    // failure took the transaction with it.
    uint32_t InsertRows(uint32_t first, uint32_t count, int &lost);
    // sqlite_keyed.cpp: the insert of an upsert (refused for a table
    // without a unique key on the Key columns) or the delete of a
    // delete-insert, for the list's fields; sql takes the insert.
    uint32_t PrepareKeyed(const std::vector<TableColumn> &columns, std::string &sql);
    uint32_t CheckUniqueKey(const std::vector<TableColumn> &columns,
                            const std::vector<std::string> &key);
    // Binds the record's key and runs the delete of a delete-insert.
    uint32_t DeleteKey(uint32_t index, int &result);
    uint32_t WriteBatch(Write kind, uint32_t list, uint32_t first, uint32_t count,
                        uint32_t *done) override;
    uint32_t RemoveBySql(uint32_t *done) override;
    uint32_t Step(uint32_t index);
    // sqlite_commit.cpp: inserts held in one transaction (a span) across
    // insert calls, committed by CommitRecords and CommitSeconds, before any
    // other operation and at the disconnect.
    int32_t CommitRecords() const;
    // Begins the batch's transaction: the span's, with a savepoint for the
    // batch when the span holds records already, or a new one.
    uint32_t BeginBatch();
    // Undoes the batch: back to its savepoint, or the whole transaction when
    // it was the first of it (or SQLite rolled it back). False when records
    // of earlier inserts were lost with it.
    bool UndoBatch();
    // Releases the batch's savepoint (a failure loses the span).
    uint32_t ReleaseBatch();
    // Whether a span of `records` records is committed now: it holds
    // CommitRecords, or began CommitSeconds ago.
    bool CommitDue(uint64_t records) const;
    // The span's transaction committed: the mark it stored is the held one.
    void SpanCommitted();
    // Commits the span, the pending mark stored with it first.
    uint32_t CommitSpan();
    // Rolls the span back; the count of records it held, which Uncommitted
    // tells until the next insert.
    void RollBackSpan();
    uint64_t Uncommitted() const { return spanOpen_ ? spanRecords_ : lostRecords_; }
    // The text the mark table holds for the copy inside the open
    // transaction, the one a store must find.
    const std::optional<std::string> &MarkInPlace() const;
    // Int columns of the select sql that hold values beyond 32 bits become
    // numeric(19,0) (one pass over the select).
    void WidenIntegers(const std::string &sql, std::vector<rdxc::ColumnType> &types);
    // sqlite_incremental.cpp: binds IncrementalFrom to the one parameter of
    // statement as the key column's values are written; the key column is
    // found among the result columns of `columns` (statement when null).
    uint32_t BindKey(sqlite3_stmt *statement, sqlite3_stmt *columns = nullptr);
    uint32_t FillRecord(uint32_t index);

    Settings settings_;
    sqlite3 *db_ = nullptr;
    // The select: its statement and whether a row waits.
    Statement select_;
    bool hasRow_ = false;
    // The bound incremental value's text, alive while the select runs.
    std::string keyText_;
    // The prepared write: what for, the key it was made for and its
    // parameters in order.
    Statement write_;
    Write writeKind_ = Write::Insert;
    std::string writeKey_;
    std::vector<rdxc::ListField> writeFields_;
    std::vector<Parameter> parameters_;
    // A plain insert also has a statement of `rows_` records at once, which
    // SQLite runs with one reset (a reset frees what a step allocated).
    Statement rows_;
    size_t rowsPerStatement_ = 0;
    // The texts bound to the parameters of the records being written, one
    // each: bound without a copy, they live until the statement has run.
    std::vector<std::string> texts_;
    // The keyed insert: the key fields (indexes into writeFields_) and, for
    // a delete-insert, the delete with its parameters and their texts.
    std::vector<size_t> keyFields_;
    Statement delete_;
    std::vector<Parameter> deleteParameters_;
    std::vector<std::string> deleteTexts_;
    // The span: open, the records it holds, when it began, the mark text
    // stored in it; the records a failed commit or a rollback discarded.
    bool spanOpen_ = false;
    uint64_t spanRecords_ = 0;
    std::chrono::steady_clock::time_point spanBegun_;
    std::optional<std::string> spanMark_;
    uint64_t lostRecords_ = 0;
    // An insert of the connection was committed (the first is at once).
    bool insertCommitted_ = false;
    // The batch has a savepoint in the span; the span's mark text before it.
    bool batchSaved_ = false;
    std::optional<std::string> batchMark_;
};

} // namespace rdsqlite
