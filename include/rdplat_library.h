/* SPDX-License-Identifier: Apache-2.0 */
/* Shared libraries and connector plug-ins (NAME.rdx in the home directory). */
#ifndef RDPLAT_LIBRARY_H
#define RDPLAT_LIBRARY_H

#include "rdexport.h"
#include <stdint.h>

/* RDLibraryLoad flags. */
#define RDLIBRARY_NOERRORBOX 1u
#define RDLIBRARY_CONNECTOR 2u

/* A loaded library, released with RDLibraryFree. */
typedef struct RDLibraryModule *RDLibHandle;

/* A library that wants its entries found by number exports a table of this
 * name: pairs of ordinal and entry name, ended by an entry with a null name. */
typedef struct RDLibraryOrdinal {
    uint32_t ordinal;
    const char *name;
} RDLibraryOrdinal;
#define RDLIBRARY_ORDINAL_TABLE "RDLibraryOrdinals"

RD_BEGIN_DECLS

/* Loads a library. With RDLIBRARY_CONNECTOR, name is a connector's base
 * name and home directory + name + ".rdx" is loaded; a name holding a '/' is
 * refused. Null on failure. */
RD_EXPORT RDLibHandle RDLibraryLoad(const char *name, uint32_t flags);

/* Non-zero on success, 0 on failure. */
RD_EXPORT int RDLibraryFree(RDLibHandle library);

/* Finds an entry by name, or, when name is null, by the low 16 bits of
 * ordinal through the library's ordinal table. Null when not found. */
RD_EXPORT void *RDLibraryLoadProc(RDLibHandle library, const char *name, uint32_t ordinal);

RD_END_DECLS

#endif
