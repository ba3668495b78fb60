// SPDX-License-Identifier: Apache-2.0
// Builds the select of a SQL connector.
#include "sql_select.h"

#include "order_by.h"
#include "rdx_status.h"

namespace rdxc {

uint32_t SelectText(const Dialect &dialect, const SelectSource &source, FailureLog &log,
                    const std::function<uint32_t()> &needTable, std::string &sql,
                    std::vector<std::string> *columns) {
    std::string error;
    if (!SelectStatement(source.text, dialect.Readings(), sql, error)) return log.Fail(error);
    if (sql.empty()) {
        if (uint32_t status = needTable(); status != RDSTATUS_OK) return status;
        sql = dialect.SelectAll(source.table);
    }
    std::vector<std::string> names;
    if (columns != nullptr) columns->clear();
    if (source.orderBy.empty() && source.key.empty()) return RDSTATUS_OK;
    if (!source.orderBy.empty() && !ParseOrderBy(source.orderBy, names, error))
        return log.Fail(error);
    std::vector<std::string> quoted;
    if (!source.key.empty()) {
        quoted.push_back(dialect.OrderColumn(source.key, error));
        if (!error.empty()) return log.Fail("the incremental key: " + error);
    }
    for (const std::string &name : names) {
        quoted.push_back(dialect.OrderColumn(name, error));
        if (!error.empty()) return log.Fail(error);
    }
    const std::string filter =
        source.hasValue ? quoted.front() + " " + std::string(source.op) + " " + dialect.Marker(1)
                        : std::string();
    sql = OrderedSelect(sql, !source.text.empty(), quoted, filter);
    if (columns != nullptr) *columns = std::move(names);
    return RDSTATUS_OK;
}

uint32_t SelectFields(uint32_t list, size_t columns,
                      const std::function<std::vector<SelectColumn>()> &describe, FailureLog &log,
                      std::vector<ListField> &fields) {
    if (uint32_t status = ListFieldsOf(list, fields); status != RDSTATUS_OK) return status;
    if (fields.empty()) {
        for (const SelectColumn &column : describe()) {
            uint32_t field = 0;
            if (uint32_t status = AppendListField(list, column.name, column.type, &field);
                status != RDSTATUS_OK)
                return status;
        }
        if (uint32_t status = ListFieldsOf(list, fields); status != RDSTATUS_OK) return status;
    }
    if (fields.size() != columns)
        return log.Fail("the field list has " + std::to_string(fields.size()) +
                        " fields, the select " + std::to_string(columns) + " columns");
    return RDSTATUS_OK;
}

} // namespace rdxc
