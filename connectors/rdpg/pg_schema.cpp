// SPDX-License-Identifier: Apache-2.0
// Create and drop of a table from a field list, and the catalog of the
// database's schemas, tables and columns from information_schema.
#include "connector_actions.h"
#include "pg_binary.h"
#include "pg_connection.h"
#include "pg_dialect.h"
#include "sql_catalog.h"

#include "rdx_field.h"
#include "rdx_fieldlist.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"

#include <algorithm>
#include <cstdlib>

namespace rdpg {
namespace {

// Fills list with the rows of a catalog query, nulls as nulls.
uint32_t FillFrom(uint32_t list, const rdxc::CatalogLayout &layout, const PGresult *rows,
                  rdxc::FailureLog &log, uint32_t *count) {
    auto cell = [rows](size_t r, size_t f) -> const char * {
        const int row = static_cast<int>(r), column = static_cast<int>(f);
        return PQgetisnull(rows, row, column) ? nullptr : PQgetvalue(rows, row, column);
    };
    return rdxc::FillCatalog(list, layout, static_cast<size_t>(PQntuples(rows)),
                             static_cast<size_t>(PQnfields(rows)), cell, log, count);
}

} // namespace

// The server cuts longer names to max_identifier_length bytes (63 unless
// built otherwise): a table made from them would not have the columns it
// was asked for, and two names could become one. Checked before anything
// is made.
uint32_t Connection::CheckNames(const std::vector<rdxc::ListField> &fields) {
    size_t most = 63;
    Result shown;
    if (Run("SHOW max_identifier_length", PGRES_TUPLES_OK, &shown) == RDSTATUS_OK &&
        PQntuples(shown.get()) == 1)
        most = std::max<size_t>(1, std::strtoul(PQgetvalue(shown.get(), 0, 0), nullptr, 10));
    auto tooLong = [&](const std::string &what, std::string_view name) {
        return log_.Fail(what + " is " + std::to_string(name.size()) +
                         " bytes long; PostgreSQL keeps " + std::to_string(most) +
                         " bytes of a name and would cut it");
    };
    if (source_.table.size() > most)
        return tooLong("the table name \"" + rdxc::ShownName(source_.table) + "\"", source_.table);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name.size() > most)
            return tooLong("the name of column " + std::to_string(i + 1) + " (\"" +
                               rdxc::ShownName(fields[i].name) + "\")",
                           fields[i].name);
    }
    return RDSTATUS_OK;
}

const rdxc::Dialect *Connection::TableDialect() const {
    return &kDialect;
}

// The table made, replaced or emptied in one transaction, with the copy's
// mark when one waits: a failure leaves the table as it was.
uint32_t Connection::ChangeTable(uint32_t kind, uint32_t list) {
    if (uint32_t status = Ready(); status != RDSTATUS_OK) return status;
    std::vector<std::string> statements;
    size_t columns = 0;
    std::optional<bool> exists;
    if (kind == rdxc::kEnsureTable) exists = TableExists();
    if (uint32_t status = TableStatements(kDialect, kind, list, statements, columns, exists);
        status != RDSTATUS_OK)
        return status;
    if (kind != rdxc::kEmptyTable && !statements.empty()) {
        std::vector<rdxc::ListField> fields;
        if (uint32_t status = NewTableFields(list, fields); status != RDSTATUS_OK) return status;
        if (uint32_t status = CheckNames(fields); status != RDSTATUS_OK) return status;
    }
    copyList_ = 0;
    writeKey_.clear();
    // The notice of a drop with nothing to drop says nothing the log needs.
    std::string sql = "SET LOCAL client_min_messages TO warning";
    for (const std::string &statement : statements)
        sql += "; " + statement;
    uint32_t status = RDSTATUS_OK;
    if (mark_.Pending()) {
        status = RunWithMark(sql);
    } else {
        status = Run("BEGIN; " + sql + "; COMMIT", PGRES_COMMAND_OK);
        if (status != RDSTATUS_OK) RollBackQuietly();
    }
    if (status != RDSTATUS_OK) return status;
    LogTableChange(kind, columns, PQdb(db_));
    return RDSTATUS_OK;
}

uint32_t Connection::DropTable() {
    if (uint32_t status = Ready(); status != RDSTATUS_OK) return status;
    copyList_ = 0;
    writeKey_.clear();
    return Run(kDialect.DropTable(source_.table), PGRES_COMMAND_OK);
}

uint32_t Connection::Catalog(uint32_t kind, uint32_t list, uint32_t *count) {
    *count = 0;
    if (kind != rdxc::kKindSchema && kind != rdxc::kKindTable && kind != rdxc::kKindColumns)
        return Unsupported("this catalog kind");
    if (db_ == nullptr) return log_.Fail("the catalog needs a connected database");
    if (uint32_t status = EndCopy(); status != RDSTATUS_OK) return status;
    // An open select keeps the rows fetched ahead, unless they failed and
    // took its transaction with them.
    SettleFetch();
    if (PQtransactionStatus(db_) == PQTRANS_INERROR) CloseCursor();
    if (list == 0) return log_.Fail("the catalog needs a field list");
    // Schemas, tables and views, or the columns of the Table property's
    // table (of every table when none is named); system schemas left out.
    const char *sql =
        kind == rdxc::kKindSchema
            ? "SELECT schema_name FROM information_schema.schemata WHERE schema_name NOT IN "
              "('pg_catalog', 'information_schema') AND schema_name NOT LIKE 'pg\\_%' "
              "ORDER BY 1"
        : kind == rdxc::kKindTable
            ? "SELECT table_schema, table_name, lower(table_type) FROM information_schema.tables "
              "WHERE table_schema NOT IN ('pg_catalog', 'information_schema') ORDER BY 1, 2"
            : "SELECT c.table_schema, c.table_name, c.column_name, c.data_type, "
              "CASE c.is_nullable WHEN 'NO' THEN 1 ELSE 0 END, "
              "COALESCE(c.numeric_precision, 0), COALESCE(c.numeric_scale, 0) "
              "FROM information_schema.columns c WHERE c.table_schema NOT IN ('pg_catalog', "
              "'information_schema') AND ($1 = '' OR c.table_name = $1) "
              "ORDER BY 1, 2, c.ordinal_position";
    const char *values[] = {source_.table.c_str()};
    Result result(PQexecParams(db_, sql, kind == rdxc::kKindColumns ? 1 : 0, nullptr,
                               kind == rdxc::kKindColumns ? values : nullptr, nullptr, nullptr, 0));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        return ServerFailure("the catalog cannot be read", result.get());
    if (kind == rdxc::kKindSchema)
        return FillFrom(list, {{"Schema", RDTYPE_TEXT}}, result.get(), log_, count);
    if (kind == rdxc::kKindTable)
        return FillFrom(list,
                        {{"Schema", RDTYPE_TEXT}, {"Name", RDTYPE_TEXT}, {"Kind", RDTYPE_TEXT}},
                        result.get(), log_, count);
    return FillFrom(list,
                    {{"Schema", RDTYPE_TEXT},
                     {"Table", RDTYPE_TEXT},
                     {"Column", RDTYPE_TEXT},
                     {"Declared", RDTYPE_TEXT},
                     {"NotNull", RDTYPE_INT},
                     {"Precision", RDTYPE_INT},
                     {"Scale", RDTYPE_INT}},
                    result.get(), log_, count);
}

} // namespace rdpg
