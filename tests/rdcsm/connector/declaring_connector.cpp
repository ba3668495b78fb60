// SPDX-License-Identifier: Apache-2.0
// An activity connector that only identifies itself, declaring properties
// by name (a secret among them, and a "password" in lower case beside the
// built-in Password) and one by its built-in name, for the job-file tests.
#include "rdx_connector.h"

namespace {

const PropertyDeclaration kDeclarations[] = {
    {5, 1, 0, "Rows", 4},      {6, 6, 0, "TargetTable", 11}, {0x10001, 6, 0, nullptr, 0},
    {8, 6, 0, "ApiSecret", 9}, {9, 6, 0, "password", 8},     {0, 0, 0, nullptr, 0},
};

} // namespace

extern "C" RD_EXPORT uint32_t RDXIdentify(IdentifyRecord *record) {
    record->version = RDX_INTERFACE_VERSION;
    record->kind = RDX_KIND_ACTIVITY;
    record->nameCharset = 256;
    record->declarations = kDeclarations;
    return 0;
}
