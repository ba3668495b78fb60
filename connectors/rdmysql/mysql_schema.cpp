// SPDX-License-Identifier: Apache-2.0
// Create, replace, empty and drop of a table from a field list, and the
// catalog of the server's databases, tables and columns from
// information_schema.
#include "connector_actions.h"
#include "mysql_connection.h"
#include "mysql_dialect.h"
#include "sql_catalog.h"

#include "rdx_field.h"
#include "rdx_status.h"

namespace rdmysql {

const rdxc::Dialect *Connection::TableDialect() const {
    return &kDialect;
}

// The server commits each statement that makes or drops a table by itself:
// a replace drops the old table, then makes the new one.
uint32_t Connection::ChangeTable(uint32_t kind, uint32_t list) {
    if (uint32_t status = Ready(); status != RDSTATUS_OK) return status;
    std::vector<std::vector<std::string>> found;
    if (uint32_t status = Query("SELECT 1 FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                                "DATABASE() AND TABLE_NAME = " +
                                    Literal(source_.table),
                                found);
        status != RDSTATUS_OK)
        return status;
    std::vector<std::string> statements;
    size_t columns = 0;
    if (uint32_t status =
            TableStatements(kDialect, kind, list, statements, columns, !found.empty());
        status != RDSTATUS_OK)
        return status;
    ForgetWrite();
    for (const std::string &statement : statements)
        if (uint32_t status = Run(statement); status != RDSTATUS_OK) return status;
    std::vector<std::vector<std::string>> rows;
    std::string database = "the database";
    if (Query("SELECT DATABASE()", rows) == RDSTATUS_OK && rows.size() == 1)
        database = rows[0].at(0);
    LogTableChange(kind, columns, database);
    // The server committed the change on its own: the mark set with it goes
    // right after.
    return mark_.Pending() ? SaveMark() : RDSTATUS_OK;
}

uint32_t Connection::DropTable() {
    if (uint32_t status = Ready(); status != RDSTATUS_OK) return status;
    ForgetWrite();
    return Run(kDialect.DropTable(source_.table));
}

uint32_t Connection::Catalog(uint32_t kind, uint32_t list, uint32_t *count) {
    *count = 0;
    if (kind != rdxc::kKindSchema && kind != rdxc::kKindTable && kind != rdxc::kKindColumns)
        return Unsupported("this catalog kind");
    if (db_ == nullptr) return log_.Fail("the catalog needs a connected database");
    if (uint32_t status = Ready(); status != RDSTATUS_OK) return status;
    if (list == 0) return log_.Fail("the catalog needs a field list");
    // Databases (the server's schemas), tables and views, or the columns of
    // the Table property's table (of every table when none is named); the
    // server's own databases left out.
    const std::string system = "('information_schema', 'mysql', 'performance_schema', 'sys')";
    std::string sql;
    rdxc::CatalogLayout layout;
    if (kind == rdxc::kKindSchema) {
        sql = "SELECT SCHEMA_NAME FROM information_schema.SCHEMATA WHERE SCHEMA_NAME NOT IN " +
              system + " ORDER BY 1";
        layout = {{"Schema", RDTYPE_TEXT}};
    } else if (kind == rdxc::kKindTable) {
        sql = "SELECT TABLE_SCHEMA, TABLE_NAME, CASE TABLE_TYPE WHEN 'VIEW' THEN 'view' ELSE "
              "'table' END FROM information_schema.TABLES WHERE TABLE_SCHEMA NOT IN " +
              system + " ORDER BY 1, 2";
        layout = {{"Schema", RDTYPE_TEXT}, {"Name", RDTYPE_TEXT}, {"Kind", RDTYPE_TEXT}};
    } else {
        sql = "SELECT TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME, COLUMN_TYPE, "
              "IF(IS_NULLABLE = 'NO', 1, 0), COALESCE(NUMERIC_PRECISION, 0), "
              "COALESCE(NUMERIC_SCALE, 0) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA "
              "NOT IN " +
              system +
              (source_.table.empty()
                   ? std::string()
                   : " AND TABLE_SCHEMA = DATABASE() AND TABLE_NAME = " + Literal(source_.table)) +
              " ORDER BY 1, 2, ORDINAL_POSITION";
        layout = {{"Schema", RDTYPE_TEXT},   {"Table", RDTYPE_TEXT},  {"Column", RDTYPE_TEXT},
                  {"Declared", RDTYPE_TEXT}, {"NotNull", RDTYPE_INT}, {"Precision", RDTYPE_INT},
                  {"Scale", RDTYPE_INT}};
    }
    std::vector<std::vector<std::string>> rows;
    if (mysql_real_query(db_, sql.data(), sql.size()) != 0)
        return ServerFailure("the catalog cannot be read");
    MYSQL_RES *result = mysql_store_result(db_);
    if (result == nullptr) return ServerFailure("the catalog cannot be read");
    const unsigned columns = mysql_num_fields(result);
    std::vector<std::vector<const char *>> cells;
    std::vector<std::vector<std::string>> texts;
    while (MYSQL_ROW row = mysql_fetch_row(result)) {
        const unsigned long *lengths = mysql_fetch_lengths(result);
        std::vector<std::string> values;
        std::vector<const char *> present;
        for (unsigned c = 0; c < columns; ++c) {
            values.emplace_back(row[c] == nullptr ? "" : std::string(row[c], lengths[c]));
            present.push_back(row[c]);
        }
        texts.push_back(std::move(values));
        cells.push_back(std::move(present));
    }
    const bool failed = mysql_errno(db_) != 0;
    const uint32_t status =
        failed ? ServerFailure("the catalog cannot be read")
               : rdxc::FillCatalog(
                     list, layout, texts.size(), columns,
                     [&](size_t r, size_t c) -> const char * {
                         return cells[r][c] == nullptr ? nullptr : texts[r][c].c_str();
                     },
                     log_, count);
    mysql_free_result(result);
    return status;
}

} // namespace rdmysql
