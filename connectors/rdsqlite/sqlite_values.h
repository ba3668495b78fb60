// SPDX-License-Identifier: Apache-2.0
// Field values into statement parameters and result columns into field
// values. Failures give a status and say why in `problem`.
#pragma once

#include "connector_values.h"
#include "sqlite_types.h"

#include <cstdint>
#include <sqlite3.h>
#include <string>

namespace rdsqlite {

// Binds value index of field (of type) to parameter position of statement,
// for a column as TargetColumnOf reads its declared type, with no copy and
// no allocation of its own. Integers and floats go as numbers. A numeric or
// currency value goes to a number column as an integer when it is whole
// and fits 64 bits, else as a real when SQLite holds it exactly (15
// significant digits), else as its exact text to the exact type and not at
// all to other number columns (refused, never rounded); more digits after
// the point than the column's type holds are refused or, with the rules'
// Rounding, rounded. To other columns numbers go as their texts, and
// date-times always as their texts (the rules' pattern or the ISO form).
// Texts in UTF-8 and binary values are bound where the field keeps them;
// other texts, made in scratch, are bound from there. Either must stay
// unchanged until the statement has run (one scratch per parameter; the
// field's values until the next fetch into it). A value refused for its own
// sake says why in problem (one SQLite finds too big returns
// RDSTATUS_RECORDFAULT); RDSTATUS_FREETEXT is a failure of SQLite's.
uint32_t BindValue(sqlite3_stmt *statement, int position, uint32_t field, uint32_t type,
                   uint32_t index, const TargetColumn &column, const rdxc::ValueRules &rules,
                   std::string &scratch, std::string &problem);

// Stores column of the statement's current row as value index of field.
uint32_t StoreValue(sqlite3_stmt *statement, int column, uint32_t field, uint32_t type,
                    uint32_t index, rdxc::ValueRules &rules, std::string &problem);

} // namespace rdsqlite
