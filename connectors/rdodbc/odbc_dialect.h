// SPDX-License-Identifier: Apache-2.0
// The dialect of an ODBC data source: its identifier quote (none for some
// drivers), "?" parameters, and the type names the driver gives for the
// column types it has (SQLGetTypeInfo), fixed names where it has none.
#pragma once

#include "sql_dialect.h"

#include <functional>
#include <sql.h>
#include <string>

namespace rdodbc {

class Dialect : public rdxc::Dialect {
  public:
    // The data source's name for sqlType, or fallback when it has none.
    using TypeNamer = std::function<std::string(SQLSMALLINT sqlType, const char *fallback)>;
    explicit Dialect(TypeNamer namer) : namer_(std::move(namer)) {}

    std::string Quote(std::string_view name) const override;
    // Without a quote a name stands as it is: only a plain one.
    std::string OrderColumn(std::string_view name, std::string &error) const override;
    std::span<const rdxc::SqlDialect> Readings() const override { return rdxc::kUnknownDialects; }

    std::string quote = "\"";  // the driver's identifier quote, empty for none
    bool sqliteSource = false; // SQLite behind the driver

  protected:
    std::string TypeName(rdxc::SqlType type) const override;
    std::string Numeric(uint32_t precision, uint32_t scale) const override;

  private:
    TypeNamer namer_;
};

} // namespace rdodbc
