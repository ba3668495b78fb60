// The table an insert goes into, checked before its first batch so that a
// table the records cannot fit is refused once (12325), not record by
// record: the table must be readable, every field must have a column, and
// a NOT NULL column the fields leave out must be one the data source fills
// (an automatic value or a default). What the driver then refuses of a
// record for its values (SQLSTATE classes 22, 23 and 44, 40002; the SQLite
// driver's HY000 with a constraint, mismatch or too-big code) is that
// record's fault (12330); the rest is the target's.
#include "odbc_connection.h"

#include "property_value.h"
#include "rdx_status.h"

#include <algorithm>

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
        refused = refused || RefusedValues(record.state) ||
                  (sqliteSource_ && record.state == "HY000" && SqliteRefusal(record.native));
    }
    return refused;
}

uint32_t Connection::WriteFailure(const std::string &text, const std::vector<Diagnostic> &records) {
    return RefusesRecord(records) ? log_.RecordFault(text) : Fail(text);
}

// Whether the data source names a default for column of the table; true
// when it cannot tell, so that only a known lack refuses the insert.
bool Connection::HasDefault(const std::string &column) {
    Handle statement(SQL_HANDLE_STMT);
    if (!Succeeded(statement.Allocate(dbc_.get()))) return true;
    const std::string table = Pattern(settings_.table, escape_);
    const std::string name = Pattern(column, escape_);
    if (!Succeeded(SQLColumns(statement.get(), nullptr, 0, nullptr, 0, Chars(table), SQL_NTS,
                              Chars(name), SQL_NTS)))
        return true;
    bool seen = false, defaulted = false;
    while (Succeeded(SQLFetch(statement.get()))) {
        bool isNull = false;
        if (!rdxc::SameWord(Text(statement.get(), 3, isNull), settings_.table) ||
            !rdxc::SameWord(Text(statement.get(), 4, isNull), column))
            continue;
        seen = true;
        Text(statement.get(), 13, isNull); // COLUMN_DEF
        defaulted = defaulted || !isNull;
    }
    return !seen || defaulted;
}

uint32_t Connection::CheckLayout() {
    Handle statement(SQL_HANDLE_STMT);
    if (!Succeeded(statement.Allocate(dbc_.get())))
        return DriverFailure("no statement handle", dbc_);
    const std::string sql = "SELECT * FROM " + Quote(settings_.table) + " WHERE 1 = 0";
    if (!Succeeded(SQLExecDirect(statement.get(), Chars(sql), SQL_NTS))) {
        const uint32_t status =
            DriverFailure("the table " + settings_.table + " cannot be read", statement);
        EndTransaction(false);
        return status;
    }
    SQLSMALLINT count = 0;
    SQLNumResultCols(statement.get(), &count);
    std::vector<std::pair<std::string, bool>> columns; // name, must be given
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(std::max<SQLSMALLINT>(count, 0)); ++i) {
        SQLCHAR name[512] = {};
        SQLSMALLINT length = 0, type = 0, digits = 0, nullable = SQL_NULLABLE_UNKNOWN;
        SQLULEN size = 0;
        SQLLEN automatic = SQL_FALSE;
        if (!Succeeded(SQLDescribeCol(statement.get(), i, name, sizeof name, &length, &type, &size,
                                      &digits, &nullable)))
            continue;
        SQLColAttribute(statement.get(), i, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr,
                        &automatic);
        columns.emplace_back(reinterpret_cast<const char *>(name),
                             nullable == SQL_NO_NULLS && automatic != SQL_TRUE);
    }
    statement.Free();
    EndTransaction(false);
    auto given = [&](const std::string &column) {
        return std::any_of(
            insertFields_.begin(), insertFields_.end(),
            [&](const rdxc::ListField &f) { return rdxc::SameWord(f.name, column); });
    };
    for (const rdxc::ListField &field : insertFields_) {
        if (std::none_of(columns.begin(), columns.end(),
                         [&](const auto &c) { return rdxc::SameWord(c.first, field.name); }))
            return Fail("field " + field.name + " has no column in table " + settings_.table);
    }
    std::string missing;
    for (const auto &[column, required] : columns) {
        if (required && !given(column) && !HasDefault(column))
            missing += (missing.empty() ? "" : ", ") + column;
    }
    if (missing.empty()) return RDSTATUS_OK;
    return Fail("the table " + settings_.table +
                " has NOT NULL columns without a default that the records do not have: " + missing +
                "; no record can be inserted");
}

std::string Connection::Identity() const {
    if (settings_.server.empty() || settings_.table.empty()) return std::string();
    return "odbc:" + DataSourceName() + ":" + settings_.table;
}

} // namespace rdodbc
