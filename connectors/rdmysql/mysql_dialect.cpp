// SPDX-License-Identifier: Apache-2.0
// MariaDB's names for things.
#include "mysql_dialect.h"

#include "property_value.h"

namespace rdmysql {

std::string Dialect::TypeName(rdxc::SqlType type) const {
    switch (type) {
    case rdxc::SqlType::Integer:
        return "int";
    case rdxc::SqlType::Bigint:
        return "bigint";
    case rdxc::SqlType::Float:
        return "double";
    case rdxc::SqlType::Currency:
        return "decimal(19,4)";
    case rdxc::SqlType::Datetime:
        return "datetime(2)"; // the engine's hundredths
    case rdxc::SqlType::Binary:
        return "longblob";
    default:
        return kTextType;
    }
}

std::string Dialect::KeyColumnType(uint32_t field, uint32_t type) const {
    const std::string column = ColumnType(field, type);
    if (column == kTextType) return "varchar(255) CHARACTER SET utf8mb4";
    if (column == TypeName(rdxc::SqlType::Binary)) return "varbinary(255)";
    return column;
}

// DECIMAL holds 65 digits, 30 of them after the point: a numeric of any
// digits takes the widest, and one beyond it is kept as its exact text.
std::string Dialect::Numeric(uint32_t precision, uint32_t scale) const {
    if (precision == 0) return "decimal(65,30)";
    if (precision > 65 || scale > 30) return kTextType;
    return "decimal" + Digits(precision, scale);
}

std::string Dialect::OnDuplicateKey(const std::vector<std::string> &columns,
                                    const std::vector<std::string> &key) const {
    std::string set;
    for (const std::string &column : columns) {
        bool isKey = false;
        for (const std::string &name : key)
            isKey = isKey || rdxc::SameWord(name, column);
        if (!isKey)
            set += (set.empty() ? "" : ", ") + Quote(column) + " = VALUES(" + Quote(column) + ")";
    }
    if (set.empty() && !key.empty()) set = Quote(key.front()) + " = " + Quote(key.front());
    return " ON DUPLICATE KEY UPDATE " + set;
}

} // namespace rdmysql
