// SPDX-License-Identifier: Apache-2.0
// SQL written for both stores uses SQLite's ? and ?N placeholders;
// PostgreSQL wants $N.
#pragma once

#include <string>

namespace rdcsm {

// sql with each ?N written $N and each bare ? as the number after the
// highest one so far (SQLite's numbering), leaving quoted literals,
// quoted names and comments as they are.
std::string DollarPlaceholders(const std::string &sql);

} // namespace rdcsm
