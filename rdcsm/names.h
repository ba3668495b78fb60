// Property names for job files: the built-in names of the connection and
// activity tables, and the names a connector declares for its own numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rdcsm {

struct NamedProperty {
    uint32_t number;
    uint32_t type; // 0 when any type is accepted
    std::string name;
};

// The built-in name of number (qualifier byte 0, bit 16 set, index within
// its table, name not empty), or empty.
std::string_view BuiltInName(uint32_t number);

// The number of a built-in name (letter case ignored).
std::optional<uint32_t> BuiltInNumber(std::string_view name);

// The properties that the connector of that name (NAME.rdx in the home
// directory) declares in its identify record, with their names (the
// built-in name where the declaration names none); empty when the
// connector cannot be loaded or identified. Each connector is asked once.
std::optional<std::vector<NamedProperty>> DeclaredProperties(const std::string &connector);

} // namespace rdcsm
