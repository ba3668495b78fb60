// The built-in property names and the connector-declared ones.
#include "names.h"

#include "rdplat_library.h"
#include "rdx_connector.h"

#include <array>
#include <cstring>
#include <map>
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

namespace {

// The declarations of a loaded connector, read within a bound so that a
// table without its ending entry cannot run away.
std::optional<std::vector<NamedProperty>> Identify(RDLibHandle library) {
    auto identify = reinterpret_cast<RDXIdentifyProc>(RDLibraryLoadProc(library, "RDXIdentify", 0));
    if (identify == nullptr) return std::nullopt;
    IdentifyRecord record{};
    if (identify(&record) != 0) return std::nullopt;
    std::vector<NamedProperty> declared;
    constexpr std::size_t kMostDeclarations = 65536;
    for (std::size_t i = 0; record.declarations != nullptr && i < kMostDeclarations; ++i) {
        const PropertyDeclaration &declaration = record.declarations[i];
        if (declaration.number == 0) break;
        std::string name;
        if (declaration.name != nullptr && declaration.nameLength != 0)
            name.assign(declaration.name, strnlen(declaration.name, declaration.nameLength));
        else if ((declaration.number & 0x10000u) != 0)
            name = BuiltInName(declaration.number);
        if (!name.empty()) declared.push_back({declaration.number, declaration.type, name});
    }
    return declared;
}

} // namespace

std::optional<std::vector<NamedProperty>> DeclaredProperties(const std::string &connector) {
    static std::map<std::string, std::optional<std::vector<NamedProperty>>> known;
    auto found = known.find(connector);
    if (found != known.end()) return found->second;
    std::optional<std::vector<NamedProperty>> declared;
    if (RDLibHandle library = RDLibraryLoad(connector.c_str(), RDLIBRARY_CONNECTOR)) {
        declared = Identify(library);
        RDLibraryFree(library);
    }
    known.emplace(connector, declared);
    return declared;
}

} // namespace rdcsm
