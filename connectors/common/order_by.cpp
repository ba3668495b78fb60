// SPDX-License-Identifier: Apache-2.0
#include "order_by.h"

#include <algorithm>

namespace rdxc {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

bool ParseOrderBy(std::string_view text, std::vector<std::string> &names, std::string &error) {
    names.clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view name = Trim(text.substr(start, comma - start));
        if (name.empty()) {
            error = "OrderBy names an empty column (entry " + std::to_string(names.size() + 1) +
                    " of \"" + std::string(text) + "\")";
            return false;
        }
        for (char c : name) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                error = "OrderBy column " + std::to_string(names.size() + 1) +
                        " holds a control character";
                return false;
            }
        }
        names.emplace_back(name);
        if (comma == text.size()) return true;
        start = comma + 1;
    }
}

bool IsPlainName(std::string_view name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
    for (char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '_') return false;
    }
    return true;
}

std::string OrderedSelect(std::string_view select, bool isText,
                          const std::vector<std::string> &quotedColumns, std::string_view filter) {
    std::string columns;
    for (const std::string &column : quotedColumns)
        columns += (columns.empty() ? "" : ", ") + column;
    const std::string where = filter.empty() ? "" : " WHERE " + std::string(filter);
    if (!isText) return std::string(select) + where + " ORDER BY " + columns;
    select = Trim(select);
    while (!select.empty() && (select.back() == ';' || IsBlank(select.back())))
        select.remove_suffix(1);
    return "SELECT * FROM (\n" + std::string(select) + "\n) rdx_ordered" + where + " ORDER BY " +
           columns;
}

} // namespace rdxc
