// SPDX-License-Identifier: Apache-2.0
// `rdrun --layout FILE`: what a copy would read and make, shown without
// copying, storing or creating anything. FILE describes the two ends:
//
//   [source]
//   connector=rdcsv
//   Path=/data/orders.csv
//   [target]
//   connector=rdsqlite
//   Database=/data/shop.db
//   Table=orders
//
// one KEY=VALUE a line, the value as written up to the line's end. Keys are
// the properties the connector declares (any letter case); `select` in the
// source is its select text, as a copy's SourceSelect. The source is
// connected and selected, and its fields printed with their types; the
// target, when given, is never connected: it is asked for the CREATE TABLE
// it would run for those fields (the CreateText property of SQL links).
#pragma once

#include <cstdio>
#include <string>

namespace rdrun {

// Prints the layout to out. 0, or 1 with the reason on err.
int ShowLayout(const std::string &file, std::FILE *out, std::FILE *err);

} // namespace rdrun
