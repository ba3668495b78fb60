// SPDX-License-Identifier: Apache-2.0
// Internal access to the process-wide international-format record.
#pragma once

#include "rdplat_intl.h"

namespace rdplat {

// Frees the record and clears the pointer (RDPlatTerm).
void FreeIntlFormat();

} // namespace rdplat
