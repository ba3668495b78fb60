// SPDX-License-Identifier: Apache-2.0
// Field types from SQLite's declared column types and back.
//
// Declared type (case ignored)            field type
//   NUMERIC/DECIMAL... [(P,S)]             numeric (P,S)
//   MONEY, CURRENCY                        currency
//   BIGINT, INT8                           numeric(19,0): 64-bit integers
//   other names holding INT, BOOL          int
//   names holding DATE or TIME             datetime (ISO 8601 text)
//   names holding CHAR, CLOB, TEXT         text
//   names holding BLOB                     binary
//   names holding REAL, FLOA, DOUB         float
//   none (an expression)                   by the first row's value:
//                                          int, float, text or binary
//   anything else                          text
//
// A table made from a field list declares INTEGER, REAL, MONEY, BIGINT
// (numeric(19,0): 64-bit integers, integer affinity), NUMERIC(P,S) for
// numerics SQLite holds exactly (at most 15 digits, or 18 without a
// fraction), DECIMAL BLOB(P,S) (or DECIMAL BLOB for a numeric without a
// precision) for the others, DATETIME, TEXT and BLOB. The word BLOB gives
// that column no affinity, so each value keeps the storage class it is
// bound with: an integer when it is whole and fits 64 bits, a real when it
// has at most 15 significant digits (held exactly: it sorts and compares
// as a number), else its exact text (which sorts after every number).
#pragma once

#include "sql_dialect.h"
#include "value_text.h"

#include <string>
#include <string_view>

namespace rdsqlite {

// storage: the first row's storage class (SQLITE_INTEGER ...), 0 for none.
rdxc::ColumnType FieldTypeOf(std::string_view declared, int storage);
// How values are bound for a column of a declared type: by SQLite's
// affinity (INT, then CHAR/CLOB/TEXT, then BLOB or nothing, then
// REAL/FLOA/DOUB, else numeric), the digits after the point its type
// holds, and whether it is the exact type (DECIMAL BLOB) whose numbers
// are bound by value.
enum class Affinity { Integer, Text, None, Real, Numeric };
struct TargetColumn {
    Affinity affinity = Affinity::None;
    int32_t scale = -1; // declared (P,S): S; integer affinity: 0; else -1, any
    bool exact = false; // a number-named column without affinity
};
TargetColumn TargetColumnOf(std::string_view declared);
// Digits from the first to the last non-zero one of a decimal text.
size_t SignificantDigits(std::string_view text);
// The most digits a number text may have to be held exactly by SQLite.
constexpr size_t kExactDigits = 15;

using rdxc::QuoteName;

} // namespace rdsqlite
