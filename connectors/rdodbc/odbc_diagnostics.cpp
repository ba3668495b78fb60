// SPDX-License-Identifier: Apache-2.0
#include "odbc_diagnostics.h"

#include <algorithm>

namespace rdodbc {
namespace {

constexpr SQLSMALLINT kMostRecords = 32;
constexpr SQLSMALLINT kTextBytes = 1024;

} // namespace

std::vector<Diagnostic> DiagnosticsOf(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<Diagnostic> records;
    if (handle == SQL_NULL_HANDLE) return records;
    for (SQLSMALLINT number = 1; number <= kMostRecords; ++number) {
        SQLCHAR state[6] = {};
        SQLCHAR text[kTextBytes] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        const SQLRETURN result =
            SQLGetDiagRec(type, handle, number, state, &native, text, kTextBytes, &length);
        if (!Succeeded(result)) break;
        Diagnostic record;
        record.state.assign(reinterpret_cast<const char *>(state), 5);
        // A longer text comes truncated and terminated in the buffer.
        const size_t bytes = length < 0 ? 0 : std::min<size_t>(length, kTextBytes - 1);
        record.text.assign(reinterpret_cast<const char *>(text), bytes);
        while (!record.text.empty() && (record.text.back() == '\n' || record.text.back() == ' '))
            record.text.pop_back();
        if (native != 0) record.text += " (native " + std::to_string(native) + ")";
        record.native = native;
        records.push_back(std::move(record));
    }
    return records;
}

std::string JoinDiagnostics(const std::vector<Diagnostic> &records) {
    std::string joined;
    for (const Diagnostic &record : records)
        joined += (joined.empty() ? "[" : "; [") + record.state + "] " + record.text;
    return joined;
}

} // namespace rdodbc
