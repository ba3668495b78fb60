// One property value of a job file: from TOML into a description item and
// back.
#pragma once

#include "items.h"

#include <string>
#include <toml++/toml.h>

namespace rdcsm {

// The item of a TOML value; false with error (what is wrong with it). type
// is the declared type, 0 when any is accepted.
bool ItemOfValue(const toml::node &value, uint32_t number, uint32_t type, Item &item,
                 std::string &error);

// The TOML value that ItemOfValue reads back as item.
void InsertValue(toml::table &table, const std::string &key, const Item &item);

} // namespace rdcsm
