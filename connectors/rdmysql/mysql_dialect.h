// SPDX-License-Identifier: Apache-2.0
// MariaDB's dialect: `names`, ? parameters, <=> for keys that may be null,
// strings that take backslash escapes, '#' comments.
#pragma once

#include "sql_dialect.h"

namespace rdmysql {

class Dialect : public rdxc::Dialect {
  public:
    std::string Quote(std::string_view name) const override { return rdxc::QuoteName(name, '`'); }
    std::string_view NullSafeEquals() const override { return " <=> "; }
    // TRUNCATE makes the table anew at once (it commits by itself).
    std::string EmptyTable(std::string_view table) const override {
        return "TRUNCATE TABLE " + Quote(table);
    }
    std::span<const rdxc::SqlDialect> Readings() const override { return {&kReading, 1}; }
    // What follows a multi-row insert so that a row whose unique key exists
    // is updated: ON DUPLICATE KEY UPDATE c = VALUES(c) for each column that
    // is no key column (the first key column set to itself when all are).
    std::string OnDuplicateKey(const std::vector<std::string> &columns,
                               const std::vector<std::string> &key) const;
    // The server keys no longtext or longblob: key columns of those types
    // are made varchar(255) and varbinary(255), so that keys of up to three
    // such columns stay within the index's 3,072 bytes.
    std::string KeyColumnType(uint32_t field, uint32_t type) const override;

  protected:
    std::string TypeName(rdxc::SqlType type) const override;
    std::string Numeric(uint32_t precision, uint32_t scale) const override;

  private:
    static constexpr rdxc::SqlDialect kReading{
        .backslashEscapes = true, .backticks = true, .hashComments = true, .dashNeedsBlank = true};
};

inline const Dialect kDialect;

// The text type of new tables: utf8mb4 whatever the database's default.
inline constexpr const char *kTextType = "longtext CHARACTER SET utf8mb4";

} // namespace rdmysql
