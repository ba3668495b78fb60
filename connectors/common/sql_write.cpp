// SPDX-License-Identifier: Apache-2.0
// Builds the keyed writes.
#include "sql_write.h"

#include "property_value.h"
#include "rdx_field.h"
#include "rdx_status.h"

#include <algorithm>

namespace rdxc {

uint32_t KeyFields(const std::vector<ListField> &fields, const std::vector<std::string> &names,
                   FailureLog &log, std::vector<size_t> &keys) {
    keys.clear();
    for (const std::string &name : names) {
        size_t i = 0;
        while (i < fields.size() && !SameWord(fields[i].name, name))
            ++i;
        if (i == fields.size())
            return log.Fail("the key field " + name + " is not in the field list");
        keys.push_back(i);
    }
    return RDSTATUS_OK;
}

uint32_t WriteKeys(const std::vector<ListField> &fields, std::vector<std::string> names,
                   std::string_view table,
                   const std::function<uint32_t(std::vector<std::string> &)> &primaryKey,
                   FailureLog &log, std::vector<size_t> &keys) {
    if (names.empty() && primaryKey) {
        if (uint32_t status = primaryKey(names); status != RDSTATUS_OK) return status;
        if (names.empty())
            return log.Fail("the table " + std::string(table) +
                            " has no primary key: name the key fields (property Keys)");
    }
    return KeyFields(fields, names, log, keys);
}

std::string KeyedWrite(const Dialect &dialect, bool update, std::string_view table,
                       const std::vector<ListField> &fields, const std::vector<size_t> &keys,
                       const std::function<std::string(size_t)> &parameter) {
    std::string set, where;
    if (update) {
        for (size_t i = 0; i < fields.size(); ++i) {
            if (std::find(keys.begin(), keys.end(), i) == keys.end())
                set += (set.empty() ? "" : ", ") + dialect.Quote(fields[i].name) + " = " +
                       parameter(i);
        }
        if (set.empty()) return "";
    }
    for (size_t k : keys)
        where += (where.empty() ? "" : " AND ") + dialect.Quote(fields[k].name) +
                 std::string(dialect.NullSafeEquals()) + parameter(k);
    const std::string quoted = dialect.Quote(table);
    return update ? "UPDATE " + quoted + " SET " + set + " WHERE " + where
                  : "DELETE FROM " + quoted + " WHERE " + where;
}

std::vector<std::string> KeyNames(std::string_view text) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) comma = text.size();
        std::string_view name = text.substr(start, comma - start);
        while (!name.empty() && name.front() == ' ')
            name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ')
            name.remove_suffix(1);
        if (!name.empty()) names.emplace_back(name);
        start = comma + 1;
    }
    return names;
}

bool SameColumns(const std::vector<std::string> &a, const std::vector<std::string> &b) {
    auto covers = [](const std::vector<std::string> &outer, const std::vector<std::string> &inner) {
        return std::all_of(inner.begin(), inner.end(), [&](const std::string &name) {
            return std::any_of(outer.begin(), outer.end(),
                               [&](const std::string &other) { return SameWord(name, other); });
        });
    };
    return a.size() == b.size() && covers(a, b) && covers(b, a);
}

uint32_t NoUniqueKey(std::string_view table, const std::vector<std::string> &key, FailureLog &log) {
    std::string columns;
    for (const std::string &name : key)
        columns += (columns.empty() ? "" : ", ") + name;
    return log.Fail("the table " + std::string(table) +
                    " has no primary key or unique index on exactly its key columns (" + columns +
                    "), so an upsert cannot find the rows to update: create a unique index on (" +
                    columns + "), or use Mode \"delete-insert\"");
}

uint32_t NullKey(const std::vector<ListField> &fields, const std::vector<size_t> &keys,
                 uint32_t first, uint32_t count, FailureLog &log) {
    for (uint32_t r = 0; r < count; ++r) {
        for (size_t k : keys) {
            if (RDFieldIsNull(fields[k].field, first + r) != 0)
                return log.RecordFault("record " + std::to_string(first + r) + ": the key column " +
                                       fields[k].name + " is null; the batch of " +
                                       std::to_string(count) + " records was not written");
        }
    }
    return RDSTATUS_OK;
}

std::string KeyDelete(const Dialect &dialect, std::string_view table,
                      const std::vector<std::string> &key,
                      const std::function<std::string(size_t)> &parameter) {
    std::string where;
    for (size_t k = 0; k < key.size(); ++k)
        where += (where.empty() ? "" : " AND ") + dialect.Quote(key[k]) + " = " + parameter(k);
    return "DELETE FROM " + dialect.Quote(table) + " WHERE " + where;
}

} // namespace rdxc
