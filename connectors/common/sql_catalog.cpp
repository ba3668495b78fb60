// SPDX-License-Identifier: Apache-2.0
// Fills a field list with the rows of a catalog.
#include "sql_catalog.h"

#include "list_fields.h"
#include "rdx_field.h"
#include "rdx_fieldlist.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"
#include "value_text.h"

namespace rdxc {

namespace {

uint32_t LayOut(uint32_t list, const CatalogLayout &layout, std::vector<ListField> &fields) {
    if (uint32_t status = ListFieldsOf(list, fields); status != RDSTATUS_OK) return status;
    if (!fields.empty()) return RDSTATUS_OK;
    for (const auto &[name, type] : layout) {
        uint32_t field = 0;
        if (uint32_t status = AppendListField(list, name, {type, 0, 0}, &field);
            status != RDSTATUS_OK)
            return status;
    }
    return ListFieldsOf(list, fields);
}

} // namespace

uint32_t FillCatalog(uint32_t list, const CatalogLayout &layout, size_t rows, size_t columns,
                     const CatalogCell &cell, FailureLog &log, uint32_t *count) {
    std::vector<ListField> fields;
    if (uint32_t status = LayOut(list, layout, fields); status != RDSTATUS_OK) return status;
    if (fields.size() != layout.size() || columns != layout.size())
        return log.Fail("the catalog fills " + std::to_string(layout.size()) + " fields");
    const size_t capacity = RDFieldlistGetRecordCount(list);
    for (size_t r = 0; r < rows && r < capacity; ++r) {
        const uint32_t index = static_cast<uint32_t>(r + 1);
        for (size_t f = 0; f < fields.size(); ++f) {
            const char *text = cell(r, f);
            const uint32_t status = text == nullptr
                                        ? RDFieldSetNull(fields[f].field, index, 1)
                                        : TextToValue(fields[f].field, fields[f].type, index, text);
            if (status != RDSTATUS_OK) return status;
        }
    }
    *count = static_cast<uint32_t>(rows);
    return RDSTATUS_OK;
}

uint32_t FillCatalog(uint32_t list, const CatalogLayout &layout,
                     const std::vector<std::vector<std::string>> &rows, FailureLog &log,
                     uint32_t *count) {
    auto cell = [&](size_t r, size_t f) { return f < rows[r].size() ? rows[r][f].c_str() : ""; };
    return FillCatalog(list, layout, rows.size(), layout.size(), cell, log, count);
}

} // namespace rdxc
