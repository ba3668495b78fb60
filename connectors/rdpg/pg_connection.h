// SPDX-License-Identifier: Apache-2.0
// One connection of the PostgreSQL connector: its properties, the server
// connection, the cursor of a select and the state of the writes.
#pragma once

#include "connector_log.h"
#include "connector_values.h"
#include "copy_mark.h"
#include "declarations.h"
#include "list_fields.h"
#include "pg_binary.h"
#include "sql_link.h"

#include <cstdint>
#include <functional>
#include <libpq-fe.h>
#include <memory>
#include <string>
#include <vector>

namespace rdpg {

// The select's order, the records not committed yet and the identity.
inline constexpr PropertyDeclaration kReadDeclarations[] = {
    rdxc::Declare(rdxc::kOrderBy, RDTYPE_TEXT, "OrderBy"),
    rdxc::Declare(rdxc::kUncommitted, RDTYPE_INT, "Uncommitted"),
    rdxc::Declare(rdxc::kIdentity, RDTYPE_TEXT, "Identity"),
};

// Its own properties, each group's numbers with its declarations; the
// database, the table, the SQL text and LastError have the kit's numbers
// (sql_link.h, declarations.h). Transaction is "batch" (one COPY per
// insert) or "connection".
enum PropertyNumber : uint32_t { kKeys = 6, kTransaction = 7 };
inline constexpr PropertyDeclaration kOwnDeclarations[] = {
    rdxc::Declare(kKeys, RDTYPE_TEXT, "Keys"),
    rdxc::Declare(kTransaction, RDTYPE_TEXT, "Transaction"),
};
// The server, by a libpq connection string (or URI) or its parts.
enum ServerNumber : uint32_t { kConnection = 1, kHost = 2, kPort = 3 };
inline constexpr PropertyDeclaration kServerDeclarations[] = {
    rdxc::Declare(kConnection, RDTYPE_TEXT, "Connection"),
    rdxc::Declare(kHost, RDTYPE_TEXT, "Host"),
    rdxc::Declare(kPort, RDTYPE_TEXT, "Port"),
};
enum LoginNumber : uint32_t { kUser = 4, kPassword = 5 };
inline constexpr PropertyDeclaration kLoginDeclarations[] = {
    rdxc::Declare(kUser, RDTYPE_TEXT, "User"),
    rdxc::Declare(kPassword, RDTYPE_TEXT, "Password"),
};

// A result cleared at the end of its scope.
struct ResultDeleter {
    void operator()(PGresult *result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

struct Settings {
    std::string connection, host, port, user, password;
    // Inserts of the whole connection go into one COPY, committed when it
    // ends (at disconnect or before any other operation).
    bool copyPerConnection = false;
};

class Connection : public rdxc::SqlLink {
  public:
    Connection()
        : SqlLink({.keys = kKeys, .database = rdxc::kDatabase, .marks = true, .keyedWrites = true},
                  "PostgreSQL connections") {}
    static constexpr auto kDeclarations = rdxc::JoinDeclarations(
        rdxc::kDatabaseDeclarations, rdxc::kSqlSourceDeclarations, kOwnDeclarations,
        kServerDeclarations, kLoginDeclarations, rdxc::kLastErrorDeclarations,
        rdxc::kMarkDeclarations, kReadDeclarations, rdxc::kValueDeclarations,
        rdxc::kIncrementalDeclarations, rdxc::kKeyedWriteDeclarations);
    ~Connection() { Disconnect(); }
    uint32_t Connect();
    uint32_t Execute(uint32_t *count);
    uint32_t Select(uint32_t list, uint32_t *count);
    uint32_t Fetch(uint32_t list, uint32_t first, uint32_t count, uint32_t *fetched);
    uint32_t Catalog(uint32_t kind, uint32_t list, uint32_t *count);
    // The COPY of the inserts: one per batch, or one for the connection
    // (Transaction "connection") that every other operation ends first.
    uint32_t Insert(uint32_t list, uint32_t first, uint32_t count, uint32_t *done);
    // Ends an open COPY first: its failure is the status.
    uint32_t Disconnect();
    // kActionRollback rolls back the connection's COPY; kActionSaveMark
    // stores the mark (with the connection's COPY when one is open); others
    // are not supported.
    uint32_t Action(uint32_t action);

  private:
    uint32_t SetTransaction(uint32_t field);
    uint32_t SetOwn(uint32_t index, uint32_t field) override;
    uint32_t GetOwn(uint32_t index, uint32_t field) override;
    // Hands the passwords of the connection text and of the Password
    // property to the log, which hides them; returns status.
    uint32_t KeepSecrets(uint32_t status);
    // Logs what failed with the server's message and SQLSTATE.
    uint32_t ServerFailure(const std::string &what, const PGresult *result);
    std::string ServerText(const std::string &what, const PGresult *result) const;
    // pg_layout.cpp: the same for a write of records, as a record fault when
    // the server refused a record for its values (SQLSTATE classes 22 and
    // 23), else as the target's.
    uint32_t WriteFailure(const std::string &what, const PGresult *result);
    // Refuses an insert whose fields leave out a NOT NULL column that the
    // server does not fill (no default, identity or generation).
    uint32_t CheckCovered(const std::vector<std::string> &names,
                          const std::vector<std::string> &required);
    // "postgresql:SERVER:DATABASE:SCHEMA.TABLE", SERVER the system
    // identifier or host and port; empty when unknown.
    std::string Identity() override;
    const rdxc::Dialect *TableDialect() const override;
    // A change of the table, of WriteMode or of Key makes the COPY again.
    void WriteTargetChanged(bool) override {
        writeKey_.clear();
        copyList_ = 0;
    }
    // Runs sql; a result of another status than expected is a failure.
    uint32_t Run(const std::string &sql, ExecStatusType expected, Result *out = nullptr);
    // Declares the select's cursor for sql, the incremental value bound.
    uint32_t Declare(const std::string &sql);
    uint32_t NeedTable() override;
    uint32_t ChangeTable(uint32_t kind, uint32_t list) override;
    uint32_t DropTable() override;
    // The select's text: SQL or the table's, ordered by OrderBy.
    uint32_t SelectText(std::string &sql);
    // pg_mark.cpp: the copy's mark, read at connect and stored inside the
    // open transaction (its table made first when not known to exist) over
    // the text this connection last read or stored. A store that fails is
    // logged with `failure`; one that finds another run's text in place
    // with CopyMark::Conflict(notWritten). The caller then rolls back.
    uint32_t LoadMark();
    bool TableExists();
    uint32_t StoreMark(const std::string &failure, const std::string &notWritten);
    // After a commit that stored the mark.
    void MarkCommitted();
    // work and the mark in one transaction: a failure of either (the
    // mark's told by markFailure, or notWritten) rolls both back.
    uint32_t WithMark(const std::function<uint32_t()> &work, const std::string &markFailure,
                      const std::string &notWritten);
    // sql (none when empty) and the mark in one transaction.
    uint32_t RunWithMark(const std::string &sql);
    uint32_t SaveMark();
    // ROLLBACK of a transaction that failed, without logging.
    void RollBackQuietly();
    // Connected, the connection's COPY ended and the select's cursor closed.
    uint32_t Ready();
    uint32_t CloseCursor();
    uint32_t FetchRows(uint32_t count);
    void SendFetch(uint32_t count);
    void SettleFetch();
    uint32_t LayOut(uint32_t list, const PGresult *result);
    uint32_t FillRecord(int row, uint32_t index);
    // Names and type oids of the table's columns, and the names of those an
    // insert must give (NOT NULL, not filled by the server).
    uint32_t TableColumns(std::vector<std::string> &names, std::vector<ColumnKind> &types,
                          std::vector<std::string> &required);
    // pg_schema.cpp: refuses a table or column name the server would cut.
    uint32_t CheckNames(const std::vector<rdxc::ListField> &fields);
    uint32_t PrepareCopy(uint32_t list);
    bool FollowCopyList(uint32_t list);
    uint32_t EncodeRecords(uint32_t first, uint32_t count, bool stream, uint32_t &failed);
    uint32_t SendBuffer();
    uint32_t InsertBatch(uint32_t first, uint32_t count, uint32_t *done);
    uint32_t CopyBatch(uint32_t first, uint32_t count, uint32_t *done);
    uint32_t InsertIntoCopy(uint32_t first, uint32_t count, uint32_t *done);
    uint32_t EndCopy();
    uint32_t AbandonCopy();
    uint32_t CommitCopy();
    // The records sent into the connection's COPY, not committed yet.
    uint64_t Uncommitted() const;
    uint32_t LoseCopy(const PGresult *result);
    uint32_t DropCopy(uint32_t status);
    std::string RolledBack() const;
    Result FinishCopy(const char *error);
    // pg_upsert.cpp: an upsert or a delete-insert COPYs the records into a
    // temporary stage table, then merges the stage into the table in the
    // same transaction.
    bool Staged() const { return target_.mode != rdxc::WriteMode::Insert; }
    uint32_t PrepareStage();
    uint32_t CheckUniqueKey(const std::vector<std::string> &key);
    // BEGIN and the stage made, for the batch or the connection's COPY.
    uint32_t BeginStage();
    uint32_t StagedBatch(uint32_t first, uint32_t count, uint32_t *done);
    uint32_t PrimaryKey(std::vector<std::string> &names);
    uint32_t PrepareWrite(Write kind, uint32_t list);
    uint32_t WriteBatch(Write kind, uint32_t list, uint32_t first, uint32_t count,
                        uint32_t *done) override;
    uint32_t RemoveBySql(uint32_t *done) override;

    Settings settings_;
    bool markTable_ = false; // the mark table is known to exist
    PGconn *db_ = nullptr;
    // The select: whether the cursor is open, its rows fetched ahead and
    // the next of them.
    bool cursorOpen_ = false;
    bool cursorDone_ = false;
    bool binary_ = true;
    Result rows_;
    int nextRow_ = 0;
    // The FETCH sent ahead: whether its result is awaited, the result once
    // it came, and the rows it asked for.
    bool prefetching_ = false;
    Result ahead_;
    uint32_t aheadCount_ = 0;
    std::vector<uint32_t> selectedTypes_; // the columns' type oids
    // The copy: the list and the column types it was made for.
    uint32_t copyList_ = 0;
    std::string copyTable_;
    std::string copySql_;
    std::vector<rdxc::ListField> writeFields_;
    std::vector<ColumnKind> writeTypes_;
    std::vector<std::string> copyColumns_; // the table's names of the fields
    // The staged write: the key fields (indexes into writeFields_), the
    // statement that makes the stage and those that merge it.
    std::vector<size_t> keyFields_;
    std::string stageSql_, mergeSql_;
    // The COPY of the connection (copyPerConnection): open, the sizes of
    // the batches sent into it, and whether it failed (no more inserts
    // are taken until the connection connects again).
    bool copyOpen_ = false;
    bool copyFailed_ = false;
    bool copyInTransaction_ = false; // begun before it, for the mark
    bool copyStaged_ = false;        // into the stage, merged at its end
    std::vector<uint32_t> copyBatches_;
    std::string encodeProblem_;
    // The prepared update or remove: whether the session holds it, what for
    // and the key it was made for (cleared when it no longer fits the
    // table, which makes the next write prepare it again).
    bool prepared_ = false;
    Write writeKind_ = Write::Update;
    std::string writeKey_;
    std::vector<size_t> parameters_; // fields in parameter order
    std::string buffer_;
    // The identity last found and the table it is for (kept while a COPY
    // holds the connection).
    std::string identity_, identityTable_;
};

} // namespace rdpg
