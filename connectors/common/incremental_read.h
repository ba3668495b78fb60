// SPDX-License-Identifier: Apache-2.0
// The incremental read properties of a source (IncrementalKey,
// IncrementalFrom, IncrementalOp; see connector_incremental.h), kept and
// answered the same way by every connector that reads incrementally.
#pragma once

#include "connector_incremental.h"
#include "connector_log.h"
#include "property_value.h"
#include "rdx_field.h"

#include <cstdint>
#include <string>

namespace rdxc {

inline constexpr PropertyDeclaration kIncrementalDeclarations[] = {
    Declare(kIncrementalKey, RDTYPE_TEXT, "IncrementalKey"),
    Declare(kIncrementalFrom, RDTYPE_TEXT, "IncrementalFrom"),
    Declare(kIncrementalOp, RDTYPE_TEXT, "IncrementalOp"),
};

struct IncrementalRead {
    std::string key, from, op = ">";

    // Whether index (a property number without its qualifier) is one of them.
    static bool Handles(uint32_t index);
    // Sets one; an operator other than ">" or ">=" is refused.
    uint32_t SetProperty(uint32_t index, uint32_t field, FailureLog &log);
    uint32_t GetProperty(uint32_t index, uint32_t field) const;
    // Whether the select is filtered: a key and a value are given.
    bool Filters() const { return !key.empty() && !from.empty(); }
    bool OrEqual() const { return op == ">="; }
};

} // namespace rdxc
