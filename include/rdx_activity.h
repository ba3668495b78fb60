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

RD_BEGIN_DECLS

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

/* Writes text in native characters and a line end to the standard output;
 * a null text writes nothing. Also 1542 or 1543 on the server manager's
 * request to stop. */
RD_EXPORT uint32_t RDActivityPrint(const RDStream *text);

RD_END_DECLS

#endif
