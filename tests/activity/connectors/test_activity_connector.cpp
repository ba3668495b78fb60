// SPDX-License-Identifier: Apache-2.0
// Activity connectors for the activity tests, one library per variant: the
// compile definitions choose the kind, the interface version, what
// RDXIdentify returns and which entry points exist.
#include "rdx_connector.h"

#include <cstdlib>

#ifndef TEST_KIND
#define TEST_KIND RDX_KIND_ACTIVITY
#endif
#ifndef TEST_VERSION
#define TEST_VERSION RDX_INTERFACE_VERSION
#endif
#ifndef TEST_IDENTIFY_STATUS
#define TEST_IDENTIFY_STATUS 0
#endif

namespace {

// Numbers 1-6 without bit 16, built-in names, and one own name over a
// built-in number.
const PropertyDeclaration kDeclarations[] = {
    {1, 1, 0x11, "Count", 5},    {2, 6, 0, "Title", 5},       {3, 2, 0, "Ratio", 5},
    {4, 5, 0, "When", 4},        {5, 3, 0, "Cost", 4},        {6, 4, 0, "Amount", 6},
    {0x10004, 6, 0, nullptr, 0}, {0x30002, 6, 7, nullptr, 0}, {0x10001, 6, 0, "Host", 4},
    {0, 0, 0, nullptr, 0},
};

} // namespace

#ifndef TEST_NO_IDENTIFY
RDX_ENTRY uint32_t RDXIdentify(IdentifyRecord *record) {
    record->version = TEST_VERSION;
    record->kind = TEST_KIND;
    record->nameCharset = 256;
    record->declarations = kDeclarations;
    return TEST_IDENTIFY_STATUS;
}
#endif

#ifndef TEST_NO_LAUNCH
// Returns the number in RDTEST_LAUNCH_STATUS, or 0.
RDX_ENTRY uint32_t RDXLaunch(void) {
    const char *status = std::getenv("RDTEST_LAUNCH_STATUS");
    return status != nullptr ? static_cast<uint32_t>(std::strtoul(status, nullptr, 10)) : 0;
}
#endif
