// SPDX-License-Identifier: Apache-2.0
// What the lifecycle shares with the property functions: the end of the
// added properties and of the scratch fields, and the hooks the log takes
// from the activity layer.
#pragma once

namespace rdx {

// Frees every added property and zeroes the listing state.
void FreeAddedProperties();

// Frees the scratch fields of the typed property functions.
void FreeScratchFields();

// Points the log at the server manager and at the activity's property names.
void InstallActivityLogHooks();

} // namespace rdx
