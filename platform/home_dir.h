// SPDX-License-Identifier: Apache-2.0
// The process-wide home directory of the platform: empty until RDPlatInit
// succeeds, then a directory that ends with '/'.
#pragma once

#include "rdplat_start.h"

#include <string>

namespace rdplat {

// The home directory buffer (RDPLAT_PATH_SIZE bytes, always NUL-terminated).
char *HomeDir();

// Replaces the home directory with dir plus a trailing '/' unless it already
// ends with one. False (home left empty) when it does not fit.
bool SetHomeDir(const std::string &dir);

void ClearHomeDir();

// Paths of configuration files are built in buffers of this size.
constexpr size_t kConfigPathSize = 1024;

// Resolves a configuration-file name: a name containing '/' is a path, any
// other name is appended to the home directory.
std::string ResolveConfigName(const char *name);

} // namespace rdplat
