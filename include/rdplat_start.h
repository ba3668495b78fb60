/* SPDX-License-Identifier: Apache-2.0 */
/* Platform start-up and the home directory. */
#ifndef RDPLAT_START_H
#define RDPLAT_START_H

#include "rdexport.h"
#include "rdplat_status.h"
#include <stdint.h>

/* Size of the path buffers of the platform: at most 263 characters and a NUL. */
#define RDPLAT_PATH_SIZE 264

RD_BEGIN_DECLS

/* Finds the home directory through quarry.ini (beside the program, then on
 * PATH) and loads the built-in international formats. programPath may be null
 * or empty. Returns 0, 534 or 535. A second call after success returns 0. */
RD_EXPORT uint32_t RDPlatInit(const char *programPath);

/* Frees the international formats and empties the home directory. Always 0. */
RD_EXPORT uint32_t RDPlatTerm(void);

/* Looks for fileName in each directory of the ':'-separated list held by the
 * environment variable envName. outDir (RDPLAT_PATH_SIZE bytes) receives the
 * directory with a trailing '/'. With readOnly non-zero only a read-only file
 * wins. Returns 1 when found, 0 when not. */
RD_EXPORT int RDFindPath(const char *envName, char *outDir, const char *fileName, int readOnly);

RD_END_DECLS

#endif
