/* SPDX-License-Identifier: Apache-2.0 */
/* Drives the example connector: a stand-alone activity connects to the link
 * "example" directly (home/example.rdx), sets its property Rows to 4 and
 * fetches the rows three at a time into a field list, printing each.
 *
 * RDActivityAlloc starts the platform from quarry.ini in the current
 * directory or on PATH; its Directory (the home) must hold example.rdx. */
#include <rdxapi.h>

#include <stdio.h>
#include <string.h>

#define PER_FETCH 3u

static int failed(uint32_t status, const char *what) {
    if (status != 0) fprintf(stderr, "drive: %s failed with status %u\n", what, (unsigned)status);
    return status != 0;
}

/* Makes *stream a text in the interchange set (UTF-8). */
static uint32_t text(RDStream *stream, const char *value) {
    uint32_t status = RDStreamCreate(stream, 0, 0, RDCHARSET_INTERCHANGE);
    if (status == 0)
        status = RDStreamDataSet(stream, RDCHARSET_INTERCHANGE, value, (uint32_t)strlen(value));
    return status;
}

/* A list of PER_FETCH records with one Int field, Row. */
static uint32_t make_list(uint32_t *list) {
    RDStream name;
    uint32_t field = 0;
    uint32_t status = RDFieldlistAlloc(list, PER_FETCH, 0);
    if (status == 0) status = text(&name, "Row");
    if (status == 0) status = RDFieldlistAppend(*list, &name, RDTYPE_INT, &field);
    RDStreamDataFree(&name);
    return status;
}

/* Fetches until the end of the data, printing every row. */
static uint32_t fetch_all(uint32_t handle, uint32_t list) {
    uint32_t field = 0, count = 0;
    uint32_t status = RDFieldlistGetField(list, 1, RDCHARSET_INTERCHANGE, &field, NULL);
    if (status == 0) status = RDConnectSelect(handle, list, PER_FETCH, 0, &count);
    if (failed(status, "RDConnectSelect")) return status;
    printf("Selected %u rows\n", (unsigned)count);
    do {
        uint32_t fetched = 0;
        status = RDConnectFetch(handle, list, 1, PER_FETCH, &fetched);
        for (uint32_t record = 1; record <= fetched; ++record) {
            int32_t row = 0;
            RDFieldGetInt(field, record, &row, NULL);
            printf("Row %d\n", (int)row);
        }
    } while (status == 0);
    return status == RDX_END_OF_DATA ? 0 : status;
}

static uint32_t drive(uint32_t list) {
    RDStream name;
    uint32_t handle = 0;
    uint32_t status = text(&name, "example");
    if (status == 0) status = RDConnectAlloc(&handle, RDLINK_DIRECT, &name);
    RDStreamDataFree(&name);
    if (failed(status, "RDConnectAlloc")) return status;
    const int32_t rows = 4;
    status = RDConnectSetPropertyInt(handle, 1, &rows);
    if (!failed(status, "setting Rows")) status = RDConnectConnect(handle);
    if (!failed(status, "RDConnectConnect")) status = fetch_all(handle, list);
    failed(status, "fetching");
    RDConnectFree(handle);
    return status;
}

int main(void) {
    uint32_t status = RDActivityAlloc(0, NULL, 0);
    if (failed(status, "RDActivityAlloc")) return 1;
    uint32_t list = 0;
    status = make_list(&list);
    if (!failed(status, "making the field list")) status = drive(list);
    RDFieldlistFree(list);
    const uint32_t end = RDActivityFree();
    failed(end, "RDActivityFree");
    return status == 0 && end == 0 ? 0 : 1;
}
