// SPDX-License-Identifier: Apache-2.0
// A stand-in CLI library for what a real driver cannot be made to do on demand.
// FAKECLI_MODE holds comma-separated behaviours:
//   env-fail, connect-alloc-fail, connect-fail  the call fails and leaves an error message
//   info                                        SQLConnect returns SQL_SUCCESS_WITH_INFO
//   disconnect-fail                             SQLDisconnect fails with an error message
//   long-error                                  the error message is 2,000 characters long
// FAKECLI_LOG names a file to which every call is appended with its arguments.
#include "cli.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Handles are the addresses of these two; the log names them "env" and "dbc".
char gEnv, gDbc;
std::string gError;

bool Mode(const char *flag) {
    const char *mode = std::getenv("FAKECLI_MODE");
    if (mode == nullptr) return false;
    std::string padded = std::string(",") + mode + ",";
    return padded.find(std::string(",") + flag + ",") != std::string::npos;
}

void Log(const std::string &line) {
    const char *path = std::getenv("FAKECLI_LOG");
    if (path == nullptr) return;
    if (std::FILE *f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

const char *Kind(void *handle) {
    return handle == &gEnv ? "env" : handle == &gDbc ? "dbc" : "null";
}

SQLRETURN Fail(const char *what) {
    gError = Mode("long-error") ? std::string() : std::string("[fakecli]") + what;
    for (int i = 0; Mode("long-error") && i < 2000; ++i)
        gError += static_cast<char>('0' + i % 10);
    return SQL_ERROR;
}

std::string Arg(SQLCHAR *text, SQLSMALLINT length) {
    return std::string(reinterpret_cast<char *>(text), static_cast<std::size_t>(length)) + ":" +
           std::to_string(length);
}

} // namespace

SQLRETURN SQLAllocEnv(SQLHENV *env) {
    Log("SQLAllocEnv");
    *env = SQL_NULL_HENV;
    if (Mode("env-fail")) return Fail("no environment");
    *env = &gEnv;
    return SQL_SUCCESS;
}

SQLRETURN SQLAllocConnect(SQLHENV env, SQLHDBC *dbc) {
    Log(std::string("SQLAllocConnect ") + Kind(env));
    *dbc = SQL_NULL_HDBC;
    if (Mode("connect-alloc-fail")) return Fail("no connection");
    *dbc = &gDbc;
    return SQL_SUCCESS;
}

SQLRETURN SQLConnect(SQLHDBC dbc, SQLCHAR *database, SQLSMALLINT databaseLength, SQLCHAR *user,
                     SQLSMALLINT userLength, SQLCHAR *password, SQLSMALLINT passwordLength) {
    Log(std::string("SQLConnect ") + Kind(dbc) + " " + Arg(database, databaseLength) + " " +
        Arg(user, userLength) + " " + Arg(password, passwordLength));
    if (Mode("connect-fail")) return Fail("connection refused");
    return Mode("info") ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

SQLRETURN SQLDisconnect(SQLHDBC dbc) {
    Log(std::string("SQLDisconnect ") + Kind(dbc));
    return Mode("disconnect-fail") ? Fail("disconnect refused") : SQL_SUCCESS;
}

// Copies at most maxLength characters of the message and terminates it behind them.
SQLRETURN SQLError(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt, SQLCHAR *state, SQLINTEGER *native,
                   SQLCHAR *message, SQLSMALLINT maxLength, SQLSMALLINT *length) {
    Log(std::string("SQLError ") + Kind(env) + " " + Kind(dbc) + " " + Kind(stmt) + " " +
        std::to_string(maxLength));
    if (env == SQL_NULL_HENV && dbc == SQL_NULL_HDBC) return SQL_INVALID_HANDLE;
    if (gError.empty()) return SQL_NO_DATA;
    std::memcpy(state, "08001", 6);
    *native = -30081;
    std::size_t count = std::min(gError.size(), static_cast<std::size_t>(maxLength));
    std::memcpy(message, gError.data(), count);
    message[count] = '\0';
    *length = static_cast<SQLSMALLINT>(count);
    gError.clear();
    return SQL_SUCCESS;
}

SQLRETURN SQLFreeConnect(SQLHDBC dbc) {
    Log(std::string("SQLFreeConnect ") + Kind(dbc));
    return SQL_SUCCESS;
}

SQLRETURN SQLFreeEnv(SQLHENV env) {
    Log(std::string("SQLFreeEnv ") + Kind(env));
    return SQL_SUCCESS;
}
