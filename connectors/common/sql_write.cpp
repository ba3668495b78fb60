// Builds the keyed writes.
#include "sql_write.h"

#include <algorithm>

namespace rdxc {

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
