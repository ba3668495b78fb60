// SPDX-License-Identifier: Apache-2.0
// Process-wide signal handling entry points. The system installs no handlers
// of its own: signals keep the dispositions the host program chose.
#include "rdplat_proc.h"

extern "C" {

RD_EXPORT void RDProcSigHndlrSet(void) {}

RD_EXPORT void RDProcSigHndlrUnset(void) {}

} // extern "C"
