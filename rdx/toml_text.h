// SPDX-License-Identifier: Apache-2.0
// Values written into a job file.
#pragma once

#include <string>

namespace rdx {

// text as a TOML basic string, quotes included: '"' and '\' escaped, and
// every control character written as an escape so that the value stays on
// its line.
std::string TomlString(const std::string &text);

} // namespace rdx
