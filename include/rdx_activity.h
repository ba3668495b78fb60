/* SPDX-License-Identifier: Apache-2.0 */
/* Activities: the block a server manager hands over, and the activity's
 * log, status and message texts.
 *
 * Every function but RDActivityClearStatus first returns 12321 without a
 * ready system or without an activity. A message number's bits 0-27 select
 * its text in the message catalogue; bit 28 marks an informational message,
 * which is logged without the error prefix and never becomes the activity's
 * status word. Finished texts are streams of character set 256. */
#ifndef RDX_ACTIVITY_H
#define RDX_ACTIVITY_H

#include "rdexport.h"
#include "rdx_currency.h"
#include "rdx_datetime.h"
#include "rdx_numeric.h"
#include "rdx_stream.h"
#include <stdint.h>

/* Bit 28 of a message number: an informational message. */
#define RDMESSAGE_INFORMATIONAL 0x10000000u
/* The informational free-text message (RDActivityLogStream with flag 1). */
#define RDMESSAGE_INFOTEXT 0x10003026u
/* Flag of RDActivityLogStream: the text is informational. */
#define RDLOG_INFORMATIONAL 1u

/* Handed from CSMgrNextActivity to RDActivityInit. */
typedef struct ActivityBlock {
    uint32_t handle;   /* server-manager activity handle; 0 = none */
    uint32_t command;  /* 0 run; 1 and 2 are the server manager's requests to stop */
    uint32_t words[3]; /* the server manager's; not read by the library */
} ActivityBlock;

/* Kinds of properties added by name (RDActivityAddProperty). */
#define RDPROPERTY_SERVERFIELD 1u /* a field the server manager keeps for the activity */
#define RDPROPERTY_LOCAL 2u       /* a value of this run only */
#define RDPROPERTY_ENVIRONMENT 3u /* an environment variable of the process */

/* Modes of RDActivityListProperty. */
#define RDLIST_FIRST 1u
#define RDLIST_NEXT 2u

/* Flag of RDActivityRunActivity: wait until the activity has run. */
#define RDRUN_WAIT 1u

RD_BEGIN_DECLS

/* The life of an activity. A host that received block from the server
 * manager calls RDActivityInit, RDActivityLaunch and RDActivityTerm; the
 * block stays the host's. Any other program calls RDActivityAlloc with the
 * activity's name (null for an activity of its own, without the server
 * manager; charset 0 is the native set) and ends with RDActivityFree; these
 * start and stop the platform (when it was not running), the system context
 * and the attachment to the server manager, and nest. At most one activity
 * exists per process. */
RD_EXPORT uint32_t RDActivityInit(ActivityBlock *block);
/* Calls the activity connector's RDXLaunch and returns its status. */
RD_EXPORT uint32_t RDActivityLaunch(void);
/* Ends the activity; returns the status of sending back the changed
 * properties, or 0. */
RD_EXPORT uint32_t RDActivityTerm(void);
RD_EXPORT uint32_t RDActivityAlloc(uint32_t reserved, const char *name, uint32_t charset);
RD_EXPORT uint32_t RDActivityFree(void);
/* 0, or 1542 and 1543 for the server manager's requests to stop. */
RD_EXPORT uint32_t RDActivityGetCommand(void);
/* Asks the server manager to run the activity name; with RDRUN_WAIT, waits
 * (polling every 15 seconds) until it has run, or 12322 once deadline (when
 * not null) has passed. */
RD_EXPORT uint32_t RDActivityRunActivity(const RDStream *name, uint32_t flags,
                                         const RDDatetime *deadline);

/* Properties by number. A property is added by name with a kind and gets a
 * number; an equal name (regardless of case) and kind gives the same number.
 * The value of a property is value 1 of a field; a null value removes a
 * set property (and an environment variable). */
RD_EXPORT uint32_t RDActivityAddProperty(const RDStream *name, uint32_t kind, uint32_t *number);
RD_EXPORT uint32_t RDActivitySetProperty(uint32_t number, uint32_t field);
RD_EXPORT uint32_t RDActivityGetProperty(uint32_t number, uint32_t field);
/* Lists the connector's declared properties, then the added ones (newest
 * first; their kind in *type), until 12290. Each out may be null. */
RD_EXPORT uint32_t RDActivityListProperty(uint32_t mode, uint32_t *number, uint32_t *type,
                                          uint32_t *attributes, RDStream *name);

/* Typed short-cuts. The getters clear the destination and fill it when the
 * property has a value; the setters take null for a null value. */
