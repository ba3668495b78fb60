// SPDX-License-Identifier: Apache-2.0
// A connector's property declarations put together from groups: its own,
// then the ones the kit's pieces answer (marks, selects, value rules), in
// the order the library lists them. The table ends with the zero entry.
#pragma once

#include "connector_actions.h"
#include "connector_records.h"
#include "connector_resume.h"
#include "connector_values.h"
#include "property_value.h"
#include "rdx_connector.h"
#include "rdx_field.h"

#include <array>
#include <cstddef>

namespace rdxc {

// The groups one after the other, then the zero entry.
template <size_t... N>
constexpr std::array<PropertyDeclaration, (N + ... + 1)>
JoinDeclarations(const PropertyDeclaration (&...groups)[N]) {
    std::array<PropertyDeclaration, (N + ... + 1)> all{};
    size_t next = 0;
    (
        [&] {
            for (const PropertyDeclaration &declaration : groups)
                all[next++] = declaration;
        }(),
        ...);
    all[next] = PropertyDeclaration{0, 0, 0, nullptr, 0};
    return all;
}

// A text property that names a link (the library checks that it exists).
constexpr PropertyDeclaration DeclareLinkName(uint32_t number, const char *name) {
    PropertyDeclaration declaration = Declare(number, RDTYPE_TEXT, name);
    declaration.attributes = RDX_ATTRIBUTE_LINKNAME;
    return declaration;
}

// The number the link connectors give the text of their last failure.
inline constexpr uint32_t kLastError = 10;
inline constexpr PropertyDeclaration kLastErrorDeclarations[] = {
    Declare(kLastError, RDTYPE_TEXT, "LastError"),
};
// The copy's mark (connector_resume.h).
inline constexpr PropertyDeclaration kMarkDeclarations[] = {
    Declare(kMarkName, RDTYPE_TEXT, "MarkName"),
    Declare(kMark, RDTYPE_TEXT, "Mark"),
};
// A SQL select's order and the connection's identity.
inline constexpr PropertyDeclaration kSelectDeclarations[] = {
    Declare(kOrderBy, RDTYPE_TEXT, "OrderBy"),
    Declare(kIdentity, RDTYPE_TEXT, "Identity"),
};
// The value rules (connector_values.h).
inline constexpr PropertyDeclaration kValueDeclarations[] = {
    Declare(kRounding, RDTYPE_TEXT, "Rounding"),
    Declare(kDatetimeFormat, RDTYPE_TEXT, "DatetimeFormat"),
};

} // namespace rdxc
