// SPDX-License-Identifier: Apache-2.0
// What a SQL database calls things: how it quotes a name, the column type
// it takes for each field type, its parameter markers and the statements
// built from them. A connector derives its own dialect and overrides what
// differs; the shared steps (table creation, writes, selects) are written
// once against this class.
#pragma once

#include "list_fields.h"
#include "sql_statements.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rdxc {

// The column types a dialect names; numerics with their digits are named
// by Dialect::Numeric.
enum class SqlType { Integer, Bigint, Float, Currency, Datetime, Binary, Text };

class Dialect {
  public:
    virtual ~Dialect() = default;

    // name between the dialect's quote characters, each of them inside
    // doubled; as it is when the dialect has none.
    virtual std::string Quote(std::string_view name) const;
    // A column of OrderBy quoted; empty, with error set, when it cannot be.
    virtual std::string OrderColumn(std::string_view name, std::string &error) const;
    // The marker of parameter number (from 1).
    virtual std::string Marker(size_t number) const;
    // The comparison of a key column with its parameter that holds for two
    // nulls too.
    virtual std::string_view NullSafeEquals() const { return " IS "; }
    // How a select text is read to find where its statement ends.
    virtual std::span<const SqlDialect> Readings() const = 0;

    // The column type for a field of type; a numeric's precision and scale
    // are read from field.
    std::string ColumnType(uint32_t field, uint32_t type) const;

    // The column type of a key column: ColumnType, unless the database
    // keys only types of bounded length.
    virtual std::string KeyColumnType(uint32_t field, uint32_t type) const {
        return ColumnType(field, type);
    }

    // With key columns (Key), the table gets PRIMARY KEY (key).
    std::string CreateTable(std::string_view table, const std::vector<ListField> &fields,
                            const std::vector<std::string> &key = {}) const;
    std::string DropTable(std::string_view table) const;
    // A drop that does nothing when the table is not there.
    virtual std::string DropTableIfExists(std::string_view table) const;
    // Deletes every row and keeps the columns and indexes; DELETE FROM
    // unless the database has a quicker statement that commits with the
    // transaction.
    virtual std::string EmptyTable(std::string_view table) const;
    std::string SelectAll(std::string_view table) const;
    // INSERT INTO table (columns) VALUES (values), each list joined by ", ".
    std::string Insert(std::string_view table, const std::vector<std::string> &columns,
                       const std::vector<std::string> &values) const;

    // What follows an insert so that a row whose key exists is updated:
    // ON CONFLICT (key) DO UPDATE SET c = excluded.c for each other column,
    // DO NOTHING when every column is a key column.
    std::string OnConflict(const std::vector<std::string> &columns,
                           const std::vector<std::string> &key) const;

  protected:
    // (P,S), or nothing for precision 0 (a numeric of any digits).
    static std::string Digits(uint32_t precision, uint32_t scale);
    virtual std::string TypeName(SqlType type) const = 0;
    // A numeric of precision and scale that is not a 64-bit integer.
    virtual std::string Numeric(uint32_t precision, uint32_t scale) const = 0;
};

// name between quote characters, each of them inside doubled.
std::string QuoteName(std::string_view name, char quote = '"');

// The columns of names joined by ", ", each quoted.
std::string QuotedList(const Dialect &dialect, const std::vector<std::string> &names);

} // namespace rdxc
