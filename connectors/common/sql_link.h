// SPDX-License-Identifier: Apache-2.0
// What every SQL connection has: the table it reads and writes, the select
// or execute text, the OrderBy columns, and for some the key columns and
// the database; the failure log, the value rules and the copy's mark. The
// properties of these are set and answered here, so that a connection's
// own SetOwn and GetOwn handle only what is its own.
#pragma once

#include "connector_incremental.h"
#include "connector_log.h"
#include "connector_values.h"
#include "copy_mark.h"
#include "declarations.h"
#include "incremental_read.h"
#include "list_fields.h"
#include "secret_mask.h"
#include "sql_dialect.h"
#include "sql_select.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rdxc {

// CreateText: set to an Int, the handle of a field list, it takes the
// CREATE TABLE statement the connection would run for its table and those
// fields, without running it or connecting; read, it gives that text. It
// lets a dry run show what a copy would make. Not declared, so job files
// never set it.
inline constexpr uint32_t kCreateText = 0x0F0B;

// The numbers of the SQL connectors' database, table and select or execute
// text: the built-in "Database", "Metadata" and "Condition".
inline constexpr uint32_t kDatabase = 0x10002, kTable = 0x10005, kSql = 0x1000B;
inline constexpr PropertyDeclaration kDatabaseDeclarations[] = {
    Declare(kDatabase, RDTYPE_TEXT, "Database"),
};
inline constexpr PropertyDeclaration kSqlSourceDeclarations[] = {
    Declare(kTable, RDTYPE_TEXT, "Table"),
    Declare(kSql, RDTYPE_TEXT, "SQL"),
};

// How records are written and by which key columns (connector_incremental.h).
inline constexpr PropertyDeclaration kKeyedWriteDeclarations[] = {
    Declare(kWriteMode, RDTYPE_TEXT, "WriteMode"),
    Declare(kKey, RDTYPE_TEXT, "Key"),
};
enum class WriteMode { Insert, Upsert, DeleteInsert };
struct WriteTarget {
    WriteMode mode = WriteMode::Insert;
    std::string key; // the Key text
};

// The property numbers of a connector for the shared texts; 0 for one it
// does not have.
struct SqlLinkNumbers {
    uint32_t table = kTable, sql = kSql, lastError = kLastError;
    uint32_t keys = 0, database = 0;
    bool marks = false;       // MarkName and Mark
    bool keyedWrites = false; // WriteMode and Key
};

struct SqlSource {
    std::string table, sql, orderBy, keys, database;
};

class SqlLink {
  public:
    // kind names the connections in failure texts ("... connections").
    SqlLink(const SqlLinkNumbers &numbers, const char *kind) : numbers_(numbers), kind_(kind) {}
    virtual ~SqlLink() = default;

    // The shared properties here, the others by SetOwn and GetOwn.
    uint32_t SetProperty(uint32_t number, uint32_t field);
    uint32_t GetProperty(uint32_t number, uint32_t field);
    // Logs that the connection does not do operation, a pattern fault.
    uint32_t Unsupported(const char *operation);
    // Updates or removes records by their key fields; Remove without a
    // list removes what the SQL text says instead.
    uint32_t Update(uint32_t list, uint32_t first, uint32_t count, uint32_t *done);
    uint32_t Remove(uint32_t list, uint32_t first, uint32_t count, uint32_t *done);
    // Makes, replaces or empties the table as kind (IsTableKind) asks, from
    // the fields of list; drops it (kind kCreateTable, the one kind dropped).
    uint32_t Create(uint32_t kind, uint32_t list);
    uint32_t Drop(uint32_t kind);

