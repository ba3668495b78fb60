// SPDX-License-Identifier: Apache-2.0
// The file of a file connector (delimited or JSON Lines) at connect: a
// regular file the process may read, or, when it may create it, a name in
// a folder that exists.
#pragma once

#include "connector_log.h"

#include <cstdint>
#include <string>

namespace rdxc {

// The folder of path ("." for a bare name).
std::string DirectoryOf(const std::string &path);

// 0, or the logged failure naming the file (or its folder) and why.
uint32_t CheckDataFile(const std::string &path, bool create, FailureLog &log);
// Removes the file (a drop); 0, or the logged failure naming it and why.
uint32_t RemoveDataFile(const std::string &path, FailureLog &log);

} // namespace rdxc
