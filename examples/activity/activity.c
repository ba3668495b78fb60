/* SPDX-License-Identifier: Apache-2.0 */
/* A minimal activity program: a stand-alone activity (no name, so no server
 * manager) that adds a property of its own, sets it and reads it back, logs
 * an informational message and prints the log's last entry.
 *
 * RDActivityAlloc starts the platform from quarry.ini in the current
 * directory or on PATH (put /etc/rdx on PATH for the installed one). */
#include <rdxapi.h>

#include <stdio.h>
#include <string.h>

static int failed(uint32_t status, const char *what) {
    if (status != 0)
        fprintf(stderr, "activity: %s failed with status %u\n", what, (unsigned)status);
    return status != 0;
}

/* Makes *stream a text in the interchange set (UTF-8). */
static uint32_t text(RDStream *stream, const char *value) {
    uint32_t status = RDStreamCreate(stream, 0, 0, RDCHARSET_INTERCHANGE);
    if (status == 0)
        status = RDStreamDataSet(stream, RDCHARSET_INTERCHANGE, value, (uint32_t)strlen(value));
    return status;
}

/* Adds the local property Count, sets it to 7 and prints what it reads. */
static uint32_t property(void) {
    RDStream name;
    uint32_t number = 0;
    uint32_t status = text(&name, "Count");
    if (status == 0) status = RDActivityAddProperty(&name, RDPROPERTY_LOCAL, &number);
    RDStreamDataFree(&name);
    if (failed(status, "RDActivityAddProperty")) return status;
    const int32_t value = 7;
    int32_t read = 0;
    status = RDActivitySetPropertyInt(number, &value);
    if (failed(status, "RDActivitySetPropertyInt")) return status;
    status = RDActivityGetPropertyInt(number, &read);
    if (failed(status, "RDActivityGetPropertyInt")) return status;
    printf("Count = %d\n", (int)read);
    return 0;
}

/* Logs an informational free text and prints the log's last entry. */
static uint32_t log_message(void) {
    RDStream message, last;
    RDStreamClear(&last);
    uint32_t status = text(&message, "the example activity ran");
    if (status == 0) status = RDActivityLogStream(RDLOG_INFORMATIONAL, &message, 0);
    RDStreamDataFree(&message);
    if (failed(status, "RDActivityLogStream")) return status;
    uint32_t number = 0;
    RDActivityGetLogLast(&last, &number, NULL);
    printf("Logged: %.*s\n", (int)last.length, (const char *)last.data);
    RDStreamDataFree(&last);
    return 0;
}

int main(void) {
    uint32_t status = RDActivityAlloc(0, NULL, 0);
    if (failed(status, "RDActivityAlloc")) return 1;
    status = property();
    if (status == 0) status = log_message();
    const uint32_t end = RDActivityFree();
    failed(end, "RDActivityFree");
    return status == 0 && end == 0 ? 0 : 1;
}
