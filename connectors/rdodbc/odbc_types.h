// SPDX-License-Identifier: Apache-2.0
// Field types from the SQL types a driver describes.
//
// SQL type                                   field type
//   INTEGER, SMALLINT, TINYINT, BIT           int
//   BIGINT                                    numeric(19,0): 64-bit integers
//   REAL, FLOAT, DOUBLE                       float
//   NUMERIC, DECIMAL (P,S)                    numeric (P,S)
//   DATE, TIME, TIMESTAMP                     datetime
//   BINARY, VARBINARY, LONGVARBINARY          binary
//   anything else (characters, GUID ...)      text
#pragma once

#include "odbc_handle.h"
#include "value_text.h"

namespace rdodbc {

rdxc::ColumnType FieldTypeOf(SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits);

// What part of a date-time an SQL type holds.
enum class DatetimeKind { Date, Time, Timestamp };
DatetimeKind DatetimeKindOf(SQLSMALLINT sqlType);

} // namespace rdodbc
