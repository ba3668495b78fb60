// The built-in property names and the name of a declared property.
#pragma once

#include "rdx_connector.h"
#include "rdx_stream.h"

#include <cstdint>
#include <string_view>

namespace rdx {

// The built-in name of a number with bit 16 set (connection table when bit
// 17 is clear, activity table when set); empty when it has none.
std::string_view BuiltInPropertyName(uint32_t number);

// Stores the declaration's name into out: its own text in charset, or, when
// it gives none and bit 16 of its number is set, the built-in name in the
// native set; otherwise out is released.
uint32_t DeclarationName(const PropertyDeclaration &declaration, uint32_t charset, RDStream *out);

} // namespace rdx
