// SPDX-License-Identifier: Apache-2.0
// Field types from the server's column types, and what a write needs to
// know of a target column.
//
// Server type                              field type
//   TINYINT, SMALLINT, MEDIUMINT (either     int
//   sign), INT, YEAR
//   INT UNSIGNED                             numeric(10,0)
//   BIGINT                                   numeric(19,0): 64-bit integers
//   BIGINT UNSIGNED                          numeric(20,0)
//   DECIMAL(P,S)                             numeric(P,S), P up to 65
//   FLOAT, DOUBLE                            float
//   DATE, DATETIME(n), TIMESTAMP(n)          datetime (a fraction finer than
//                                            hundredths is rounded)
//   TIME(n)                                  text "[-]HHH:MM:SS[.f]"
//   CHAR, VARCHAR, TEXT, JSON, ENUM, SET     text (utf8mb4)
//   BINARY, VARBINARY, BLOB, BIT, GEOMETRY   binary
#pragma once

#include "value_text.h"

#include <cstdint>
#include <mysql.h>
#include <string>
#include <string_view>

namespace rdmysql {

// The binary character set's number: a string column of it holds bytes.
inline constexpr unsigned kBinaryCharset = 63;

// How a result column is read.
struct ReadColumn {
    rdxc::ColumnType type;
    bool bytes = false; // the text protocol's value is taken as it is
};
ReadColumn ReadColumnOf(const MYSQL_FIELD &field);

// A column of the target table as information_schema gives it.
struct TargetColumn {
    std::string name, dataType; // dataType in lower case: "int", "varchar"...
    bool notNull = false;
    bool filled = false; // a default, auto_increment or generated value
    int64_t scale = -1;  // a decimal's digits after the point, -1 otherwise
};

// Whether the server takes a value of dataType as bytes (binary strings).
bool BinaryColumn(std::string_view dataType);

} // namespace rdmysql
