// SPDX-License-Identifier: Apache-2.0
// What decides whether a write's failure is one record's or the target's,
// checked as far as it can be before the first record goes: an insert whose
// fields leave out a NOT NULL column the server does not fill is refused
// once (12325) rather than record by record. The server's refusal of a
// record for its values (data exceptions, class 22: a text that is no
// number, a value out of range, a byte sequence of no character; integrity
// constraints, class 23: unique, check, foreign key, not null) is that
// record's (12330); everything else (space, permission, a read-only
// server, a missing table or column, a lost connection) is the target's.
// And the identity of the connection's table.
#include "pg_binary.h"
#include "pg_connection.h"

#include "rdx_status.h"

#include <algorithm>

namespace rdpg {

uint32_t Connection::WriteFailure(const std::string &what, const PGresult *result) {
    const char *state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const std::string text = ServerText(what, result);
    if (state != nullptr && state[0] == '2' && (state[1] == '2' || state[1] == '3'))
        return log_.RecordFault(text);
    return log_.Fail(text);
}

uint32_t Connection::CheckCovered(const std::vector<std::string> &names,
                                  const std::vector<std::string> &required) {
    std::string missing;
    for (const std::string &column : required) {
        if (std::find(names.begin(), names.end(), column) == names.end())
            missing += (missing.empty() ? "" : ", ") + rdxc::ShownName(column);
    }
    if (missing.empty()) return RDSTATUS_OK;
    return log_.Fail("the table " + rdxc::ShownName(source_.table) +
                     " has NOT NULL columns without a default that the records do not have: " +
                     missing + "; no record can be inserted");
}

// Asked of the server when it can answer: not in the middle of a COPY (the
// last identity then stands) or of a failed transaction. The system
// identifier is read only where the user may; the table is the one the
// name finds on the search path, or the one a create would make.
std::string Connection::Identity() {
    if (db_ == nullptr || source_.table.empty()) return std::string();
    if (copyOpen_) return identityTable_ == source_.table ? identity_ : std::string();
    SettleFetch();
    if (PQtransactionStatus(db_) == PQTRANS_INERROR) return std::string();
    const std::string quoted = QuoteName(source_.table);
    const char *values[] = {quoted.c_str(), source_.table.c_str()};
    Result result(PQexecParams(
        db_,
        "SELECT CASE WHEN has_function_privilege('pg_catalog.pg_control_system()', 'EXECUTE') "
        "THEN (SELECT system_identifier::text FROM pg_catalog.pg_control_system()) END, "
        "format('%I', current_database()), "
        "COALESCE((SELECT format('%I.%I', n.nspname, c.relname) FROM pg_catalog.pg_class c "
        "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
        "WHERE c.oid = pg_catalog.to_regclass($1)), "
        "format('%I.%I', COALESCE(current_schema(), ''), $2::text))",
        2, nullptr, values, nullptr, nullptr, 0));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK || PQntuples(result.get()) != 1)
        return std::string();
    std::string server = PQgetvalue(result.get(), 0, 0);
    if (PQgetisnull(result.get(), 0, 0)) {
        const char *host = PQhost(db_), *port = PQport(db_);
        server = std::string(host != nullptr ? host : "") + ":" + (port != nullptr ? port : "");
    }
    identity_ = "postgresql:" + server + ":" + PQgetvalue(result.get(), 0, 1) + ":" +
                PQgetvalue(result.get(), 0, 2);
    identityTable_ = source_.table;
    return identity_;
}

} // namespace rdpg
