// SPDX-License-Identifier: Apache-2.0
// The visible fields of a field list as a connector works on them: handle,
// type and name (UTF-8), by position.
#pragma once

#include "connector_log.h"
#include "value_text.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rdxc {

struct ListField {
    uint32_t field = 0;
    uint32_t type = 0;
    std::string name;
};

uint32_t ListFieldsOf(uint32_t list, std::vector<ListField> &out);
// Whether list holds fields of the names and types of `fields`, in their
// order; when it does, `fields` takes the list's own field handles. A target
// keeps what it prepared for one list when a copy hands it the next batch in
// a second list of the same fields.
bool TakeSameFields(uint32_t list, std::vector<ListField> &fields);

// Appends a field named name of the column type to list.
uint32_t AppendListField(uint32_t list, std::string_view name, const ColumnType &type,
                         uint32_t *field);

// A name as failure texts show it: at most 40 bytes, cut at a character
// boundary and followed by "..." when longer (a name may be megabytes).
std::string ShownName(std::string_view name);

// The catalog of a file's columns, each a name and its type's text, into
// list: two text fields (appended as Name and Type to a list without
// fields), one record a column as far as the list holds; *count the
// columns' count.
uint32_t FillColumnCatalog(uint32_t list,
                           const std::vector<std::pair<std::string, std::string>> &columns,
                           FailureLog &log, uint32_t *count);

} // namespace rdxc
