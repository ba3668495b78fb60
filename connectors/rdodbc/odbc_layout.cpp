// SPDX-License-Identifier: Apache-2.0
// The table an insert goes into, checked before its first batch so that a
// table the records cannot fit is refused once (12325), not record by
// record: the table must be readable, every field must have a column, and
// a NOT NULL column the fields leave out must be one the data source fills
// (an automatic value, a default, SQLite's INTEGER PRIMARY KEY, which its
// driver does not call automatic). What the driver then refuses of a
// record for its values (SQLSTATE classes 22, 23 and 44, 40002; the SQLite
// driver's HY000 with a constraint, mismatch or too-big code) is that
// record's fault (12330); the rest is the target's.
#include "odbc_connection.h"

#include "property_value.h"
#include "rdx_field.h"
#include "rdx_status.h"

#include <algorithm>
#include <cctype>

namespace rdodbc {
namespace {

SQLCHAR *Chars(const std::string &text) {
    return reinterpret_cast<SQLCHAR *>(const_cast<char *>(text.c_str()));
}

bool RefusedValues(const std::string &state) {
    return state.rfind("22", 0) == 0 || state.rfind("23", 0) == 0 || state.rfind("44", 0) == 0 ||
           state == "40002";
}

// SQLite's primary result codes for a constraint, a datatype mismatch and
// a value too big.
bool SqliteRefusal(SQLINTEGER native) {
    const SQLINTEGER primary = native & 0xFF;
    return primary == 19 || primary == 20 || primary == 18;
}

// A search pattern matching name alone.
std::string Pattern(const std::string &name, const std::string &escape) {
    if (escape.empty()) return name;
    std::string pattern;
    for (char c : name) {
        if (c == '_' || c == '%' || escape.find(c) != std::string::npos) pattern += escape;
        pattern += c;
    }
    return pattern;
}

std::string Text(SQLHSTMT statement, SQLUSMALLINT column, bool &isNull) {
    char buffer[512] = {};
    SQLLEN length = 0;
    const SQLRETURN result =
        SQLGetData(statement, column, SQL_C_CHAR, buffer, sizeof buffer, &length);
    isNull = !Succeeded(result) || length == SQL_NULL_DATA;
    return isNull ? std::string() : std::string(buffer);
}

} // namespace

bool Connection::RefusesRecord(const std::vector<Diagnostic> &records) const {
    bool refused = false;
    for (const Diagnostic &record : records) {
        if (record.state.rfind("08", 0) == 0) return false; // the connection failed
        refused =
            refused || RefusedValues(record.state) ||
            (dialect_.sqliteSource && record.state == "HY000" && SqliteRefusal(record.native));
    }
    return refused;
}

uint32_t Connection::WriteFailure(const std::string &text, const std::vector<Diagnostic> &records) {
    return RefusesRecord(records) ? log_.RecordFault(text) : Fail(text);
}

// The table's NOT NULL columns without a default, as SQLColumns lists them
// (its columns read in order, as drivers require); a column listed more
// than once (in several schemas) counts only when every listing says so.
std::vector<std::string> Connection::Undefaulted() {
    struct Listed {
        std::string name;
        bool required; // NOT NULL without a default
        bool integer;  // declared INTEGER
    };
    std::vector<Listed> listed;
    Handle statement(SQL_HANDLE_STMT);
    const std::string table = Pattern(source_.table, escape_);
    if (!Succeeded(statement.Allocate(dbc_.get())) ||
        !Succeeded(
            SQLColumns(statement.get(), nullptr, 0, nullptr, 0, Chars(table), SQL_NTS, nullptr, 0)))
        return {};
    while (Succeeded(SQLFetch(statement.get()))) {
        bool isNull = false;
        if (!rdxc::SameWord(Text(statement.get(), 3, isNull), source_.table)) continue;
        Listed column;
        column.name = Text(statement.get(), 4, isNull);
        column.integer = rdxc::SameWord(Text(statement.get(), 6, isNull), "INTEGER");
        const bool notNull = Text(statement.get(), 11, isNull) == std::to_string(SQL_NO_NULLS);
        // A default of NULL (which some drivers give as that word) fills
        // nothing a NOT NULL column takes.
        const std::string fallback = Text(statement.get(), 13, isNull); // COLUMN_DEF
        column.required = notNull && (isNull || rdxc::SameWord(fallback, "NULL"));
        listed.push_back(column);
    }
    // SQLite fills its rowid alias, the one INTEGER PRIMARY KEY column.
    const std::vector<std::string> keys =
        dialect_.sqliteSource ? KeyColumns() : std::vector<std::string>();
    std::vector<std::string> names;
    for (const Listed &column : listed) {
        const bool rowid =
            keys.size() == 1 && column.integer && rdxc::SameWord(keys.front(), column.name);
        const bool always = std::all_of(listed.begin(), listed.end(), [&](const Listed &other) {
            return !rdxc::SameWord(other.name, column.name) || other.required;
        });
        if (column.required && always && !rowid) names.push_back(column.name);
    }
    return names;
}

std::vector<std::string> Connection::KeyColumns() {
    std::vector<std::string> keys;
    Handle statement(SQL_HANDLE_STMT);
    if (!Succeeded(statement.Allocate(dbc_.get())) ||
        !Succeeded(
            SQLPrimaryKeys(statement.get(), nullptr, 0, nullptr, 0, Chars(source_.table), SQL_NTS)))
        return keys;
    while (Succeeded(SQLFetch(statement.get()))) {
        bool isNull = false;
        keys.push_back(Text(statement.get(), 4, isNull));
    }
    return keys;
}

// The (P,S) of a column whose type is named NUMERIC(P,S) or DECIMAL(P,S),
// also when the driver describes it otherwise (the SQLite driver says
// DOUBLE); byValue for SQLite's DECIMAL BLOB[(P,S)]. False for other names.
bool Connection::NamedNumeric(SQLHSTMT statement, SQLUSMALLINT column, rdxc::ColumnType &type,
                              bool &byValue) const {
    SQLCHAR name[256] = {};
    SQLSMALLINT length = 0;
    type = rdxc::ColumnType{};
    byValue = false;
    if (!Succeeded(SQLColAttribute(statement, column, SQL_DESC_TYPE_NAME, name, sizeof name,
                                   &length, nullptr)))
        return false;
    std::string upper(reinterpret_cast<const char *>(name));
    // SQLite's driver names a result column's type without its (P,S):
    // the table's column has it.
    if (dialect_.sqliteSource && upper.find('(') == std::string::npos)
        upper = ColumnTypeName(statement, column, upper);
    for (char &c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.find("NUM") == std::string::npos && upper.find("DEC") == std::string::npos)
        return false;
    byValue = dialect_.sqliteSource && upper.find("BLOB") != std::string::npos;
    const size_t open = upper.find('(');
    if (open != std::string::npos) rdxc::ParseColumnType("numeric" + upper.substr(open), type);
    type.type = RDTYPE_NUMERIC;
    return true;
}

// The declared type of the table column that result column comes from
// (SQLColumns' TYPE_NAME), or fallback when none is found.
std::string Connection::ColumnTypeName(SQLHSTMT statement, SQLUSMALLINT column,
                                       const std::string &fallback) const {
    SQLCHAR table[256] = {}, name[256] = {};
    SQLSMALLINT length = 0;
    if (!Succeeded(SQLColAttribute(statement, column, SQL_DESC_BASE_TABLE_NAME, table, sizeof table,
                                   &length, nullptr)) ||
        !Succeeded(SQLColAttribute(statement, column, SQL_DESC_BASE_COLUMN_NAME, name, sizeof name,
                                   &length, nullptr)) ||
        table[0] == '\0')
        return fallback;
    Handle columns(SQL_HANDLE_STMT);
    const std::string pattern = Pattern(reinterpret_cast<const char *>(table), escape_);
    if (!Succeeded(columns.Allocate(dbc_.get())) ||
        !Succeeded(
            SQLColumns(columns.get(), nullptr, 0, nullptr, 0, Chars(pattern), SQL_NTS, nullptr, 0)))
        return fallback;
    while (Succeeded(SQLFetch(columns.get()))) {
        bool isNull = false;
        if (rdxc::SameWord(Text(columns.get(), 4, isNull), reinterpret_cast<const char *>(name)))
            return Text(columns.get(), 6, isNull);
    }
    return fallback;
}

// The column as the driver describes it, with the digits after the point
// its type's name gives.
ParameterTarget Connection::TargetOf(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT type,
                                     SQLSMALLINT digits) const {
    ParameterTarget target{type, digits, dialect_.sqliteSource, false};
    rdxc::ColumnType named;
    if (!NamedNumeric(statement, column, named, target.byValue)) return target;
    if (named.precision != 0) {
        target.sqlType = type == SQL_DECIMAL ? SQL_DECIMAL : SQL_NUMERIC;
        target.digits = static_cast<SQLSMALLINT>(named.scale);
    }
    return target;
}

uint32_t Connection::CheckLayout() {
    Handle statement(SQL_HANDLE_STMT);
    if (!Succeeded(statement.Allocate(dbc_.get())))
        return DriverFailure("no statement handle", dbc_);
    const std::string sql = dialect_.SelectAll(source_.table) + " WHERE 1 = 0";
    if (!Succeeded(SQLExecDirect(statement.get(), Chars(sql), SQL_NTS))) {
        const uint32_t status =
            DriverFailure("the table " + source_.table + " cannot be read", statement);
        EndTransaction(false);
        return status;
    }
    SQLSMALLINT count = 0;
    SQLNumResultCols(statement.get(), &count);
    std::vector<std::pair<std::string, bool>> columns; // name, filled by the data source
    std::vector<ParameterTarget> described;
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(std::max<SQLSMALLINT>(count, 0)); ++i) {
        SQLCHAR name[512] = {};
        SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLLEN automatic = SQL_FALSE;
        if (!Succeeded(SQLDescribeCol(statement.get(), i, name, sizeof name, &length, &type, &size,
                                      &digits, &nullable)))
            continue;
        SQLColAttribute(statement.get(), i, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr,
                        &automatic);
        columns.emplace_back(reinterpret_cast<const char *>(name), automatic == SQL_TRUE);
        described.push_back(TargetOf(statement.get(), i, type, digits));
    }
    statement.Free();
    EndTransaction(false);
    auto given = [&](const std::string &column) {
        return std::any_of(
            insertFields_.begin(), insertFields_.end(),
            [&](const rdxc::ListField &f) { return rdxc::SameWord(f.name, column); });
    };
    insertTargets_.clear();
    for (const rdxc::ListField &field : insertFields_) {
        const auto column = std::find_if(columns.begin(), columns.end(), [&](const auto &c) {
            return rdxc::SameWord(c.first, field.name);
        });
        if (column == columns.end())
            return Fail("field " + field.name + " has no column in table " + source_.table);
        insertTargets_.push_back(described[static_cast<size_t>(column - columns.begin())]);
    }
    std::string missing;
    for (const std::string &column : Undefaulted()) {
        const bool filled = std::any_of(columns.begin(), columns.end(), [&](const auto &c) {
            return c.second && rdxc::SameWord(c.first, column);
        });
        if (!filled && !given(column)) missing += (missing.empty() ? "" : ", ") + column;
    }
    if (missing.empty()) return RDSTATUS_OK;
    return Fail("the table " + source_.table +
                " has NOT NULL columns without a default that the records do not have: " + missing +
                "; no record can be inserted");
}

std::string Connection::Identity() {
    if (settings_.server.empty() || source_.table.empty()) return std::string();
    return "odbc:" + DataSourceName() + ":" + source_.table;
}

} // namespace rdodbc
