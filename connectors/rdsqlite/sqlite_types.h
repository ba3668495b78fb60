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
// A table made from a field list declares INTEGER, REAL, MONEY,
// NUMERIC[(P,S)], DATETIME, TEXT and BLOB; a numeric of more than 15 digits
// is declared DECIMAL TEXT(P,S), which keeps its exact text, since SQLite
// holds numbers in 64-bit floats.
#pragma once

#include "value_text.h"

#include <string>
#include <string_view>

namespace rdsqlite {

// storage: the first row's storage class (SQLITE_INTEGER ...), 0 for none.
rdxc::ColumnType FieldTypeOf(std::string_view declared, int storage);
std::string DeclaredTypeOf(uint32_t field, uint32_t type);
// Whether SQLite turns a number text stored into a column of this declared
// type into a number (integer, real or numeric affinity).
bool HasNumberAffinity(std::string_view declared);
// Digits from the first to the last non-zero one of a decimal text.
size_t SignificantDigits(std::string_view text);
// The most digits a number text may have to be held exactly by SQLite.
constexpr size_t kExactDigits = 15;

std::string QuoteName(std::string_view name);

} // namespace rdsqlite
