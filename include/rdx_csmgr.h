/* SPDX-License-Identifier: Apache-2.0 */
/* The client of the server manager: every function builds one request, sends
 * it over the pipe RDCSMP on a connection of its own, and returns the status
 * of the answer (or a failure of the client: 258 no memory, 779 a required
 * argument missing or too long for its field, 782 the pipe cannot be opened,
 * 783 the exchange failed or the answer was incomplete). Texts travel in the
 * interchange set (256). */
#ifndef RDX_CSMGR_H
#define RDX_CSMGR_H

#include "rdexport.h"
#include "rdx_property.h"
#include "rdx_stream.h"
#include <stddef.h>
#include <stdint.h>

/* What the server manager tells about itself: eight values and its text. */
typedef struct ServerInfoRecord {
    uint32_t values[8];
    RDStream *text; /* receives the text when not null */
} ServerInfoRecord;

/* The next activity to run: the five words of its activity block (handle,
 * command and three words of the server manager) and its name. */
typedef struct NextActivityRecord {
    uint32_t handle;
    uint32_t command;
    uint32_t words[3];
    RDStream *name; /* receives the activity's name when not null */
} NextActivityRecord;

/* The statistics of CSMgrDataLog: 19 words sent unchanged. */
#define CSMGR_STATISTICS_COUNT 19u

RD_BEGIN_DECLS

/* Starts the server manager (the program rdcsm in the home directory) unless
 * its pipe exists: 0, 516, 534, 535, 782, or 825 for kit type 1 when one runs. */
RD_EXPORT uint32_t CSMgrStartup(void);
RD_EXPORT uint32_t CSMgrShutdown(void);
/* Attaches and applies the server manager's translation mode and
 * international formats; a failed attach detaches again. */
RD_EXPORT uint32_t CSMgrInit(ServerInfoRecord *info);
RD_EXPORT uint32_t CSMgrTerm(void);
RD_EXPORT uint32_t CSMgrServerInfo(ServerInfoRecord *info);
RD_EXPORT uint32_t CSMgrServerState(uint32_t value);

RD_EXPORT uint32_t CSMgrNextActivity(NextActivityRecord *record);
RD_EXPORT uint32_t CSMgrDoneActivity(uint32_t handle, uint32_t endCode);
RD_EXPORT uint32_t CSMgrRunActivity(uint32_t handle, const RDStream *name);
/* Adds the description's items to set (items of any type 1-7). */
RD_EXPORT uint32_t CSMgrGetDescription(uint32_t handle, PropertySet *set);
/* Sends the Int, Datetime, text and rich-text items of set that have a
 * value; 258, sending nothing, when the block cannot grow. */
RD_EXPORT uint32_t CSMgrPutDescription(uint32_t handle, PropertySet *set);
/* *done is 1 when the runs the activity waits for have finished. */
RD_EXPORT uint32_t CSMgrCheckSync(uint32_t handle, uint32_t *done);
/* *id (or *handle) receives the answer's word whatever its status. */
RD_EXPORT uint32_t CSMgrGetID(uint32_t *id, const RDStream *name, uint32_t argument);
RD_EXPORT uint32_t CSMgrOpenActivity(uint32_t *handle, const RDStream *name, uint32_t argument);
RD_EXPORT uint32_t CSMgrLog(uint32_t handle, uint32_t number, const RDStream *text);
RD_EXPORT uint32_t CSMgrDataLog(uint32_t handle, const uint32_t *statistics);
/* *time receives the server manager's 8-byte time value as it comes. */
RD_EXPORT uint32_t CSMgrTime(uint64_t *time);
RD_EXPORT uint32_t __CSMgrAdvanceClock(uint32_t value);
/* name may point at a record that begins with the name stream. The value is
 * value 1 of the field, as text. */
RD_EXPORT uint32_t CSMgrGetField(uint32_t handle, const RDStream *name, uint32_t field);
RD_EXPORT uint32_t CSMgrPutField(uint32_t handle, const RDStream *name, uint32_t field);
/* path must fit 260 bytes (779 otherwise, never sent cut). */
RD_EXPORT uint32_t CSMgrFileField(uint32_t handle, const RDStream *name, const char *path);

/* Grows *block (a heap block of *capacity bytes) by the smallest multiple of
 * step that makes it hold a + b + c bytes. 1 when it holds them, 0 when it
 * could not grow (nothing changed). */
RD_EXPORT uint32_t LargeBuffer(uint8_t **block, uint32_t *capacity, uint32_t a, uint32_t b,
                               uint32_t c, uint32_t step);

RD_END_DECLS

#ifdef __cplusplus
static_assert(offsetof(ServerInfoRecord, text) == 32, "ServerInfoRecord layout");
static_assert(offsetof(NextActivityRecord, name) == 24, "NextActivityRecord layout");
#endif

#endif