RD_EXPORT uint32_t RDActivityGetPropertyInt(uint32_t number, int32_t *value);
RD_EXPORT uint32_t RDActivityGetPropertyFloat(uint32_t number, double *value);
RD_EXPORT uint32_t RDActivityGetPropertyCurrency(uint32_t number, RDCurrency *value);
RD_EXPORT uint32_t RDActivityGetPropertyNumeric(uint32_t number, RDNumeric *value);
RD_EXPORT uint32_t RDActivityGetPropertyDatetime(uint32_t number, RDDatetime *value);
RD_EXPORT uint32_t RDActivityGetPropertyStream(uint32_t number, uint32_t charset, RDStream *value);
/* 1 or 0 for a non-zero or zero (or null) Int property; fallback when it
 * cannot be read. Not a status. */
RD_EXPORT uint32_t RDActivityGetPropertyBoolean(uint32_t number, uint32_t fallback);
RD_EXPORT uint32_t RDActivitySetPropertyInt(uint32_t number, const int32_t *value);
RD_EXPORT uint32_t RDActivitySetPropertyFloat(uint32_t number, const double *value);
RD_EXPORT uint32_t RDActivitySetPropertyCurrency(uint32_t number, const RDCurrency *value);
RD_EXPORT uint32_t RDActivitySetPropertyNumeric(uint32_t number, const RDNumeric *value);
RD_EXPORT uint32_t RDActivitySetPropertyDatetime(uint32_t number, const RDDatetime *value);
RD_EXPORT uint32_t RDActivitySetPropertyStream(uint32_t number, const RDStream *value);

/* Logs message (no arguments) and returns it, or 0 for an informational
 * message. 0, 1542, 1543 and 12325 are returned without logging, and so is a
 * message that a connector logged during the current operation. */
RD_EXPORT uint32_t RDActivityLog(uint32_t message);

/* Logs message with numbers and texts for the markup slots 1-3. */
RD_EXPORT uint32_t RDActivityLogEx(uint32_t message, uint32_t number1, uint32_t number2,
                                   uint32_t number3, const RDStream *text1, const RDStream *text2,
                                   const RDStream *text3);

/* Logs a free text with a number shown beside it: 12325 (and the status word
 * set), or 0 with RDLOG_INFORMATIONAL. */
RD_EXPORT uint32_t RDActivityLogStream(uint32_t flags, const RDStream *text, uint32_t number);
RD_EXPORT uint32_t RDActivityLogStreamEx(uint32_t flags, const RDStream *text, uint32_t number,
                                         uint32_t number1, uint32_t number2, uint32_t number3,
                                         const RDStream *text1, const RDStream *text2,
                                         const RDStream *text3);

/* Sets the status word to 0 while a system context exists. */
RD_EXPORT void RDActivityClearStatus(void);

/* The status word. */
RD_EXPORT uint32_t RDActivityGetStatus(void);

/* The text of message, without sections, into out (12808 when null). */
RD_EXPORT uint32_t RDActivityGetStatusStream(uint32_t message, RDStream *out);

/* The last entry: its text, number and (when the number is not 0) free text;
 * each out may be null. Returns the last entry's message number. */
RD_EXPORT uint32_t RDActivityGetLogLast(RDStream *text, uint32_t *number, RDStream *freeText);

/* Work of the activity on a second thread. Between RDActivityHoldBegin and
 * RDActivityHoldEnd, made on that thread, its log entries and call
 * statistics are held instead of made: the thread's connector still sees its
 * own last entry (RDActivityGetLogLast), while the log, the status word and
 * the statistics change only when the activity's thread calls
 * RDActivityHoldRelease, which makes the held entries in their order
 * (replay 1) or drops them (replay 0). RDActivityHoldBegin fails with 12320
 * on a thread that holds already; RDActivityHoldRelease with 12320 on a
 * holding thread. RDActivityHoldFree drops what is left and frees the hold,
 * once its thread has ended the hold. */
typedef struct RDLogHold RDLogHold;
RD_EXPORT uint32_t RDActivityHoldBegin(RDLogHold **hold);
RD_EXPORT void RDActivityHoldEnd(void);
RD_EXPORT uint32_t RDActivityHoldRelease(RDLogHold *hold, uint32_t replay);
RD_EXPORT void RDActivityHoldFree(RDLogHold *hold);

/* Writes text in native characters and a line end to the standard output;
 * a null text writes nothing. Also 1542 or 1543 on the server manager's
 * request to stop. */
RD_EXPORT uint32_t RDActivityPrint(const RDStream *text);

/* Words of the statistics record of an activity. */
#define RDSTATISTICS_WORDS 19u

/* The activity's statistics so far, as the server manager receives them at
 * its end: the call counts of the entry points RDXConnect to RDXDrop (12
 * words), the record counts of RDXExecute to RDXRemove (6) and of
 * RDXCatalog (1). Copies the first `words` of them (at most 19) into
 * record; 12302 for a null record with words above 0. The one activity
 * function that another thread may call while the activity runs, e.g. to
 * show its progress. */
RD_EXPORT uint32_t RDActivityGetStatistics(uint32_t *record, uint32_t words);

RD_END_DECLS

#endif
