// SPDX-License-Identifier: Apache-2.0
// The answer of a catalog call: a field list given the catalog's layout
// (when it has no fields yet) and filled with its rows.
#pragma once

#include "connector_log.h"

#include "rdx_field.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace rdxc {

// The object kinds of a catalog call: schemas, tables (and views), columns.
inline constexpr uint32_t kKindSchema = 2, kKindTable = 3, kKindColumns = 5;

// The catalog's columns: name and field type.
using CatalogLayout = std::vector<std::pair<std::string, uint32_t>>;
// The text of a row's column (both from 0); null for a null value.
using CatalogCell = std::function<const char *(size_t row, size_t column)>;

// The layouts of the table and column catalogs of a database without
// schemas: a table's name and kind; a column's table, name, declared type,
// field type, NOT NULL (1/0) and position in the primary key (0: none).
inline const CatalogLayout kTableCatalog = {{"Name", RDTYPE_TEXT}, {"Kind", RDTYPE_TEXT}};
inline const CatalogLayout kColumnCatalog = {{"Table", RDTYPE_TEXT},    {"Column", RDTYPE_TEXT},
                                             {"Declared", RDTYPE_TEXT}, {"FieldType", RDTYPE_INT},
                                             {"NotNull", RDTYPE_INT},   {"Key", RDTYPE_INT}};

// Gives an empty list the layout, checks a list with fields against it
// (and the answer's width, columns), and fills as many of the rows as the
// list holds; count is every row.
uint32_t FillCatalog(uint32_t list, const CatalogLayout &layout, size_t rows, size_t columns,
                     const CatalogCell &cell, FailureLog &log, uint32_t *count);
// The same for rows read as texts (null as empty).
uint32_t FillCatalog(uint32_t list, const CatalogLayout &layout,
                     const std::vector<std::vector<std::string>> &rows, FailureLog &log,
                     uint32_t *count);

} // namespace rdxc
