// SPDX-License-Identifier: Apache-2.0
// The driver's diagnostic records of a handle as texts, each with its
// SQLSTATE: "[23000] UNIQUE constraint failed (native 19)".
#pragma once

#include "odbc_handle.h"

#include <string>
#include <vector>

namespace rdodbc {

struct Diagnostic {
    std::string state;
    std::string text;
    SQLINTEGER native = 0; // the data source's own error code
};

// The records of handle (at most a few dozen; the driver's text bounded).
std::vector<Diagnostic> DiagnosticsOf(SQLSMALLINT type, SQLHANDLE handle);
// The records joined by "; ", empty when there are none.
std::string JoinDiagnostics(const std::vector<Diagnostic> &records);

} // namespace rdodbc
