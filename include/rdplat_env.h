/* SPDX-License-Identifier: Apache-2.0 */
/* Environment variables of the process. */
#ifndef RDPLAT_ENV_H
#define RDPLAT_ENV_H

#include "rdexport.h"
#include "rdplat_status.h"
#include <stdint.h>

RD_BEGIN_DECLS

/* Copies at most *length characters of the variable into out (which holds
 * *length + 1 bytes), NUL-terminates and stores the count in *length.
 * Returns 0, 530 (not set), 12301 (null out or length). */
RD_EXPORT uint32_t RDPlatGetEnv(const char *name, char *out, uint32_t *length);

/* Sets the variable to the value enclosed in double quotes.
 * Returns 0, 258, 531. */
RD_EXPORT uint32_t RDPlatPutEnv(const char *name, const char *value);

RD_END_DECLS

#endif
