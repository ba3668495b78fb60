// SPDX-License-Identifier: Apache-2.0
// The help texts of rdx.
#pragma once

namespace rdx {

extern const char *const kUsage;     // rdx --help
extern const char *const kCopyUsage; // rdx copy --help

} // namespace rdx
