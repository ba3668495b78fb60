/* SPDX-License-Identifier: Apache-2.0 */
/* Status numbers returned by rdplat. The numbers are made from the message
 * table rdres/messages.txt, which also holds their texts. */
#ifndef RDPLAT_STATUS_H
#define RDPLAT_STATUS_H

#include "rdplat_status_codes.h"

#endif
