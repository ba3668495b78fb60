// SPDX-License-Identifier: Apache-2.0
// SQLite's dialect: "names", `names` in OrderBy, numbered ?N parameters
// and the declared types of sqlite_types.h.
#pragma once

#include "sql_dialect.h"

namespace rdsqlite {

class Dialect : public rdxc::Dialect {
  public:
    std::string OrderColumn(std::string_view name, std::string &error) const override;
    std::string Marker(size_t number) const override;
    std::span<const rdxc::SqlDialect> Readings() const override;

  protected:
    std::string TypeName(rdxc::SqlType type) const override;
    std::string Numeric(uint32_t precision, uint32_t scale) const override;
};

inline const Dialect kDialect;

} // namespace rdsqlite
