// SPDX-License-Identifier: Apache-2.0
// PostgreSQL's dialect: "names", $N parameters, IS NOT DISTINCT FROM for
// keys, and how the server reads strings (standard_conforming_strings).
#pragma once

#include "sql_dialect.h"

namespace rdpg {

class Dialect : public rdxc::Dialect {
  public:
    // standardStrings: the server's strings take no backslash escapes.
    explicit Dialect(bool standardStrings = true)
        : reading_(rdxc::PostgresDialect(standardStrings)) {}
    std::string Marker(size_t number) const override;
    std::string_view NullSafeEquals() const override { return " IS NOT DISTINCT FROM "; }
    // TRUNCATE is transactional here and frees the table's pages at once.
    std::string EmptyTable(std::string_view table) const override {
        return "TRUNCATE TABLE " + Quote(table);
    }
    std::span<const rdxc::SqlDialect> Readings() const override { return {&reading_, 1}; }

  protected:
    std::string TypeName(rdxc::SqlType type) const override;
    std::string Numeric(uint32_t precision, uint32_t scale) const override;

  private:
    rdxc::SqlDialect reading_;
};

inline const Dialect kDialect;

} // namespace rdpg
