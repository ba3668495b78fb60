// SPDX-License-Identifier: Apache-2.0
// Create and drop of a table from a field list, and the catalog of the
// database's tables and of their columns.
#include "sqlite_connection.h"

#include "connector_actions.h"

#include "rdx_field.h"
#include "rdx_fieldlist.h"
#include "rdx_status.h"
#include "sql_catalog.h"
#include "sqlite_dialect.h"
#include "sqlite_types.h"

namespace rdsqlite {

const rdxc::Dialect *Connection::TableDialect() const {
    return &kDialect;
}

// The table made, replaced or emptied in one transaction, with the copy's
// mark when one waits: a failure leaves the table as it was.
uint32_t Connection::ChangeTable(uint32_t kind, uint32_t list) {
    if (uint32_t status = CommitSpan(); status != RDSTATUS_OK) return status;
    std::vector<std::string> statements;
    size_t columns = 0;
    std::optional<bool> exists;
    if (kind == rdxc::kEnsureTable) exists = TableExists();
    if (uint32_t status = TableStatements(kDialect, kind, list, statements, columns, exists);
        status != RDSTATUS_OK)
        return status;
    ResetWrite();
    std::string sql;
    for (const std::string &statement : statements)
        sql += statement + ";\n";
    uint32_t status = RDSTATUS_OK;
    if (mark_.Pending()) {
        status = RunWithMark(sql);
    } else {
        status = Run("BEGIN IMMEDIATE;\n" + sql + "COMMIT");
        if (status != RDSTATUS_OK && sqlite3_get_autocommit(db_) == 0)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    if (status != RDSTATUS_OK) return status;
    const size_t slash = source_.database.rfind('/');
    LogTableChange(kind, columns,
                   slash == std::string::npos ? source_.database
                                              : source_.database.substr(slash + 1));
    return RDSTATUS_OK;
}

uint32_t Connection::DropTable() {
    if (uint32_t status = CommitSpan(); status != RDSTATUS_OK) return status;
    write_.Reset();
    select_.Reset();
    hasRow_ = false;
    return Run(kDialect.DropTable(source_.table));
}

uint32_t Connection::Catalog(uint32_t kind, uint32_t list, uint32_t *count) {
    *count = 0;
    if (kind != rdxc::kKindTable && kind != rdxc::kKindColumns)
        return Unsupported("this catalog kind");
    if (db_ == nullptr) return log_.Fail("the catalog needs a connected database");
    if (uint32_t status = CommitSpan(); status != RDSTATUS_OK) return status;
    if (list == 0) return log_.Fail("the catalog needs a field list");
    // Tables and views, or the columns of the Table property's table (of
    // every table when none is named).
    const std::string sql =
        kind == rdxc::kKindTable
            ? "SELECT name, type FROM sqlite_schema WHERE type IN ('table', 'view') AND name "
              "NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name"
            : "SELECT m.name, p.name, p.type, p.\"notnull\", p.pk FROM sqlite_schema m, "
              "pragma_table_info(m.name) p WHERE m.type IN ('table', 'view') AND m.name NOT "
              "LIKE 'sqlite\\_%' ESCAPE '\\' AND (?1 = '' OR m.name = ?1 COLLATE NOCASE) "
              "ORDER BY m.name, p.cid";
    Statement statement;
    if (int result = sqlite3_prepare_v2(db_, sql.c_str(), -1, statement.out(), nullptr);
        result != SQLITE_OK)
        return SqlFailure("the catalog cannot be read", result);
    if (kind == rdxc::kKindColumns)
        sqlite3_bind_text(statement.get(), 1, source_.table.c_str(), -1, SQLITE_TRANSIENT);
    std::vector<std::vector<std::string>> rows;
    int result = 0;
    while ((result = sqlite3_step(statement.get())) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(statement.get()); ++i) {
            const auto *text =
                reinterpret_cast<const char *>(sqlite3_column_text(statement.get(), i));
            row.emplace_back(text == nullptr ? "" : text);
        }
        if (kind == rdxc::kKindColumns)
            row.insert(row.begin() + 3, std::to_string(FieldTypeOf(row[2], 0).type));
        rows.push_back(std::move(row));
    }
    if (result != SQLITE_DONE) return SqlFailure("the catalog cannot be read", result);
    if (kind == rdxc::kKindTable)
        return rdxc::FillCatalog(list, rdxc::kTableCatalog, rows, log_, count);
    return rdxc::FillCatalog(list, rdxc::kColumnCatalog, rows, log_, count);
}

} // namespace rdsqlite
