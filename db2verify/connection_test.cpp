// SPDX-License-Identifier: Apache-2.0
#include "connection_test.h"

#include "cli.h"

#include <cstring>

namespace db2verify {
namespace {

constexpr SQLSMALLINT kMessageMax = 1023;

bool Succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

SQLCHAR *Text(const char *text) {
    return reinterpret_cast<SQLCHAR *>(const_cast<char *>(text));
}

SQLSMALLINT Length(const char *text) {
    return static_cast<SQLSMALLINT>(std::strlen(text));
}

// Fetches the one message the CLI holds for the environment and connection and reports the
// failed attempt with it. The state and native code are fetched but not shown.
void ReportFailure(std::FILE *out, SQLHENV env, SQLHDBC dbc) {
    SQLCHAR state[7] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[kMessageMax + 1] = {};
    SQLSMALLINT length = 0;
    SQLRETURN rc =
        SQLError(env, dbc, SQL_NULL_HSTMT, state, &native, message, kMessageMax, &length);
    // Without a message (or with a CLI that did not terminate it) nothing past the buffer
    // is ever shown.
    if (!Succeeded(rc)) message[0] = '\0';
    message[kMessageMax] = '\0';
    std::fputs("\nError connecting to DB2 data source.\n", out);
    if (message[0] != '\0') {
        std::fprintf(out, "%s\n", reinterpret_cast<const char *>(message));
        std::fflush(out);
    }
    std::fputs("Connectivity test Fails.\n\n", out);
}

} // namespace

bool TestConnection(std::FILE *out, const char *database, const char *user, const char *password) {
    std::fprintf(out, "Attempting to connect to DB2 %s as %s", database, user);
    bool failed = true;
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (Succeeded(SQLAllocEnv(&env)) && Succeeded(SQLAllocConnect(env, &dbc)) &&
        Succeeded(SQLConnect(dbc, Text(database), Length(database), Text(user), Length(user),
                             Text(password), Length(password)))) {
        std::fputs("\nSuccessfully Connected\n", out);
        if (Succeeded(SQLDisconnect(dbc))) {
            std::fputs("Successfully Disconnected\n\n", out);
            failed = false;
        }
    }
    if (failed)
        ReportFailure(out, env, dbc);
    else
        std::fputs("Connectivity to DB2 Verified.\n\n", out);
    if (dbc != SQL_NULL_HDBC) SQLFreeConnect(dbc);
    if (env != SQL_NULL_HENV) SQLFreeEnv(env);
    return !failed;
}

} // namespace db2verify
