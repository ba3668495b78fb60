// SPDX-License-Identifier: Apache-2.0
// The texts of a job file that rdcsm writes itself: keys, strings and
// floats, each in the shortest form that reads back exactly, with every
// character that could act on a terminal written as an escape.
#pragma once

#include <string>
#include <string_view>

namespace rdcsm {

// A key: bare when it is letters, digits, '_' and '-', else quoted.
std::string TomlKey(std::string_view key);

// A string of well-formed UTF-8: a literal string ('...') when it holds no
// quote and nothing that is shown as an escape, else a basic string
// ("...") with those characters escaped.
std::string TomlString(std::string_view text);

// A finite double in its shortest form that reads back as the same bits,
// always with a fraction or an exponent so that it stays a float.
std::string TomlFloat(double value);

} // namespace rdcsm
