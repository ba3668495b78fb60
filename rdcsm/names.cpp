// The built-in property names and the connector-declared ones.
#include "names.h"

#include <array>
#include <strings.h>

namespace rdcsm {

namespace {

constexpr uint32_t kConnectionBase = 0x10000, kActivityBase = 0x30000;

constexpr std::array<std::string_view, 16> kConnectionNames = {
    "",           "Server",    "Database",  "Userid",    "Password",  "Metadata",
    "Index",      "MapByName", "Writeback", "FieldList", "OrderList", "Condition",
    "StampField", "BaseStamp", "MaxStamp",  "TextFormat"};

constexpr std::array<std::string_view, 7> kActivityNames = {
    "", "", "Link", "Option", "Name", "LinkCode", "ConnectCode"};

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
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

std::vector<NamedProperty> DeclaredProperties(std::string_view) {
    return {};
}

} // namespace rdcsm
