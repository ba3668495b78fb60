// SPDX-License-Identifier: Apache-2.0
// The statements every SQL dialect builds the same way.
#include "sql_dialect.h"

#include "connector_values.h"
#include "property_value.h"
#include "rdx_field.h"

#include <algorithm>

namespace rdxc {

std::string QuoteName(std::string_view name, char quote) {
    std::string quoted(1, quote);
    for (char c : name) {
        quoted += c;
        if (c == quote) quoted += c;
    }
    return quoted + quote;
}

std::string Dialect::Quote(std::string_view name) const {
    return QuoteName(name);
}

std::string Dialect::OrderColumn(std::string_view name, std::string &) const {
    return Quote(name);
}

std::string Dialect::Marker(size_t) const {
    return "?";
}

std::string Dialect::ColumnType(uint32_t field, uint32_t type) const {
    switch (type) {
    case RDTYPE_INT:
        return TypeName(SqlType::Integer);
    case RDTYPE_FLOAT:
        return TypeName(SqlType::Float);
    case RDTYPE_CURRENCY:
        return TypeName(SqlType::Currency);
    case RDTYPE_NUMERIC: {
        uint32_t precision = 0, scale = 0;
        RDFieldGetFormatNumber(field, nullptr, nullptr, &precision, &scale);
        if (precision == kBigintPrecision && scale == 0) return TypeName(SqlType::Bigint);
        return Numeric(precision, scale);
    }
    case RDTYPE_DATETIME:
        return TypeName(SqlType::Datetime);
    case RDTYPE_BINARY:
        return TypeName(SqlType::Binary);
    default:
        return TypeName(SqlType::Text);
    }
}

std::string Dialect::Digits(uint32_t precision, uint32_t scale) {
    if (precision == 0) return "";
    return "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
}

std::string Dialect::CreateTable(std::string_view table, const std::vector<ListField> &fields,
                                 const std::vector<std::string> &key) const {
    std::string columns;
    for (const ListField &field : fields) {
        const bool isKey = std::any_of(key.begin(), key.end(), [&](const std::string &name) {
            return SameWord(name, field.name);
        });
        columns +=
            (columns.empty() ? "" : ", ") + Quote(field.name) + " " +
            (isKey ? KeyColumnType(field.field, field.type) : ColumnType(field.field, field.type));
    }
    if (!key.empty()) columns += ", PRIMARY KEY (" + QuotedList(*this, key) + ")";
    return "CREATE TABLE " + Quote(table) + " (" + columns + ")";
}

std::string Dialect::DropTable(std::string_view table) const {
    return "DROP TABLE " + Quote(table);
}

std::string Dialect::DropTableIfExists(std::string_view table) const {
    return "DROP TABLE IF EXISTS " + Quote(table);
}

std::string Dialect::EmptyTable(std::string_view table) const {
    return "DELETE FROM " + Quote(table);
}

std::string Dialect::SelectAll(std::string_view table) const {
    return "SELECT * FROM " + Quote(table);
}

std::string Dialect::Insert(std::string_view table, const std::vector<std::string> &columns,
                            const std::vector<std::string> &values) const {
    std::string names, markers;
    for (size_t i = 0; i < columns.size(); ++i)
        names += (i > 0 ? ", " : "") + Quote(columns[i]);
    for (size_t i = 0; i < values.size(); ++i)
        markers += (i > 0 ? ", " : "") + values[i];
    return "INSERT INTO " + Quote(table) + " (" + names + ") VALUES (" + markers + ")";
}

std::string Dialect::OnConflict(const std::vector<std::string> &columns,
                                const std::vector<std::string> &key) const {
    std::string set;
    for (const std::string &column : columns) {
        bool isKey = false;
        for (const std::string &name : key)
            isKey = isKey || SameWord(name, column);
        if (!isKey)
            set += (set.empty() ? "" : ", ") + Quote(column) + " = excluded." + Quote(column);
    }
    return " ON CONFLICT (" + QuotedList(*this, key) + ")" +
           (set.empty() ? " DO NOTHING" : " DO UPDATE SET " + set);
}

std::string QuotedList(const Dialect &dialect, const std::vector<std::string> &names) {
    std::string list;
    for (const std::string &name : names)
        list += (list.empty() ? "" : ", ") + dialect.Quote(name);
    return list;
}

} // namespace rdxc
