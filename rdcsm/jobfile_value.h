// SPDX-License-Identifier: Apache-2.0
// One property value of a job file: from TOML into a description item and
// back.
#pragma once

#include "items.h"

#include <string>
#include <toml++/toml.h>

namespace rdcsm {

// The item of a TOML value; false with error (what is wrong with it). type
// is the declared type, 0 when any is accepted. A { withheld = ... } table,
// which export writes in place of a password, is refused.
bool ItemOfValue(const toml::node &value, uint32_t number, uint32_t type, Item &item,
                 std::string &error);

// The item's natural TOML value (an integer, a float, a string, a
// date-time, a currency or rich-text table), or else its bytes form.
void InsertValue(toml::table &table, const std::string &key, const Item &item);
// The bytes form { type, charset, hex }, which reads back as the same item.
void InsertRaw(toml::table &table, const std::string &key, const Item &item);

// The TOML text of those values, as written after "key = ".
std::string NaturalText(const Item &item);
std::string RawText(const Item &item);
// The placeholder of a value left out, holding what may be shown of it.
std::string WithheldText(const std::string &masked);

} // namespace rdcsm
