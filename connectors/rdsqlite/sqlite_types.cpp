// SPDX-License-Identifier: Apache-2.0
#include "sqlite_types.h"

#include "connector_values.h"
#include "rdx_field.h"

#include <cctype>
#include <sqlite3.h>

namespace rdsqlite {
namespace {

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char &c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

bool Has(const std::string &text, const char *part) {
    return text.find(part) != std::string::npos;
}

// (P,S) or (P) after the type's name, when valid for a numeric.
void ReadPrecision(const std::string &upper, rdxc::ColumnType &type) {
    const size_t open = upper.find('(');
    if (open == std::string::npos) return;
    rdxc::ColumnType parsed;
    if (rdxc::ParseColumnType("numeric" + upper.substr(open), parsed)) {
        type.precision = parsed.precision;
        type.scale = parsed.scale;
    }
}

} // namespace

rdxc::ColumnType FieldTypeOf(std::string_view declared, int storage) {
    const std::string upper = Upper(declared);
    rdxc::ColumnType type;
    type.type = RDTYPE_TEXT;
    if (upper.empty()) {
        if (storage == SQLITE_INTEGER)
            type.type = RDTYPE_INT;
        else if (storage == SQLITE_FLOAT)
            type.type = RDTYPE_FLOAT;
        else if (storage == SQLITE_BLOB)
            type.type = RDTYPE_BINARY;
    } else if (Has(upper, "NUM") || Has(upper, "DEC")) {
        type.type = RDTYPE_NUMERIC;
        ReadPrecision(upper, type);
    } else if (Has(upper, "MONEY") || Has(upper, "CURRENCY")) {
        type.type = RDTYPE_CURRENCY;
    } else if (Has(upper, "BIGINT") || Has(upper, "INT8")) {
        type.type = RDTYPE_NUMERIC;
        type.precision = 19;
    } else if (Has(upper, "INT") || Has(upper, "BOOL")) {
        type.type = RDTYPE_INT;
    } else if (Has(upper, "DATE") || Has(upper, "TIME")) {
        type.type = RDTYPE_DATETIME;
    } else if (Has(upper, "CHAR") || Has(upper, "CLOB") || Has(upper, "TEXT")) {
        type.type = RDTYPE_TEXT;
    } else if (Has(upper, "BLOB")) {
        type.type = RDTYPE_BINARY;
    } else if (Has(upper, "REAL") || Has(upper, "FLOA") || Has(upper, "DOUB")) {
        type.type = RDTYPE_FLOAT;
    }
    return type;
}

TargetColumn TargetColumnOf(std::string_view declared) {
    const std::string upper = Upper(declared);
    TargetColumn column;
    if (Has(upper, "INT"))
        column.affinity = Affinity::Integer;
    else if (Has(upper, "CHAR") || Has(upper, "CLOB") || Has(upper, "TEXT"))
        column.affinity = Affinity::Text;
    else if (upper.empty() || Has(upper, "BLOB"))
        column.affinity = Affinity::None;
    else if (Has(upper, "REAL") || Has(upper, "FLOA") || Has(upper, "DOUB"))
        column.affinity = Affinity::Real;
    else
        column.affinity = Affinity::Numeric;
    const bool number = Has(upper, "NUM") || Has(upper, "DEC");
    column.exact = column.affinity == Affinity::None && number;
    if (column.affinity == Affinity::Integer) column.scale = 0;
    if (number && column.affinity != Affinity::Text) {
        rdxc::ColumnType type;
        ReadPrecision(upper, type);
        if (type.precision != 0) column.scale = type.scale;
    }
    return column;
}

size_t SignificantDigits(std::string_view text) {
    size_t first = std::string_view::npos, last = 0, count = 0, position = 0;
    for (char c : text) {
        if (c == 'e' || c == 'E') break;
        if (c < '0' || c > '9') continue;
        if (c != '0') {
            if (first == std::string_view::npos) first = position;
            last = position;
        }
        ++position;
    }
    if (first != std::string_view::npos) count = last - first + 1;
    return count;
}

} // namespace rdsqlite
