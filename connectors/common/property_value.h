// SPDX-License-Identifier: Apache-2.0
// Property values as the library hands them to RDXSetProperty and asks for
// them in RDXGetProperty: value 1 of a field of any type.
#pragma once

#include "rdx_connector.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace rdxc {

// The number with its qualifier byte dropped: what a connector's table knows.
constexpr uint32_t PropertyIndex(uint32_t number) {
    return number & 0x00FFFFFFu;
}

// A declaration whose name is given, in the interchange set (word 5 = 256).
constexpr PropertyDeclaration Declare(uint32_t number, uint32_t type, const char *name) {
    return PropertyDeclaration{number, type, 0, name,
                               static_cast<uint32_t>(std::char_traits<char>::length(name))};
}

// Value 1 of field as UTF-8 text; a null value gives the empty text.
uint32_t GetText(uint32_t field, std::string &out);
// Value 1 of field as an integer; a null value gives 0.
uint32_t GetInt(uint32_t field, int32_t &out);
// Value 1 of field as yes (1) or no (0): an integer, or a text yes/no,
// true/false, on/off, 1/0. 12803 for other texts.
uint32_t GetFlag(uint32_t field, bool &out);

uint32_t PutText(uint32_t field, std::string_view text);
uint32_t PutInt(uint32_t field, int32_t value);

// Letters compared without case (ASCII).
bool SameWord(std::string_view a, std::string_view b);

} // namespace rdxc
