// SPDX-License-Identifier: Apache-2.0
// One connection of the ODBC connector: its properties, the environment
// and connection handles, the select's bound rowset and the prepared insert.
#pragma once

#include "connector_log.h"
#include "declarations.h"
#include "list_fields.h"
#include "odbc_buffers.h"
#include "odbc_diagnostics.h"
#include "odbc_dialect.h"
#include "odbc_handle.h"
#include "sql_link.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace rdodbc {

// Its own properties; the table, the SQL text and LastError have the
// kit's numbers (declarations.h).
enum PropertyNumber : uint32_t {
    kServer = 0x10001,   // the built-in "Server": a data-source name or connection string
    kUser = 0x10003,     // the built-in "Userid"
    kPassword = 0x10004, // the built-in "Password": never logged, never given back
};

inline constexpr PropertyDeclaration kOwnDeclarations[] = {
    rdxc::Declare(kServer, RDTYPE_TEXT, "DataSource"),
    rdxc::Declare(kUser, RDTYPE_TEXT, "User"),
    rdxc::Declare(kPassword, RDTYPE_TEXT, "Password"),
};

struct Settings {
    std::string server, user, password;
};

class Connection : public rdxc::SqlLink {
  public:
    static constexpr auto kDeclarations = rdxc::JoinDeclarations(
        kOwnDeclarations, rdxc::kSqlSourceDeclarations, rdxc::kLastErrorDeclarations,
        rdxc::kSelectDeclarations, rdxc::kValueDeclarations, rdxc::kIncrementalDeclarations,
        rdxc::kKeyedWriteDeclarations);
    Connection()
        : SqlLink({.keyedWrites = true}, "ODBC connections"), env_(SQL_HANDLE_ENV),
          dbc_(SQL_HANDLE_DBC), dialect_([this](SQLSMALLINT type, const char *fallback) {
              return TypeName(type, fallback);
          }),
          select_(SQL_HANDLE_STMT), insert_(SQL_HANDLE_STMT), delete_(SQL_HANDLE_STMT) {}
    ~Connection() { Disconnect(); }
    uint32_t Connect();
    void Disconnect();
    uint32_t Execute(uint32_t *count);
    uint32_t Select(uint32_t list, uint32_t perFetch, uint32_t *count);
    uint32_t Fetch(uint32_t list, uint32_t first, uint32_t count, uint32_t *fetched);
    uint32_t Insert(uint32_t list, uint32_t first, uint32_t count, uint32_t *done);
    uint32_t Catalog(uint32_t kind, uint32_t list, uint32_t *count);

  private:
    uint32_t SetOwn(uint32_t index, uint32_t field) override;
    uint32_t GetOwn(uint32_t index, uint32_t field) override;
    // Hands the passwords of the connection string and of the Password
    // property to the log, which hides them; returns status.
    uint32_t KeepSecrets(uint32_t status);
    // Logs text (the passwords hidden) and returns the free-text status.
    uint32_t Fail(std::string text);
    // what, then the handle's diagnostics.
    uint32_t DriverFailure(const std::string &what, const Handle &handle);
    // Logs the diagnostics of a call that succeeded with information.
    void Note(SQLRETURN result, const Handle &handle);
    uint32_t NeedConnection();
    uint32_t NeedTable() override;
    uint32_t ChangeTable(uint32_t kind, uint32_t list) override;
    uint32_t DropTable() override;
    // The select's text: SQL or the table's, ordered by OrderBy (its
    // column names in columns).
    uint32_t SelectText(std::string &sql, std::vector<std::string> &columns);
    uint32_t CheckOrderColumns(const std::vector<std::string> &columns);
    std::string DataSourceName() const;
    uint32_t EndTransaction(bool commit);
    uint32_t RunStatement(const std::string &sql, const std::string &what, SQLLEN *rows);
    void CloseSelect();
    uint32_t BindSelect(uint32_t list);
    uint32_t NextRowset();
    uint32_t FillRecord(size_t row, uint32_t index);
    uint32_t PrepareInsert(uint32_t list);
    bool ByValue(size_t field) const;
    // odbc_keyed.cpp: the delete of a delete-insert, prepared with the
    // insert (an upsert is refused: there is no statement for it that every
    // driver takes), and run on the batch's keys before the insert, in its
    // transaction.
    uint32_t PrepareDelete();
    uint32_t DeleteKeys(uint32_t first, uint32_t count);
    // odbc_layout.cpp: refuses, as the target's fault, an insert into a
    // table that cannot be read, with a field that has no column, or
    // leaving out a NOT NULL column without a default.
    uint32_t CheckLayout();
    ParameterTarget TargetOf(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT type,
                             SQLSMALLINT digits) const;
    bool NamedNumeric(SQLHSTMT statement, SQLUSMALLINT column, rdxc::ColumnType &type,
                      bool &byValue) const;
    std::string ColumnTypeName(SQLHSTMT statement, SQLUSMALLINT column,
                               const std::string &fallback) const;
    std::vector<std::string> Undefaulted();
    std::vector<std::string> KeyColumns();
    // A failure of records (the driver refused one for its values) or of
    // the target, by the driver's SQLSTATEs.
    uint32_t WriteFailure(const std::string &text, const std::vector<Diagnostic> &records);
    bool RefusesRecord(const std::vector<Diagnostic> &records) const;
    std::string Identity() override;
    void WriteTargetChanged(bool) override { insertKey_.clear(); }
    size_t ProbeFailure(size_t count);
    std::string TypeName(SQLSMALLINT sqlType, const char *fallback);
    uint32_t ReadCatalog(Handle &statement, std::vector<std::vector<std::string>> &rows);
    // Whether the data source lists a table of the Table property's name.
    uint32_t FindTable(bool &found);

    Settings settings_;
    Handle env_, dbc_;
    bool connected_ = false;
    bool transactions_ = false; // autocommit is off: each batch commits
    Dialect dialect_;
    std::string escape_; // of search patterns (SQLColumns)
    // The select: its statement, result description, bound rowset and the
    // position in it.
    Handle select_;
    struct Described {
        std::string name;
        SQLSMALLINT sqlType = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
    };
    std::vector<Described> described_;
    uint32_t perFetch_ = 0;
    std::vector<ColumnArray> rowset_;
    std::vector<SQLUSMALLINT> rowStatus_;
    SQLULEN rowsInSet_ = 0, nextRow_ = 0;
    bool endOfData_ = false;
    // The prepared insert and the list layout it was made for.
    Handle insert_;
    std::string insertKey_;
    std::vector<rdxc::ListField> insertFields_;
    std::vector<ParameterTarget> insertTargets_; // their columns, by CheckLayout
    std::vector<size_t> parameterFields_;        // the field of each parameter
    std::vector<ColumnArray> parameters_;
    std::vector<SQLUSMALLINT> paramStatus_;
    // The delete of a delete-insert and the key fields (into insertFields_).
    Handle delete_;
    std::vector<size_t> keyFields_;
};

} // namespace rdodbc
