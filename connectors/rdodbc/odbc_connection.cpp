// SPDX-License-Identifier: Apache-2.0
// Properties, connect, disconnect, execute and the failure texts of an ODBC
// connection.
#include "odbc_connection.h"

#include "connector_records.h"
#include "connector_resume.h"
#include "odbc_diagnostics.h"
#include "property_value.h"
#include "rdx_connector.h"
#include "rdx_status.h"
#include "secret_mask.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <dlfcn.h>

namespace rdodbc {
namespace {

// A value of a connection string attribute, braced when it holds a
// character that would end it.
std::string AttributeValue(const std::string &value) {
    if (value.find_first_of(";{}=") == std::string::npos && value.find(' ') != 0) return value;
    std::string braced = "{";
    for (char c : value) {
        braced += c;
        if (c == '}') braced += c;
    }
    return braced + "}";
}

// The driver manager (libodbc, and libodbcinst which it loads on demand)
// caches the configuration files it reads and never frees the caches.
// Unloaded with this connector after each activity, every load would leave
// its caches behind; kept loaded for the life of the process, one set
// serves every connection.
void KeepDriverManager() {
    static std::atomic<bool> kept{false};
    if (kept) return;
    bool all = true;
    for (const char *name : {"libodbc.so.2", "libodbcinst.so.2"}) {
        void *library = dlopen(name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
        if (library == nullptr) {
            all = false;
            continue;
        }
        dlclose(library); // the flag stays: the library is never unloaded
    }
    kept = all;
}

SQLCHAR *Chars(const std::string &text) {
    return reinterpret_cast<SQLCHAR *>(const_cast<char *>(text.c_str()));
}

} // namespace

uint32_t Connection::SetOwn(uint32_t index, uint32_t field) {
    switch (index) {
    case kServer:
        return KeepSecrets(rdxc::GetText(field, settings_.server));
    case kUser:
        return rdxc::GetText(field, settings_.user);
    case kPassword:
        return KeepSecrets(rdxc::GetText(field, settings_.password));
    default:
        return RDSTATUS_BADPROPERTY;
    }
}

uint32_t Connection::GetOwn(uint32_t index, uint32_t field) {
    switch (index) {
    case kServer:
        return rdxc::PutText(field, rdxc::MaskSecrets(settings_.server, rdxc::SecretForm::Odbc));
    case kUser:
        return rdxc::PutText(field, settings_.user);
    case kPassword:
        return rdxc::PutText(field, ""); // write only
    default:
        return RDSTATUS_BADPROPERTY;
    }
}

uint32_t Connection::KeepSecrets(uint32_t status) {
    return HideSecrets(status, settings_.server, rdxc::SecretForm::Odbc, settings_.password);
}

uint32_t Connection::Fail(std::string text) {
    return log_.Fail(std::move(text));
}

uint32_t Connection::DriverFailure(const std::string &what, const Handle &handle) {
    const std::string diagnostics = JoinDiagnostics(DiagnosticsOf(handle.type(), handle.get()));
    return Fail(what + ": " + (diagnostics.empty() ? "the driver says nothing more" : diagnostics));
}

void Connection::Note(SQLRETURN result, const Handle &handle) {
    if (result != SQL_SUCCESS_WITH_INFO) return;
    for (const Diagnostic &record : DiagnosticsOf(handle.type(), handle.get()))
        log_.Inform("[" + record.state + "] " + record.text);
}

std::string Connection::DataSourceName() const {
    return settings_.server.find('=') == std::string::npos
               ? settings_.server
               : "\"" + rdxc::MaskSecrets(settings_.server, rdxc::SecretForm::Odbc) + "\"";
}

uint32_t Connection::Connect() {
    Disconnect();
    if (settings_.server.empty()) return Fail("no data source is named (property DataSource)");
    if (!Succeeded(env_.Allocate(SQL_NULL_HANDLE))) return RDSTATUS_NOMEMORY;
    SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!Succeeded(dbc_.Allocate(env_.get()))) return DriverFailure("no connection handle", env_);
    SQLRETURN result = SQL_ERROR;
    if (settings_.server.find('=') != std::string::npos) {
        // A connection string; the user and password properties are added.
        std::string text = settings_.server;
        if (!settings_.user.empty()) text += ";UID=" + AttributeValue(settings_.user);
        if (!settings_.password.empty()) text += ";PWD=" + AttributeValue(settings_.password);
        result = SQLDriverConnect(dbc_.get(), nullptr, Chars(text), SQL_NTS, nullptr, 0, nullptr,
                                  SQL_DRIVER_NOPROMPT);
    } else {
        result =
            SQLConnect(dbc_.get(), Chars(settings_.server), SQL_NTS,
                       settings_.user.empty() ? nullptr : Chars(settings_.user), SQL_NTS,
                       settings_.password.empty() ? nullptr : Chars(settings_.password), SQL_NTS);
    }
    if (!Succeeded(result)) {
        const uint32_t status =
            DriverFailure("the data source " + DataSourceName() + " cannot be connected", dbc_);
        dbc_.Free();
        env_.Free();
        return status;
    }
    Note(result, dbc_);
    KeepDriverManager();
    connected_ = true;
    SQLUSMALLINT capable = SQL_TC_NONE;
    if (Succeeded(SQLGetInfo(dbc_.get(), SQL_TXN_CAPABLE, &capable, sizeof capable, nullptr)) &&
        capable != SQL_TC_NONE)
        transactions_ = Succeeded(
            SQLSetConnectAttr(dbc_.get(), SQL_ATTR_AUTOCOMMIT,
                              reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER));
    char quote[8] = {};
    SQLSMALLINT length = 0;
    if (Succeeded(SQLGetInfo(dbc_.get(), SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &length)))
        dialect_.quote = quote[0] == ' ' ? "" : std::string(quote);
    char escape[8] = {}, dbms[64] = {};
    if (Succeeded(
            SQLGetInfo(dbc_.get(), SQL_SEARCH_PATTERN_ESCAPE, escape, sizeof escape, &length)))
        escape_ = escape;
    if (Succeeded(SQLGetInfo(dbc_.get(), SQL_DBMS_NAME, dbms, sizeof dbms, &length)))
        dialect_.sqliteSource = rdxc::SameWord(std::string(dbms).substr(0, 6), "SQLite");
    return RDSTATUS_OK;
}

void Connection::Disconnect() {
    values_.ReportRounded(log_, "the select");
    CloseSelect();
    insert_.Free();
    delete_.Free();
    insertKey_.clear();
    if (connected_) {
        if (transactions_) SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
        SQLDisconnect(dbc_.get());
    }
    connected_ = transactions_ = false;
    dbc_.Free();
    env_.Free();
}

uint32_t Connection::NeedConnection() {
    return connected_ ? RDSTATUS_OK : RDSTATUS_NOTCONNECTED;
}

uint32_t Connection::NeedTable() {
    if (!connected_) return RDSTATUS_NOTCONNECTED;
    if (source_.table.empty()) return Fail("no table is named (property Table)");
    return RDSTATUS_OK;
}

uint32_t Connection::EndTransaction(bool commit) {
    if (!transactions_) return RDSTATUS_OK;
    const SQLRETURN result =
        SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), commit ? SQL_COMMIT : SQL_ROLLBACK);
    if (Succeeded(result)) return RDSTATUS_OK;
    return DriverFailure(commit ? "the transaction cannot be committed"
                                : "the transaction cannot be rolled back",
                         dbc_);
}

