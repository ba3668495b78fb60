// Built-in property names and declared names.
#include "connect/property_names.h"

#include "rdx_status.h"

#include <array>

namespace rdx {

namespace {

constexpr std::array<std::string_view, 16> kConnectionNames = {
    "",           "Server",    "Database",  "Userid",     "Password",  "Metadata",
    "Index",      "MapByName", "Writeback", "FieldList",  "OrderList", "Condition",
    "StampField", "BaseStamp", "MaxStamp",  "TextFormat",
};

constexpr std::array<std::string_view, 7> kActivityNames = {
    "", "", "Link", "Option", "Name", "LinkCode", "ConnectCode",
};

} // namespace

std::string_view BuiltInPropertyName(uint32_t number) {
    if ((number & 0x10000) == 0) return {};
    const uint32_t index = number & 0xFFFF;
    if ((number & 0x20000) != 0) return index < kActivityNames.size() ? kActivityNames[index] : "";
    return index < kConnectionNames.size() ? kConnectionNames[index] : "";
}

uint32_t DeclarationName(const PropertyDeclaration &declaration, uint32_t charset, RDStream *out) {
    // A null name with a length counts as no name.
    if (declaration.nameLength != 0 && declaration.name != nullptr)
        return RDStreamDataSet(out, charset, declaration.name, declaration.nameLength);
    const std::string_view builtIn = BuiltInPropertyName(declaration.number);
    if (builtIn.empty()) {
        RDStreamDataFree(out);
        return RDSTATUS_OK;
    }
    return RDStreamDataSet(out, RDCHARSET_DEFAULT, builtIn.data(),
                           static_cast<uint32_t>(builtIn.size()));
}

} // namespace rdx
