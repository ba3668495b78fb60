// SPDX-License-Identifier: Apache-2.0
// The entry points of an activity connector whose class A has, all static:
// kDeclarations (its property declarations, ended by the zero entry),
// kNameCharset (the character set of their names), Launch(), and, when the
// activity judges property values before a job is stored,
// CheckProperty(number, field). The entry file writes, once:
//     RDXC_ACTIVITY_CONNECTOR(myactivity::Activity)
#pragma once

#include "rdx_connector.h"
#include "rdx_status.h"

#include <cstdint>
#include <iterator>

namespace rdxc {

template <class A> uint32_t IdentifyActivity(IdentifyRecord *record) {
    record->version = RDX_INTERFACE_VERSION;
    record->kind = RDX_KIND_ACTIVITY;
    record->nameCharset = A::kNameCharset;
    record->declarations = std::data(A::kDeclarations);
    return RDSTATUS_OK;
}

// A property value the activity has no rules for is good.
template <class A> uint32_t CheckActivityProperty(uint32_t number, uint32_t field) {
    if constexpr (requires { A::CheckProperty(number, field); })
        return A::CheckProperty(number, field);
    else
        return RDSTATUS_OK;
}

} // namespace rdxc

#define RDXC_ACTIVITY_CONNECTOR(A)                                                                 \
    RDX_ENTRY uint32_t RDXIdentify(IdentifyRecord *record) {                                       \
        return rdxc::IdentifyActivity<A>(record);                                                  \
    }                                                                                              \
    RDX_ENTRY uint32_t RDXLaunch(void) {                                                           \
        return A::Launch();                                                                        \
    }                                                                                              \
    RDX_ENTRY uint32_t RDXCheckProperty(uint32_t number, uint32_t field) {                         \
        return rdxc::CheckActivityProperty<A>(number, field);                                      \
    }
