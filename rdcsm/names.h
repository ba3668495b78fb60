// SPDX-License-Identifier: Apache-2.0
// Property names: the built-in names of the connection and activity tables,
// the names a connector declares for its own numbers, which of them hold
// secrets, and how a job-file key reads as a property.
#pragma once

#include "items.h"

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
    uint32_t attributes; // as declared; 0 for a number or a built-in name
};

// What a connector's identify record tells: its kind (RDX_KIND_ACTIVITY or
// RDX_KIND_LINK) and its named declarations.
struct ConnectorFacts {
    uint32_t kind;
    std::vector<NamedProperty> declared;
};

// The property that names an activity's or link's connector, and its key.
inline constexpr uint32_t kConnectorNumber = 0x30001;
inline constexpr std::string_view kConnectorKey = "connector";
// The built-in password property of links.
inline constexpr uint32_t kPasswordNumber = 0x10004;

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
// The same with the connector's kind.
std::optional<ConnectorFacts> IdentifyConnector(const std::string &connector);

// The declarations of the connector that the items name (a text item
// 0x30001); none when they name none or it cannot be loaded.
std::vector<NamedProperty> ConnectorDeclarations(const std::vector<Item> &items);

// A number written as a key: decimal, or hex with 0x; not 0.
std::optional<uint32_t> NumberKey(std::string_view key);

// The number and declared type of a job-file key: a number, "connector",
// a declared name (as written, else in any letter case), or a built-in
// name (in any letter case), in that order.
std::optional<NamedProperty> PropertyOfKey(std::string_view key,
                                           const std::vector<NamedProperty> &declared);

// The name an item is shown by: "connector", the connector's declared name,
// else the built-in one; empty when it has none.
std::string PropertyName(const Item &item, const std::vector<NamedProperty> &declared);

// Whether the item holds a secret as a whole: the built-in password, or a
// property whose name says password, passwd, PWD or secret.
bool IsSecretProperty(const Item &item, const std::vector<NamedProperty> &declared);

} // namespace rdcsm
