// SPDX-License-Identifier: Apache-2.0
// PostgreSQL's names for things.
#include "pg_dialect.h"

namespace rdpg {

std::string Dialect::Marker(size_t number) const {
    return "$" + std::to_string(number);
}

std::string Dialect::TypeName(rdxc::SqlType type) const {
    switch (type) {
    case rdxc::SqlType::Integer:
        return "integer";
    case rdxc::SqlType::Bigint:
        return "bigint";
    case rdxc::SqlType::Float:
        return "double precision";
    case rdxc::SqlType::Currency:
        return "numeric(19,4)";
    case rdxc::SqlType::Datetime:
        return "timestamp";
    case rdxc::SqlType::Binary:
        return "bytea";
    default:
        return "text";
    }
}

std::string Dialect::Numeric(uint32_t precision, uint32_t scale) const {
    return "numeric" + Digits(precision, scale);
}

} // namespace rdpg
