// Builds the keyed writes.
#include "sql_write.h"

#include "property_value.h"
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

} // namespace rdxc
