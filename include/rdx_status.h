/* SPDX-License-Identifier: Apache-2.0 */
/* Status numbers returned by rdxapi (besides those of rdplat_status.h). The
 * numbers are made from the message table rdres/messages.txt, which also
 * holds their texts. */
#ifndef RDX_STATUS_H
#define RDX_STATUS_H

#include "rdplat_status.h"
#include "rdx_status_codes.h"

#endif
