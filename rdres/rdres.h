/* SPDX-License-Identifier: Apache-2.0 */
/* The message catalogue: the text of every message number of the system. */
#ifndef RDRES_H
#define RDRES_H

#include "rdexport.h"
#include <stdint.h>

/* The size of the buffers the library reads catalogue texts into. */
#define RDRES_TEXT_SIZE 512u

RD_BEGIN_DECLS

/* Copies the native text of message number (bits 0-27 of a message; the
 * caller masks off bit 28) into buffer, cut to size - 1 bytes and
 * NUL-terminated, and returns its length in bytes; 0 when the number has no
 * text, or for a null buffer or size 0. */
RD_EXPORT uint32_t RDLibraryLoadString(uint32_t number, char *buffer, uint32_t size);

RD_END_DECLS

#endif
