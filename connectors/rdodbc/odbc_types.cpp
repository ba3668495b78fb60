// SPDX-License-Identifier: Apache-2.0
#include "odbc_types.h"

#include "rdx_field.h"
#include "rdx_numeric.h"

namespace rdodbc {

rdxc::ColumnType FieldTypeOf(SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits) {
    rdxc::ColumnType type{RDTYPE_TEXT, 0, 0};
    switch (sqlType) {
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_BIT:
        type.type = RDTYPE_INT;
        break;
    case SQL_BIGINT:
        type = {RDTYPE_NUMERIC, 19, 0};
        break;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        type.type = RDTYPE_FLOAT;
        break;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        type.type = RDTYPE_NUMERIC;
        // A size the library cannot hold leaves the field's own default.
        if (size > 0 && size <= RDNUMERIC_MAX_PRECISION && digits >= 0 &&
            static_cast<SQLULEN>(digits) <= size) {
            type.precision = static_cast<uint32_t>(size);
            type.scale = digits;
        }
        break;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATE:
    case SQL_TIME:
    case SQL_TIMESTAMP:
        type.type = RDTYPE_DATETIME;
        break;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        type.type = RDTYPE_BINARY;
        break;
    default:
        break;
    }
    return type;
}

DatetimeKind DatetimeKindOf(SQLSMALLINT sqlType) {
    if (sqlType == SQL_TYPE_DATE || sqlType == SQL_DATE) return DatetimeKind::Date;
    if (sqlType == SQL_TYPE_TIME || sqlType == SQL_TIME) return DatetimeKind::Time;
    return DatetimeKind::Timestamp;
}

} // namespace rdodbc
