// SPDX-License-Identifier: Apache-2.0
// The built-in property names and the connector-declared ones.
#include "names.h"

#include "rdplat_library.h"
#include "rdx_connector.h"
#include "secret_mask.h"

#include <array>
#include <charconv>
#include <cstring>
#include <map>
#include <strings.h>

namespace rdcsm {

namespace {

constexpr uint32_t kConnectionBase = 0x10000, kActivityBase = 0x30000;
constexpr uint32_t kTextType = 6;

constexpr std::array<std::string_view, 16> kConnectionNames = {
    "",           "Server",    "Database",  "Userid",    "Password",  "Metadata",
    "Index",      "MapByName", "Writeback", "FieldList", "OrderList", "Condition",
    "StampField", "BaseStamp", "MaxStamp",  "TextFormat"};

constexpr std::array<std::string_view, 7> kActivityNames = {
    "", "", "Link", "Option", "Name", "LinkCode", "ConnectCode"};

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool HasWord(std::string_view name, std::string_view word) {
    for (std::size_t at = 0; at + word.size() <= name.size(); ++at)
        if (SameName(name.substr(at, word.size()), word)) return true;
    return false;
}

} // namespace

std::string_view BuiltInName(uint32_t number) {
    const uint32_t index = number & 0xFFFF;
    switch (number & 0xFFFF0000u) {
    case kConnectionBase:
        return index < kConnectionNames.size() ? kConnectionNames[index] : "";
    case kActivityBase:
        return index < kActivityNames.size() ? kActivityNames[index] : "";
    default:
        return "";
    }
}

std::optional<uint32_t> BuiltInNumber(std::string_view name) {
    if (name.empty()) return std::nullopt;
    for (uint32_t i = 0; i < kConnectionNames.size(); ++i)
        if (SameName(name, kConnectionNames[i])) return kConnectionBase + i;
    for (uint32_t i = 0; i < kActivityNames.size(); ++i)
        if (SameName(name, kActivityNames[i])) return kActivityBase + i;
    return std::nullopt;
}

namespace {

// The declarations of a loaded connector, read within a bound so that a
// table without its ending entry cannot run away.
std::optional<ConnectorFacts> Identify(RDLibHandle library) {
    auto identify = reinterpret_cast<RDXIdentifyProc>(RDLibraryLoadProc(library, "RDXIdentify", 0));
    if (identify == nullptr) return std::nullopt;
    IdentifyRecord record{};
    if (identify(&record) != 0) return std::nullopt;
    ConnectorFacts facts{record.kind, {}};
    std::vector<NamedProperty> &declared = facts.declared;
    constexpr std::size_t kMostDeclarations = 65536;
    for (std::size_t i = 0; record.declarations != nullptr && i < kMostDeclarations; ++i) {
        const PropertyDeclaration &declaration = record.declarations[i];
        if (declaration.number == 0) break;
        std::string name;
        if (declaration.name != nullptr && declaration.nameLength != 0)
            name.assign(declaration.name, strnlen(declaration.name, declaration.nameLength));
        else if ((declaration.number & 0x10000u) != 0)
            name = BuiltInName(declaration.number);
        if (!name.empty())
            declared.push_back(
                {declaration.number, declaration.type, name, declaration.attributes});
    }
    return facts;
}

} // namespace

std::optional<std::vector<NamedProperty>> DeclaredProperties(const std::string &connector) {
    auto facts = IdentifyConnector(connector);
    if (!facts) return std::nullopt;
    return facts->declared;
}

std::optional<ConnectorFacts> IdentifyConnector(const std::string &connector) {
    // A NUL would end the library's name early and load another connector.
    if (connector.find('\0') != std::string::npos) return std::nullopt;
    static std::map<std::string, std::optional<ConnectorFacts>> known;
    auto found = known.find(connector);
    if (found != known.end()) return found->second;
    std::optional<ConnectorFacts> declared;
    if (RDLibHandle library = RDLibraryLoad(connector.c_str(), RDLIBRARY_CONNECTOR)) {
        declared = Identify(library);
        RDLibraryFree(library);
    }
    known.emplace(connector, declared);
    return declared;
}

std::vector<NamedProperty> ConnectorDeclarations(const std::vector<Item> &items) {
    for (const Item &item : items)
        if (item.number == kConnectorNumber && item.type == kTextType && item.value.size() > 1)
            return DeclaredProperties(item.value.substr(0, item.value.size() - 1))
                .value_or(std::vector<NamedProperty>{});
    return {};
}

std::optional<uint32_t> NumberKey(std::string_view key) {
    int base = 10;
    if (key.size() > 2 && key[0] == '0' && (key[1] == 'x' || key[1] == 'X')) {
        key.remove_prefix(2);
        base = 16;
    }
    uint32_t number = 0;
    auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), number, base);
    if (ec != std::errc() || end != key.data() + key.size() || number == 0) return std::nullopt;
    return number;
}

std::optional<NamedProperty> PropertyOfKey(std::string_view key,
                                           const std::vector<NamedProperty> &declared) {
    if (auto number = NumberKey(key)) return NamedProperty{*number, 0, std::string(key), 0};
    if (key == kConnectorKey)
        return NamedProperty{kConnectorNumber, kTextType, std::string(key), 0};
    for (const NamedProperty &property : declared)
        if (property.name == key) return property;
    // A connector's own name in another case is still its own: the built-in
    // property of that name is one the connector does not read.
    for (const NamedProperty &property : declared)
        if (SameName(property.name, key)) return property;
    if (auto number = BuiltInNumber(key)) return NamedProperty{*number, 0, std::string(key), 0};
    return std::nullopt;
}

std::string PropertyName(const Item &item, const std::vector<NamedProperty> &declared) {
    if (item.number == kConnectorNumber && item.type == kTextType)
        return std::string(kConnectorKey);
    for (const NamedProperty &property : declared)
        if (property.number == item.number && (property.type == 0 || property.type == item.type))
            return property.name;
    return std::string(BuiltInName(item.number));
}

bool IsSecretProperty(const Item &item, const std::vector<NamedProperty> &declared) {
    auto secret = [](std::string_view name) {
        return rdxc::IsSecretName(name) || HasWord(name, "secret");
    };
    if (item.number == kPasswordNumber || secret(PropertyName(item, declared))) return true;
    // A declared password stays one when the stored value has another type.
    for (const NamedProperty &property : declared)
        if (property.number == item.number && secret(property.name)) return true;
    return false;
}

} // namespace rdcsm
