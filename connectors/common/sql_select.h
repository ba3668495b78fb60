// SPDX-License-Identifier: Apache-2.0
// The text of a SQL connector's select: the one statement of its select
// text, or every column of its table, ordered by OrderBy.
#pragma once

#include "connector_log.h"
#include "list_fields.h"
#include "sql_dialect.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rdxc {

struct SelectSource {
    std::string_view text;    // the select text (property SQL), may be empty
    std::string_view table;   // the table read when the text holds no statement
    std::string_view orderBy; // the OrderBy property
    // Incremental reads: the key column the select is ordered by first and,
    // when hasValue, filtered by (`key OP ?`, op ">" or ">=").
    std::string_view key = {};
    std::string_view op = ">";
    bool hasValue = false;
};

// sql for source in dialect. needTable is asked before the table's own
// select is made and its failure is the status; columns (when given) gets
// the OrderBy columns as named. With a key the select is ordered by it
// first and, when the source has a value, keeps only the rows whose key
// passes it: one parameter, the value.
uint32_t SelectText(const Dialect &dialect, const SelectSource &source, FailureLog &log,
                    const std::function<uint32_t()> &needTable, std::string &sql,
                    std::vector<std::string> *columns = nullptr);

// A column of a select: its name and the field type it is read as.
struct SelectColumn {
    std::string name;
    ColumnType type;
};

// The fields of list for a select of columns columns. A list without
// fields first gets one per column as describe gives them; a list of
// another width is refused.
uint32_t SelectFields(uint32_t list, size_t columns,
                      const std::function<std::vector<SelectColumn>()> &describe, FailureLog &log,
                      std::vector<ListField> &fields);

// SelectFields for the columns of a file, each with its name and type.
template <class Column>
uint32_t SelectFileFields(uint32_t list, const std::vector<Column> &columns, FailureLog &log,
                          std::vector<ListField> &fields) {
    const auto describe = [&] {
        std::vector<SelectColumn> described;
        for (const Column &column : columns)
            described.push_back({column.name, column.type});
        return described;
    };
    return SelectFields(list, columns.size(), describe, log, fields);
}

} // namespace rdxc
