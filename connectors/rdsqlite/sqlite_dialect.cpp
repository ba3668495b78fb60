// SPDX-License-Identifier: Apache-2.0
// SQLite's names for things.
#include "sqlite_dialect.h"

#include "sqlite_types.h"

namespace rdsqlite {

// A column of ORDER BY in backticks: SQLite would take a name in double
// quotes that matches no column as a text constant and ignore the order.
std::string Dialect::OrderColumn(std::string_view name, std::string &) const {
    return rdxc::QuoteName(name, '`');
}

std::string Dialect::Marker(size_t number) const {
    return "?" + std::to_string(number);
}

std::span<const rdxc::SqlDialect> Dialect::Readings() const {
    return {&rdxc::kSqliteDialect, 1};
}

std::string Dialect::TypeName(rdxc::SqlType type) const {
    switch (type) {
    case rdxc::SqlType::Integer:
        return "INTEGER";
    case rdxc::SqlType::Bigint:
        return "BIGINT";
    case rdxc::SqlType::Float:
        return "REAL";
    case rdxc::SqlType::Currency:
        return "MONEY";
    case rdxc::SqlType::Datetime:
        return "DATETIME";
    case rdxc::SqlType::Binary:
        return "BLOB";
    default:
        return "TEXT";
    }
}

// SQLite keeps numbers in 64-bit floats: wider ones go into a column
// without affinity, where each value keeps its exact form.
std::string Dialect::Numeric(uint32_t precision, uint32_t scale) const {
    if (precision == 0) return "DECIMAL BLOB";
    const bool exact = precision <= kExactDigits || (scale == 0 && precision <= 18);
    return (exact ? "NUMERIC" : "DECIMAL BLOB") + Digits(precision, scale);
}

} // namespace rdsqlite
