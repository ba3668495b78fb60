// Field values into statement parameters and result columns into field
// values. Failures give a status and say why in `problem`.
#pragma once

#include <cstdint>
#include <sqlite3.h>
#include <string>

namespace rdsqlite {

// Binds value index of field (of type) to parameter position of statement.
// numberColumn: the target column turns number texts into numbers, so a
// numeric or currency value with more digits than it holds exactly is
// refused instead of being rounded. A value bound as text is made in
// scratch and bound without a copy: scratch must stay unchanged until the
// statement has run (one scratch per parameter). A value refused for its
// own sake says why in problem (one SQLite finds too big returns
// RDSTATUS_RECORDFAULT); RDSTATUS_FREETEXT is a failure of SQLite's.
uint32_t BindValue(sqlite3_stmt *statement, int position, uint32_t field, uint32_t type,
                   uint32_t index, bool numberColumn, std::string &scratch, std::string &problem);

// Stores column of the statement's current row as value index of field.
uint32_t StoreValue(sqlite3_stmt *statement, int column, uint32_t field, uint32_t type,
                    uint32_t index, std::string &problem);

} // namespace rdsqlite
