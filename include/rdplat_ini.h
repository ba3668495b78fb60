/* SPDX-License-Identifier: Apache-2.0 */
/* Configuration files of the quarry.ini kind: sections "[Name]" of lines
 * "key=value". A name containing '/' is a path; any other name resolves
 * against the home directory (the current directory before RDPlatInit). */
#ifndef RDPLAT_INI_H
#define RDPLAT_INI_H

#include "rdexport.h"
#include "rdplat_status.h"
#include <stdint.h>

/* Longest line of a configuration file, without its line end. */
#define RDINI_LINE_MAX 255

RD_BEGIN_DECLS

/* Reads key of section into out (at least RDINI_LINE_MAX + 1 bytes). A null
 * out only tests for a non-empty value. A null or empty key lists the whole
 * section into out as NUL-terminated entry lines ended by an empty string;
 * the caller must provide room for all of it (see RDINIGetSection).
 * Returns 0, 534 (missing or empty), 535 (cannot open). */
RD_EXPORT uint32_t RDINIGetString(const char *section, const char *key, char *out,
                                  const char *file);

/* Bounded listing of a section: as RDINIGetString with a null key, into a
 * buffer of size bytes. When the list does not fit, out holds the entries
 * that fit (still ended by an empty string) and the status is 12801. */
RD_EXPORT uint32_t RDINIGetSection(const char *section, char *out, uint32_t size,
                                   const char *file);

/* Sets key of section to value, or removes the key when value is null, by
 * rewriting the file through a temporary copy. Returns 0, 534, 535, 536, 537. */
RD_EXPORT uint32_t RDINISetString(const char *section, const char *key, const char *value,
                                  const char *file);

/* RDINISetString with a null value. */
RD_EXPORT uint32_t RDINIRemoveString(const char *section, const char *key, const char *file);

/* Deletes the file. Returns 1 when deleted, 0 when not. */
RD_EXPORT int RDINIDelete(const char *file);

RD_END_DECLS

#endif
