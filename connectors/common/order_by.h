// SPDX-License-Identifier: Apache-2.0
// The OrderBy property of SQL sources: column names that a select is
// ordered by, so that it returns the same records in the same order when it
// runs again.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rdxc {

// Splits text at commas into names without their surrounding blanks. False,
// with error set, for an empty name or one holding a control character.
bool ParseOrderBy(std::string_view text, std::vector<std::string> &names, std::string &error);

// Whether name is a plain identifier (a letter or '_', then letters, digits
// and '_'): what may stand unquoted in SQL.
bool IsPlainName(std::string_view name);

// select ordered by the columns (quoted already). A select text is wrapped as
// a subquery, its trailing semicolons dropped and line ends around it so that
// a comment on its last line ends there; a table's own select
// (isText false) gets the ORDER BY directly. A filter (a condition) comes
// before the ORDER BY as its WHERE.
std::string OrderedSelect(std::string_view select, bool isText,
                          const std::vector<std::string> &quotedColumns,
                          std::string_view filter = {});

} // namespace rdxc
