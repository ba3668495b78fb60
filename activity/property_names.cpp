// SPDX-License-Identifier: Apache-2.0
// Property names: built-in tables, connector declarations, added properties.
#include "activity/property_names.h"

#include "activity/system_context.h"
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
    if ((number & kBuiltInNameBit) == 0) return {};
    const uint32_t index = number & 0xFFFF;
    if ((number & kActivityTableBit) != 0)
        return index < kActivityNames.size() ? kActivityNames[index] : std::string_view{};
    return index < kConnectionNames.size() ? kConnectionNames[index] : std::string_view{};
}

const PropertyDeclaration *FindDeclaration(const IdentifyRecord *record, uint32_t number) {
    if (record == nullptr || record->declarations == nullptr || number == 0) return nullptr;
    for (const PropertyDeclaration *d = record->declarations; d->number != 0; ++d)
        if (d->number == number) return d;
    return nullptr;
}

const PropertyDeclaration *DeclarationAt(const IdentifyRecord *record, uint32_t index) {
    if (record == nullptr || record->declarations == nullptr) return nullptr;
    for (const PropertyDeclaration *d = record->declarations; d->number != 0; ++d, --index)
        if (index == 0) return d;
    return nullptr;
}

bool DeclarationName(const IdentifyRecord &record, const PropertyDeclaration &declaration,
                     RDStream *name, uint32_t *status) {
    *status = RDSTATUS_OK;
    if (declaration.nameLength != 0 && declaration.name != nullptr) {
        *status =
            RDStreamDataSet(name, record.nameCharset, declaration.name, declaration.nameLength);
        return true;
    }
    const std::string_view builtIn =
        declaration.nameLength == 0 ? BuiltInPropertyName(declaration.number) : std::string_view{};
    if (builtIn.empty()) {
        RDStreamDataFree(name);
        return false;
    }
    *status = RDStreamDataSet(name, RDCHARSET_DEFAULT, builtIn.data(),
                              static_cast<uint32_t>(builtIn.size()));
    return true;
}

AddedProperty *FindAddedProperty(uint32_t number) {
    for (AddedProperty *p = Context()->activity.addedProperties; p != nullptr; p = p->next)
        if (p->number == number) return p;
    return nullptr;
}

} // namespace rdx
