// SPDX-License-Identifier: Apache-2.0
// Test connector: two entries, reachable by name and through the ordinal
// table, and a way to ask which file the loader actually loaded.
#include "rdplat_library.h"
#include "rdplat_mem.h"

#include <dlfcn.h>

extern "C" {

RD_EXPORT int TestConnectorAnswer(void) {
    return 42;
}

// The path of the file this library was loaded from.
RD_EXPORT const char *TestConnectorPath(void) {
    Dl_info info;
    if (dladdr(reinterpret_cast<void *>(&TestConnectorPath), &info) == 0) return "";
    return info.dli_fname;
}

// Uses rdplat, so that the connector depends on it.
RD_EXPORT void TestConnectorTouchHeap(void) {
    RDMemFree(RDMemAlloc(1));
}

RD_EXPORT extern const RDLibraryOrdinal RDLibraryOrdinals[];
const RDLibraryOrdinal RDLibraryOrdinals[] = {
    {1, "TestConnectorAnswer"},
    {5, "TestConnectorPath"},
    {7, "NotDefinedHere"},
    {9, "RDMemAlloc"}, // defined by rdplat, not here
    {0, nullptr},
};

} // extern "C"
