// SPDX-License-Identifier: Apache-2.0
// Create and drop of a table from a field list, and the catalog of the data
// source's tables and of their columns (SQLTables, SQLColumns and
// SQLPrimaryKeys).
#include "odbc_connection.h"
#include "sql_catalog.h"

#include "connector_actions.h"
#include "connector_values.h"

#include "rdx_field.h"
#include "rdx_fieldlist.h"
#include "rdx_status.h"

#include <cctype>
#include <map>
#include <optional>

namespace rdodbc {
namespace {

// The longest catalog value read; catalog texts are names and type names.
constexpr SQLLEN kCatalogText = 1024;

SQLCHAR *Chars(const std::string &text) {
    return reinterpret_cast<SQLCHAR *>(const_cast<char *>(text.c_str()));
}

// Whether a date-time type name keeps a time zone ("timestamptz",
// "timestamp with time zone").
bool ZoneTyped(std::string name) {
    for (char &c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name.find("zone") != std::string::npos ||
           (name.size() > 2 && name.compare(name.size() - 2, 2, "tz") == 0);
}

} // namespace

// The data source's name for sqlType (from SQLGetTypeInfo), with a length
// when it takes one; fallback when the driver knows none.
std::string Connection::TypeName(SQLSMALLINT sqlType, const char *fallback) {
    Handle statement(SQL_HANDLE_STMT);
    if (!Succeeded(statement.Allocate(dbc_.get())) ||
        !Succeeded(SQLGetTypeInfo(statement.get(), sqlType)))
        return fallback;
    std::vector<std::vector<std::string>> rows;
    if (ReadCatalog(statement, rows) != RDSTATUS_OK || rows.empty() || rows[0].size() < 6 ||
        rows[0][0].empty())
        return fallback;
    // A date-time carries no zone: a type that keeps one (the PostgreSQL
    // driver names timestamptz alone) would shift it for a reader in
    // another session time zone, so the fallback serves then.
    const std::vector<std::string> *chosen = &rows[0];
    if (sqlType == SQL_TYPE_TIMESTAMP && ZoneTyped((*chosen)[0])) {
        chosen = nullptr;
        for (const auto &row : rows) {
            if (row.size() >= 6 && !row[0].empty() && !ZoneTyped(row[0])) {
                chosen = &row;
                break;
            }
        }
        if (chosen == nullptr) return fallback;
    }
    const std::vector<std::string> &type = *chosen;
    // CREATE_PARAMS "max length" or "length": the most the type holds.
    const std::string &params = type[5];
    if (params.find("length") != std::string::npos && !type[2].empty())
        return type[0] + "(" + type[2] + ")";
    return params.empty() ? type[0] : fallback;
}

uint32_t Connection::FindTable(bool &found) {
    found = false;
    Handle statement(SQL_HANDLE_STMT);
    if (!Succeeded(statement.Allocate(dbc_.get())))
        return DriverFailure("no statement handle", dbc_);
    if (!Succeeded(SQLTables(statement.get(), nullptr, 0, nullptr, 0, Chars(source_.table), SQL_NTS,
                             Chars("TABLE"), SQL_NTS)))
        return DriverFailure("the tables cannot be listed", statement);
    std::vector<std::vector<std::string>> rows;
    if (uint32_t status = ReadCatalog(statement, rows); status != RDSTATUS_OK) return status;
    // The name is a pattern to the driver ('_' matches any character).
    for (const auto &row : rows)
        found = found || (row.size() >= 3 && row[2] == source_.table);
    return RDSTATUS_OK;
}

// The table made, replaced or emptied in one transaction when the driver
// has them; without, each statement commits by itself. ODBC has no portable
// DROP TABLE IF EXISTS: a replace asks the catalog first.
uint32_t Connection::ChangeTable(uint32_t kind, uint32_t list) {
    std::optional<bool> exists;
    if (kind == rdxc::kReplaceTable || kind == rdxc::kEnsureTable) {
        bool found = false;
        if (uint32_t status = FindTable(found); status != RDSTATUS_OK) return status;
        exists = found;
    }
    std::vector<std::string> statements;
    size_t columns = 0;
    if (uint32_t status = TableStatements(dialect_, kind, list, statements, columns, exists);
        status != RDSTATUS_OK)
        return status;
    insert_.Free();
    insertKey_.clear();
    for (const std::string &sql : statements) {
        Handle statement(SQL_HANDLE_STMT);
        if (!Succeeded(statement.Allocate(dbc_.get())))
            return DriverFailure("no statement handle", dbc_);
        const SQLRETURN result = SQLExecDirect(statement.get(), Chars(sql), SQL_NTS);
        if (!Succeeded(result) && result != SQL_NO_DATA) {
            const uint32_t status =
                DriverFailure("the table " + source_.table + " cannot be " +
                                  (kind == rdxc::kEmptyTable ? "emptied" : "made"),
                              statement);
            EndTransaction(false);
            return status;
        }
        Note(result, statement);
    }
    if (uint32_t status = EndTransaction(true); status != RDSTATUS_OK) return status;
    LogTableChange(kind, columns, DataSourceName());
    return RDSTATUS_OK;
}

uint32_t Connection::DropTable() {
    insert_.Free();
    insertKey_.clear();
    CloseSelect();
    return RunStatement(dialect_.DropTable(source_.table),
                        "the table " + source_.table + " cannot be dropped", nullptr);
}

// Every row of a catalog result, each value as text (empty for null).
uint32_t Connection::ReadCatalog(Handle &statement, std::vector<std::vector<std::string>> &rows) {
    SQLSMALLINT columns = 0;
    if (!Succeeded(SQLNumResultCols(statement.get(), &columns)))
        return DriverFailure("the catalog cannot be read", statement);
    SQLRETURN result = SQL_SUCCESS;
    while (Succeeded(result = SQLFetch(statement.get()))) {
        std::vector<std::string> row;
        for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(columns); ++i) {
            char text[kCatalogText] = {};
            SQLLEN length = 0;
            if (!Succeeded(SQLGetData(statement.get(), i, SQL_C_CHAR, text, sizeof text, &length)))
                length = SQL_NULL_DATA;
            row.emplace_back(length == SQL_NULL_DATA ? "" : text);
        }
        rows.push_back(std::move(row));
    }
    if (result != SQL_NO_DATA) return DriverFailure("the catalog cannot be read", statement);
    return RDSTATUS_OK;
}

uint32_t Connection::Catalog(uint32_t kind, uint32_t list, uint32_t *count) {
    *count = 0;
    if (kind != rdxc::kKindTable && kind != rdxc::kKindColumns)
        return Unsupported("this catalog kind");
    if (!connected_) return Fail("the catalog needs a connected data source");
    if (list == 0) return Fail("the catalog needs a field list");
    Handle statement(SQL_HANDLE_STMT);
    if (!Succeeded(statement.Allocate(dbc_.get())))
        return DriverFailure("no statement handle", dbc_);
    std::vector<std::vector<std::string>> found, rows;
    if (kind == rdxc::kKindTable) {
        // TABLE_NAME (3) and TABLE_TYPE (4) of the tables and views.
        if (!Succeeded(SQLTables(statement.get(), nullptr, 0, nullptr, 0, nullptr, 0,
                                 Chars("TABLE,VIEW"), SQL_NTS)))
            return DriverFailure("the tables cannot be listed", statement);
        if (uint32_t status = ReadCatalog(statement, found); status != RDSTATUS_OK) return status;
        for (const auto &row : found) {
            if (row.size() >= 4) rows.push_back({row[2], row[3]});
        }
        return rdxc::FillCatalog(list, rdxc::kTableCatalog, rows, log_, count);
    }
    // TABLE_NAME (3), COLUMN_NAME (4), DATA_TYPE (5), TYPE_NAME (6),
    // COLUMN_SIZE (7), DECIMAL_DIGITS (9), NULLABLE (11).
    const bool one = !source_.table.empty();
    if (!Succeeded(SQLColumns(statement.get(), nullptr, 0, nullptr, 0,
                              one ? Chars(source_.table) : nullptr, one ? SQL_NTS : 0, nullptr, 0)))
        return DriverFailure("the columns cannot be listed", statement);
    if (uint32_t status = ReadCatalog(statement, found); status != RDSTATUS_OK) return status;
    // Key positions per table (KEY_SEQ, 5, of COLUMN_NAME, 4); a driver
    // without primary keys leaves them 0.
    std::map<std::string, std::map<std::string, std::string>> keys;
    for (const auto &row : found) {
        if (row.size() < 11 || keys.count(row[2]) != 0) continue;
        auto &ofTable = keys[row[2]];
        Handle primary(SQL_HANDLE_STMT);
        std::vector<std::vector<std::string>> keyRows;
        if (Succeeded(primary.Allocate(dbc_.get())) &&
            Succeeded(
                SQLPrimaryKeys(primary.get(), nullptr, 0, nullptr, 0, Chars(row[2]), SQL_NTS)) &&
            ReadCatalog(primary, keyRows) == RDSTATUS_OK) {
            for (const auto &key : keyRows) {
                if (key.size() >= 5) ofTable[key[3]] = key[4];
            }
        }
    }
    for (const auto &row : found) {
        if (row.size() < 11) continue;
        const auto number = [](const std::string &text) {
            return static_cast<long>(std::strtol(text.c_str(), nullptr, 10));
        };
        const rdxc::ColumnType type =
            FieldTypeOf(static_cast<SQLSMALLINT>(number(row[4])),
                        static_cast<SQLULEN>(std::max(0L, number(row[6]))),
                        static_cast<SQLSMALLINT>(number(row[8])));
        const auto key = keys[row[2]].find(row[3]);
        rows.push_back({row[2], row[3], row[5], std::to_string(type.type),
                        number(row[10]) == SQL_NO_NULLS ? "1" : "0",
                        key == keys[row[2]].end() || key->second.empty() ? "0" : key->second});
    }
    return rdxc::FillCatalog(list, rdxc::kColumnCatalog, rows, log_, count);
}

} // namespace rdodbc
