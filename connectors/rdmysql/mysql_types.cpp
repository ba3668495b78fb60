// SPDX-License-Identifier: Apache-2.0
#include "mysql_types.h"

#include "connector_values.h"
#include "rdx_field.h"

namespace rdmysql {

ReadColumn ReadColumnOf(const MYSQL_FIELD &field) {
    ReadColumn column;
    column.type.type = RDTYPE_TEXT;
    const bool unsignedFlag = (field.flags & UNSIGNED_FLAG) != 0;
    switch (field.type) {
    case MYSQL_TYPE_TINY:
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_YEAR:
        column.type.type = RDTYPE_INT;
        break;
    case MYSQL_TYPE_LONG:
        if (unsignedFlag)
            column.type = {RDTYPE_NUMERIC, 10, 0};
        else
            column.type.type = RDTYPE_INT;
        break;
    case MYSQL_TYPE_LONGLONG:
        column.type = {RDTYPE_NUMERIC, unsignedFlag ? 20u : rdxc::kBigintPrecision, 0};
        break;
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL: {
        // The display length counts the sign and the point.
        const unsigned long scale = field.decimals;
        unsigned long precision = field.length;
        if (scale > 0 && precision > 0) --precision;
        if (!unsignedFlag && precision > 0) --precision;
        if (precision == 0 || precision > 65) precision = 65;
        column.type = {RDTYPE_NUMERIC, static_cast<uint32_t>(precision),
                       static_cast<int32_t>(scale)};
        break;
    }
    case MYSQL_TYPE_FLOAT:
    case MYSQL_TYPE_DOUBLE:
        column.type.type = RDTYPE_FLOAT;
        break;
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_NEWDATE:
    case MYSQL_TYPE_DATETIME:
    case MYSQL_TYPE_DATETIME2:
    case MYSQL_TYPE_TIMESTAMP:
    case MYSQL_TYPE_TIMESTAMP2:
        column.type.type = RDTYPE_DATETIME;
        break;
    case MYSQL_TYPE_BIT:
    case MYSQL_TYPE_GEOMETRY:
        column.type.type = RDTYPE_BINARY;
        column.bytes = true;
        break;
    case MYSQL_TYPE_STRING:
    case MYSQL_TYPE_VAR_STRING:
    case MYSQL_TYPE_VARCHAR:
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_BLOB:
        column.bytes = true;
        if (field.charsetnr == kBinaryCharset) column.type.type = RDTYPE_BINARY;
        break;
    default: // TIME, JSON, ENUM, SET, NULL: their texts
        column.bytes = true;
        break;
    }
    return column;
}

bool BinaryColumn(std::string_view dataType) {
    return dataType == "binary" || dataType == "varbinary" || dataType == "tinyblob" ||
           dataType == "blob" || dataType == "mediumblob" || dataType == "longblob" ||
           dataType == "bit" || dataType == "geometry";
}

} // namespace rdmysql
