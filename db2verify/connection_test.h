// SPDX-License-Identifier: Apache-2.0
// One connectivity attempt through the CLI.
#pragma once

#include <cstdio>

namespace db2verify {

// Opens and closes one connection to database as user, writing the progress and the verdict
// to out. Every failure is reported with the CLI's own message. Returns true when both the
// connect and the disconnect succeeded. Allocates and frees its own CLI handles.
bool TestConnection(std::FILE *out, const char *database, const char *user, const char *password);

} // namespace db2verify
