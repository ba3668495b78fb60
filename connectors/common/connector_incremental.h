// SPDX-License-Identifier: Apache-2.0
// Properties that this project's link connectors share for incremental
// reads (only the records changed since the last run) and keyed writes
// (upsert), so that a copy run again and again moves each change once.
//
// Source side, set before the select:
//   IncrementalKey   the column the records are read by (an integer,
//                    numeric, double or date-time column). A SQL source
//                    orders its select by it first (then by OrderBy).
//   IncrementalFrom  the value the records must pass, as the library's text
//                    of a value of the key field's type; empty: no filter
//                    (every record, the first run). A SQL source adds
//                    `WHERE key OP ?` with the value bound as a value of the
//                    key's type, so that it compares equal to what the
//                    connector itself stores for that value. A file source
//                    drops the records that do not pass as it reads them.
//   IncrementalOp    ">" (default) or ">=".
// A record whose key is null never passes a filter.
//
// Target side, set before the first write (and before a table is made):
//   WriteMode        "insert" (default), "upsert" (a record whose Key exists
//                    updates it, any other is inserted) or "delete-insert"
//                    (the records of each batch whose Key exists are deleted,
//                    then the batch inserted, in one transaction).
//   Key              the key columns, comma separated. A table the link
//                    makes while Key is set gets a primary key on them.
// A connector without these refuses them with 12555 (no such property).
#pragma once

#include <cstdint>

namespace rdxc {

inline constexpr uint32_t kIncrementalKey = 0x0F13;
inline constexpr uint32_t kIncrementalFrom = 0x0F14;
inline constexpr uint32_t kIncrementalOp = 0x0F15;
inline constexpr uint32_t kWriteMode = 0x0F16;
inline constexpr uint32_t kKey = 0x0F17;

} // namespace rdxc
