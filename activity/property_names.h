// SPDX-License-Identifier: Apache-2.0
// Names of numbered properties: the built-in tables, the declarations of a
// connector's identify record, and the added properties.
#pragma once

#include "activity/activity_state.h"
#include "rdx_connector.h"

#include <cstdint>
#include <string_view>

namespace rdx {

// Bits of a property number.
constexpr uint32_t kBuiltInNameBit = 0x10000;
constexpr uint32_t kActivityTableBit = 0x20000;

// The built-in name of number (bit 16 set, bit 17 choosing the table), or
// an empty view when it has none.
std::string_view BuiltInPropertyName(uint32_t number);

// The declaration of record whose number equals number in all 32 bits, or
// null (also for a null record).
const PropertyDeclaration *FindDeclaration(const IdentifyRecord *record, uint32_t number);

// The declaration at position index of record's table, or null past its end.
const PropertyDeclaration *DeclarationAt(const IdentifyRecord *record, uint32_t index);

// Sets name to the declaration's name: its own text in the record's
// character set, else its built-in name in the native set. Without either
// the name is released and false returned.
bool DeclarationName(const IdentifyRecord &record, const PropertyDeclaration &declaration,
                     RDStream *name, uint32_t *status);

// The added property of number, or null.
AddedProperty *FindAddedProperty(uint32_t number);

} // namespace rdx
