/* SPDX-License-Identifier: Apache-2.0 */
/* Files, directories and the listing of installed connectors. */
#ifndef RDPLAT_FILE_H
#define RDPLAT_FILE_H

#include "rdexport.h"
#include "rdplat_status.h"
#include <stdint.h>

/* Open modes: the low four bits are access flags, 0x10 asks for binary. */
#define RDFILE_READ 1u
#define RDFILE_WRITE 2u
#define RDFILE_CREATE 4u
#define RDFILE_APPEND 8u
#define RDFILE_BINARY 0x10u

/* Seek origins. */
#define RDFILE_SEEK_START 1
#define RDFILE_SEEK_CURRENT 2
#define RDFILE_SEEK_END 3

/* Size of the name outputs of the connector listing. */
#define RDFILE_NAME_SIZE 261

/* An open file, closed with RDFileClose. */
typedef struct RDFileStream *RDFileHandle;
/* A connector listing, closed with RDFileListClose. */
typedef struct RDFileListing *RDListHandle;

RD_BEGIN_DECLS

/* Creates every missing directory of path. 1 when the whole path exists
 * afterwards, 0 when a component could not be created. */
RD_EXPORT int RDMkDir(const char *path);

/* Opens path with an open mode of the table (1, 3, 10, 11, 6, 7, 14, 15,
 * optionally | 0x10); null on failure or for any other mode. */
RD_EXPORT RDFileHandle RDFileOpen(const char *path, uint32_t mode);

/* 0, or -1 on failure. */
RD_EXPORT int RDFileClose(RDFileHandle file);

/* 1 when the file or directory exists, else 0. */
RD_EXPORT int RDFileExist(const char *path);

/* Number of bytes read into buffer (0 at the end or on error). */
RD_EXPORT uint32_t RDFileRead(RDFileHandle file, uint32_t count, void *buffer);

/* Number of bytes written. */
RD_EXPORT uint32_t RDFileWrite(RDFileHandle file, uint32_t count, const void *data);

/* Moves to offset from origin (1 start, 2 current, 3 end) and returns the new
 * position from the start, -1 when it cannot be told; 0 for another origin. */
RD_EXPORT int64_t RDFileSeek(RDFileHandle file, int32_t origin, int64_t offset);

/* 1 when deleted, 0 when not. */
RD_EXPORT int RDFileDelete(const char *path);

/* Stores the current directory in buffer (at most length bytes). 1, or 0 for
 * a null buffer or a length of 0. */
RD_EXPORT int RDFileGetDir(char *buffer, uint32_t length);

/* 1 when the current directory was changed, else 0. */
RD_EXPORT int RDFileSetDir(const char *path);

/* The home directory (empty before RDPlatInit); ends with '/'. */
RD_EXPORT const char *RDFileExeDir(void);

/* Starts listing the connectors of the home directory. pattern must be
 * exactly "*.rdx"; name receives the first file name (RDFILE_NAME_SIZE
 * bytes). Returns 0, 258, 12289, 12290 (none), 12302 (null handle output). */
RD_EXPORT uint32_t RDFileListFirst(const char *pattern, char *name, RDListHandle *listing);

/* The next name. Returns 0, 528 (null handle), 12290 (no further entry). */
RD_EXPORT uint32_t RDFileListNext(char *name, RDListHandle listing);

/* Ends a listing. Returns 0, 528 (null handle). */
RD_EXPORT uint32_t RDFileListClose(RDListHandle listing);

RD_END_DECLS

#endif
