/* SPDX-License-Identifier: Apache-2.0 */
/* rdplat: the platform services of the system.
 *
 * Every function is exported from librdplat.so with C linkage. Statuses are
 * uint32_t, 0 for success, otherwise a message number (513-539 for platform
 * failures). Texts are 8-bit and NUL-terminated. */
#ifndef RDPLAT_H
#define RDPLAT_H

#include "rdplat_env.h"
#include "rdplat_file.h"
#include "rdplat_ini.h"
#include "rdplat_intl.h"
#include "rdplat_ipc.h"
#include "rdplat_library.h"
#include "rdplat_mem.h"
#include "rdplat_proc.h"
#include "rdplat_registry.h"
#include "rdplat_start.h"

#endif