// Runs one statement and commits it; rows: the rows it changed (0 when the
// driver does not say).
uint32_t Connection::RunStatement(const std::string &sql, const std::string &what, SQLLEN *rows) {
    Handle statement(SQL_HANDLE_STMT);
    if (!Succeeded(statement.Allocate(dbc_.get())))
        return DriverFailure("no statement handle", dbc_);
    const SQLRETURN result = SQLExecDirect(statement.get(), Chars(sql), SQL_NTS);
    if (!Succeeded(result) && result != SQL_NO_DATA) {
        const uint32_t status = DriverFailure(what, statement);
        EndTransaction(false);
        return status;
    }
    Note(result, statement);
    SQLLEN changed = 0;
    if (rows != nullptr && result != SQL_NO_DATA &&
        !Succeeded(SQLRowCount(statement.get(), &changed)))
        changed = 0;
    if (rows != nullptr) *rows = changed < 0 ? 0 : changed;
    statement.Free();
    return EndTransaction(true);
}

uint32_t Connection::Execute(uint32_t *count) {
    *count = 0;
    if (uint32_t status = NeedConnection(); status != RDSTATUS_OK) return status;
    if (source_.sql.empty()) return Fail("execute needs an SQL text (property SQL)");
    SQLLEN rows = 0;
    if (uint32_t status = RunStatement(source_.sql, "the SQL text failed", &rows);
        status != RDSTATUS_OK)
        return status;
    *count = static_cast<uint32_t>(rows);
    return RDSTATUS_OK;
}

} // namespace rdodbc
