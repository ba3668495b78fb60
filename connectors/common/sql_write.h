// SPDX-License-Identifier: Apache-2.0
// The keyed writes of a SQL table: UPDATE and DELETE statements that find
// their rows by key columns.
#pragma once

#include "connector_log.h"
#include "list_fields.h"
#include "sql_dialect.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rdxc {

// The indexes into fields of the key columns names (letters compared
// without case), the first field of each name; a name that is no field is
// logged and refused.
uint32_t KeyFields(const std::vector<ListField> &fields, const std::vector<std::string> &names,
                   FailureLog &log, std::vector<size_t> &keys);

// The key fields of a write to table: those names gives (the Keys
// property) or, when it gives none and primaryKey is set, the table's
// primary key columns as primaryKey finds them (its failure is the
// status); a table without one is refused.
uint32_t WriteKeys(const std::vector<ListField> &fields, std::vector<std::string> names,
                   std::string_view table,
                   const std::function<uint32_t(std::vector<std::string> &)> &primaryKey,
                   FailureLog &log, std::vector<size_t> &keys);

// The UPDATE (update true) or DELETE of table for the fields, keyed by keys
// (indexes into fields). parameter(i) is called in the order the
// statement's parameters stand and gives the marker of field i. Empty for
// an update of key fields only.
std::string KeyedWrite(const Dialect &dialect, bool update, std::string_view table,
                       const std::vector<ListField> &fields, const std::vector<size_t> &keys,
                       const std::function<std::string(size_t)> &parameter);

// The column names of a comma-separated list (Keys, Key), spaces around
// each dropped, empty names left out.
std::vector<std::string> KeyNames(std::string_view text);

// Whether a and b name the same columns, in any order, letters compared
// without case.
bool SameColumns(const std::vector<std::string> &a, const std::vector<std::string> &b);

// Refuses an upsert into table, which has no primary key or unique index
// on exactly the key columns: the target's fault, not a record's.
uint32_t NoUniqueKey(std::string_view table, const std::vector<std::string> &key, FailureLog &log);

// A record fault for the first of records first..first+count-1 whose key
// field (keys: indexes into fields) is null; RDSTATUS_OK when none is.
uint32_t NullKey(const std::vector<ListField> &fields, const std::vector<size_t> &keys,
                 uint32_t first, uint32_t count, FailureLog &log);

// DELETE FROM table WHERE k = marker AND ... for the key columns, their
// markers from parameter(i) in order (the delete of a delete-insert, whose
// keys are never null).
std::string KeyDelete(const Dialect &dialect, std::string_view table,
                      const std::vector<std::string> &key,
                      const std::function<std::string(size_t)> &parameter);

} // namespace rdxc
