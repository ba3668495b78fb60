// SPDX-License-Identifier: Apache-2.0
// The names of an ODBC data source.
#include "odbc_dialect.h"

#include "order_by.h"

#include <sqlext.h>

namespace rdodbc {

std::string Dialect::Quote(std::string_view name) const {
    if (quote.empty()) return std::string(name);
    if (quote.size() == 1) return rdxc::QuoteName(name, quote[0]);
    return quote + std::string(name) + quote;
}

std::string Dialect::OrderColumn(std::string_view name, std::string &error) const {
    if (quote.empty() && !rdxc::IsPlainName(name)) {
        error = "OrderBy column \"" + std::string(name) +
                "\" cannot be quoted for this driver: only letters, digits and _";
        return "";
    }
    return Quote(name);
}

std::string Dialect::TypeName(rdxc::SqlType type) const {
    switch (type) {
    case rdxc::SqlType::Integer:
        return "INTEGER";
    case rdxc::SqlType::Bigint:
        return namer_(SQL_BIGINT, "BIGINT");
    case rdxc::SqlType::Float:
        return "DOUBLE PRECISION";
    case rdxc::SqlType::Currency:
        return "DECIMAL(19,4)";
    case rdxc::SqlType::Datetime:
        return namer_(SQL_TYPE_TIMESTAMP, "TIMESTAMP");
    case rdxc::SqlType::Binary:
        return namer_(SQL_LONGVARBINARY, "BLOB");
    default:
        return namer_(SQL_LONGVARCHAR, "VARCHAR(4000)");
    }
}

// SQLite keeps numbers in 64-bit floats: wider ones go into a column
// without affinity, where each value keeps its exact form.
std::string Dialect::Numeric(uint32_t precision, uint32_t scale) const {
    const bool exact = precision != 0 && (precision <= 15 || (scale == 0 && precision <= 18));
    return (sqliteSource && !exact ? "DECIMAL BLOB" : "NUMERIC") + Digits(precision, scale);
}

} // namespace rdodbc
