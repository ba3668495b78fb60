// SPDX-License-Identifier: Apache-2.0
// Properties, connect, disconnect and execute of a PostgreSQL connection,
// and the server's messages in the activity's log.
#include "pg_connection.h"

#include "connector_actions.h"
#include "connector_records.h"
#include "connector_resume.h"
#include "property_value.h"
#include "rdx_status.h"
#include "secret_mask.h"

#include <algorithm>
#include <cstdint>
#include <sys/socket.h>

namespace rdpg {
namespace {

// "SEVERITY SQLSTATE: message" of a server's notice or error.
std::string MessageOf(const PGresult *result) {
    auto part = [&](int code) {
        const char *text = PQresultErrorField(result, code);
        return std::string(text == nullptr ? "" : text);
    };
    std::string text = part(PG_DIAG_SEVERITY) + " " + part(PG_DIAG_SQLSTATE) + ": " +
                       part(PG_DIAG_MESSAGE_PRIMARY);
    if (const std::string detail = part(PG_DIAG_MESSAGE_DETAIL); !detail.empty())
        text += " (" + detail + ")";
    return text;
}

// Notices (and warnings) go to the log as informational texts.
void LogNotice(void *log, const PGresult *result) {
    static_cast<const rdxc::FailureLog *>(log)->Inform(MessageOf(result));
}

} // namespace

uint32_t Connection::SetOwn(uint32_t index, uint32_t field) {
    switch (index) {
    case kConnection:
        return KeepSecrets(rdxc::GetText(field, settings_.connection));
    case kHost:
        return rdxc::GetText(field, settings_.host);
    case kPort:
        return rdxc::GetText(field, settings_.port);
    case kUser:
        return rdxc::GetText(field, settings_.user);
    case kPassword:
        return KeepSecrets(rdxc::GetText(field, settings_.password));
    case kTransaction:
        return SetTransaction(field);
    default:
        return RDSTATUS_BADPROPERTY;
    }
}

uint32_t Connection::GetOwn(uint32_t index, uint32_t field) {
    switch (index) {
    case rdxc::kUncommitted:
        return rdxc::PutInt(field,
                            static_cast<int32_t>(std::min<uint64_t>(Uncommitted(), INT32_MAX)));
    case kConnection:
        return rdxc::PutText(field,
                             rdxc::MaskSecrets(settings_.connection, rdxc::SecretForm::Libpq));
    case kHost:
        return rdxc::PutText(field, settings_.host);
    case kPort:
        return rdxc::PutText(field, settings_.port);
    case kUser:
        return rdxc::PutText(field, settings_.user);
    case kPassword: // never shown
        return rdxc::PutText(field, "");
    case kTransaction:
        return rdxc::PutText(field, settings_.copyPerConnection ? "connection" : "batch");
    default:
        return RDSTATUS_BADPROPERTY;
    }
}

// "batch" or "connection"; a change while a COPY is open takes effect
// with the next one.
uint32_t Connection::SetTransaction(uint32_t field) {
    std::string text;
    if (uint32_t status = rdxc::GetText(field, text); status != RDSTATUS_OK) return status;
    if (!text.empty() && !rdxc::SameWord(text, "batch") && !rdxc::SameWord(text, "connection"))
        return log_.Fail("Transaction is \"batch\" or \"connection\", not \"" + text + "\"");
    settings_.copyPerConnection = rdxc::SameWord(text, "connection");
    return RDSTATUS_OK;
}

uint32_t Connection::KeepSecrets(uint32_t status) {
    return HideSecrets(status, settings_.connection, rdxc::SecretForm::Libpq, settings_.password);
}

std::string Connection::ServerText(const std::string &what, const PGresult *result) const {
    std::string message;
    if (result != nullptr && PQresultErrorField(result, PG_DIAG_SQLSTATE) != nullptr)
        message = MessageOf(result);
    else
        message = db_ != nullptr ? PQerrorMessage(db_) : "no connection";
    while (!message.empty() && message.back() == '\n')
        message.pop_back();
    return what + ": " + message;
}

uint32_t Connection::ServerFailure(const std::string &what, const PGresult *result) {
    return log_.Fail(ServerText(what, result));
}

uint32_t Connection::Connect() {
    Disconnect();
    // The connection string first (expanded), then the separate properties
    // over it; libpq's environment variables and password file fill the rest.
    std::vector<const char *> keys, values;
    auto add = [&](const char *key, const std::string &value) {
        if (value.empty()) return;
        keys.push_back(key);
        values.push_back(value.c_str());
    };
    add("dbname", settings_.connection);
    add("host", settings_.host);
    add("port", settings_.port);
    add("dbname", source_.database);
    add("user", settings_.user);
    add("password", settings_.password);
    keys.push_back("client_encoding");
    values.push_back("UTF8");
    keys.push_back("application_name");
    values.push_back("rdpg");
    keys.push_back(nullptr);
    values.push_back(nullptr);
    db_ = PQconnectdbParams(keys.data(), values.data(), 1);
    if (db_ == nullptr) return RDSTATUS_NOMEMORY;
    if (PQstatus(db_) != CONNECTION_OK) {
        // libpq's message may echo a connection text it cannot read: the
        // log hides its passwords.
        const uint32_t status = ServerFailure("the server cannot be reached", nullptr);
        Disconnect();
        return status;
    }
    PQsetNoticeReceiver(db_, LogNotice, &log_);
    // A send buffer that holds whole batches (the kernel caps it at
    // net.core.wmem_max): the server reads one batch while the next is
    // being read and encoded here, instead of each side waiting in turn.
    int sendBuffer = 4 << 20;
    setsockopt(PQsocket(db_), SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    // Date-times are exchanged in universal time.
    uint32_t status = Run("SET TIME ZONE 'UTC'", PGRES_COMMAND_OK);
    if (status == RDSTATUS_OK) status = LoadMark();
    if (status != RDSTATUS_OK) {
        Disconnect();
        return status;
    }
    return RDSTATUS_OK;
}

uint32_t Connection::Disconnect() {
    values_.ReportRounded(log_, "the select");
    const uint32_t status = db_ != nullptr ? EndCopy() : RDSTATUS_OK;
    copyOpen_ = false;
    copyFailed_ = false;
    copyInTransaction_ = false;
    markTable_ = false;
    identity_.clear();
    identityTable_.clear();
    prefetching_ = false;
    ahead_.reset();
    rows_.reset();
    cursorOpen_ = false;
    selectedList_ = 0;
    copyList_ = 0;
    prepared_ = false;
    if (db_ != nullptr) PQfinish(db_);
    db_ = nullptr;
    return status;
}

uint32_t Connection::Run(const std::string &sql, ExecStatusType expected, Result *out) {
    Result result(PQexec(db_, sql.c_str()));
    if (result == nullptr) return ServerFailure("the statement cannot be sent", nullptr);
    if (PQresultStatus(result.get()) != expected)
        return ServerFailure("the statement failed", result.get());
    if (out != nullptr) *out = std::move(result);
    return RDSTATUS_OK;
}

// Every statement of the text; the count is the rows the last one touched.
uint32_t Connection::Execute(uint32_t *count) {
    *count = 0;
    if (uint32_t status = Ready(); status != RDSTATUS_OK) return status;
    if (source_.sql.empty()) return log_.Fail("execute needs an SQL text (property SQL)");
    Result result(PQexec(db_, source_.sql.c_str()));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        return ServerFailure("the SQL text failed", result.get());
    const char *rows = PQcmdTuples(result.get());
    *count = rows != nullptr && *rows != '\0' ? static_cast<uint32_t>(std::stoul(rows)) : 0;
    return RDSTATUS_OK;
}

// A write or another statement ends the select's transaction first, so
// that what it changes is committed and not lost with the cursor's.
uint32_t Connection::Ready() {
    if (db_ == nullptr) return RDSTATUS_NOTCONNECTED;
    if (uint32_t status = EndCopy(); status != RDSTATUS_OK) return status;
    return CloseCursor();
}

uint32_t Connection::NeedTable() {
    if (db_ == nullptr) return RDSTATUS_NOTCONNECTED;
    if (source_.table.empty()) return log_.Fail("no table is named (property Table)");
    return RDSTATUS_OK;
}

} // namespace rdpg