  protected:
    // Refuses an operation on the table while none is named or there is no
    // connection.
    virtual uint32_t NeedTable() = 0;
    // Create and Drop once the kind and the table are known to be right.
    virtual uint32_t ChangeTable(uint32_t kind, uint32_t list) = 0;
    virtual uint32_t DropTable() = 0;
    enum class Write { Insert, Update, Remove };
    // A batch of writes of kind; without keyed writes (the default) an
    // update or remove is not supported.
    virtual uint32_t WriteBatch(Write kind, uint32_t list, uint32_t first, uint32_t count,
                                uint32_t *done);
    // The remove of Remove without a list.
    virtual uint32_t RemoveBySql(uint32_t *done);
    // A connection's own properties; index is the property number without
    // its qualifier byte.
    virtual uint32_t SetOwn(uint32_t index, uint32_t field) = 0;
    virtual uint32_t GetOwn(uint32_t index, uint32_t field) = 0;
    // Lays the select's columns columns out in list (as describe gives
    // them when it has no fields) and keeps its fields as the select's.
    uint32_t SelectInto(uint32_t list, size_t columns,
                        const std::function<std::vector<SelectColumn>()> &describe);
    // A value of column column (from 0) of the row read last that does not
    // go into its field, status telling why (detail: whether it goes with
    // the fault): a record fault that names the row, the column and the
    // problem. Running out of memory is no record's fault and stays as it is.
    uint32_t ColumnFault(size_t column, uint32_t status, const std::string &problem,
                         bool detail = true);
    // The indexes into fields of the Key columns, for an upsert or a
    // delete-insert: refused when Key is empty or names no field.
    uint32_t TargetKey(const std::vector<ListField> &fields, std::vector<size_t> &keys);
    // The fields of list for a new table: refused when it has none.
    uint32_t NewTableFields(uint32_t list, std::vector<ListField> &fields);
    // The statements that change the table as kind (kCreateTable,
    // kReplaceTable or kEmptyTable) asks, to run in one transaction, and the
    // columns of a new table (0 when emptied). exists: whether the table is
    // there, for a database without DROP TABLE IF EXISTS (none: it has it).
    uint32_t TableStatements(const Dialect &dialect, uint32_t kind, uint32_t list,
                             std::vector<std::string> &statements, size_t &columns,
                             std::optional<bool> exists = std::nullopt);
    // Logs the change made, as "Replaced table T in WHERE (N columns).".
    void LogTableChange(uint32_t kind, size_t columns, const std::string &where) const;
    // Hands the passwords in connection (read in form) and password to the
    // log, which hides them from then on; returns status.
    uint32_t HideSecrets(uint32_t status, const std::string &connection, SecretForm form,
                         const std::string &password);
    // What the select reads: the table or select text, the order and the
    // incremental key and value.
    SelectSource Source() const;
    // The dialect of the connection's CREATE TABLE; null when it makes none.
    virtual const Dialect *TableDialect() const { return nullptr; }
    // "KIND:...": the identity of the data the connection reads or writes.
    virtual std::string Identity() = 0;
    // The table (table true) or the keys changed: a prepared write is no
    // longer right.
    virtual void WriteTargetChanged(bool table) = 0;

    SqlSource source_;
    IncrementalRead incremental_;
    FailureLog log_;
    ValueRules values_;
    CopyMark mark_;
    WriteTarget target_;
    // The select's list, its fields and the number of the row read last.
    uint32_t selectedList_ = 0;
    std::vector<ListField> selectedFields_;
    uint64_t rowNumber_ = 0;
    // What CreateText composed last.
    std::string createText_;

  private:
    // Answers of SetShared and GetShared for a number that is not shared.
    static constexpr uint32_t kNotShared = UINT32_MAX;
    uint32_t DescribeCreate(uint32_t field);
    uint32_t SetWriteMode(uint32_t field);
    // The fields' names of the Key columns, for a new table's primary key.
    uint32_t NewTableKey(const std::vector<ListField> &fields, std::vector<std::string> &key);
    uint32_t SetShared(uint32_t index, uint32_t field);
    uint32_t GetShared(uint32_t index, uint32_t field);
    // Whether index is the number of a property the connector has.
    static bool Is(uint32_t index, uint32_t number) { return number != 0 && index == number; }

    SqlLinkNumbers numbers_;
    const char *kind_;
};

} // namespace rdxc
