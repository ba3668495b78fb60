/* SPDX-License-Identifier: Apache-2.0 */
/* A minimal program against the C interface: starts the platform and the
 * system, makes a field list of one record with an integer, a float and a
 * text field, sets their values, reads each back as text and prints it. */
#include <rdplat_start.h>
#include <rdxapi.h>

#include <stdio.h>
#include <string.h>

static int failed(uint32_t status, const char *what) {
    if (status != 0)
        fprintf(stderr, "fieldlist: %s failed with status %u\n", what, (unsigned)status);
    return status != 0;
}

/* Appends a field named name of type to the list; *field receives its handle. */
static uint32_t append(uint32_t list, const char *name, uint32_t type, uint32_t *field) {
    RDStream text;
    uint32_t status = RDStreamCreate(&text, 0, 0, RDCHARSET_INTERCHANGE);
    if (status == 0)
        status = RDStreamDataSet(&text, RDCHARSET_INTERCHANGE, name, (uint32_t)strlen(name));
    if (status == 0) status = RDFieldlistAppend(list, &text, type, field);
    RDStreamDataFree(&text);
    return status;
}

/* Prints every field of the list as "name = value", the value as text. */
static uint32_t print(uint32_t list) {
    for (uint32_t position = 1; position <= RDFieldlistGetCount(list); ++position) {
        uint32_t field = 0;
        RDStream *name = NULL;
        RDStream value;
        RDStreamClear(&value);
        uint32_t status = RDFieldlistGetField(list, position, RDCHARSET_INTERCHANGE, &field, &name);
        if (status == 0) status = RDFieldGetStream(field, 1, RDCHARSET_INTERCHANGE, &value, NULL);
        if (status == 0)
            printf("%.*s = %.*s\n", (int)name->length, (const char *)name->data, (int)value.length,
                   (const char *)value.data);
        RDStreamDataFree(&value);
        if (status != 0) return status;
    }
    return 0;
}

static uint32_t run(void) {
    uint32_t list = 0, id = 0, price = 0, label = 0;
    uint32_t status = RDFieldlistAlloc(&list, 1, 0);
    if (failed(status, "RDFieldlistAlloc")) return status;
    status = append(list, "Id", RDTYPE_INT, &id);
    if (status == 0) status = append(list, "Price", RDTYPE_FLOAT, &price);
    if (status == 0) status = append(list, "Label", RDTYPE_TEXT, &label);
    if (!failed(status, "RDFieldlistAppend")) {
        const int32_t idValue = 42;
        const double priceValue = 9.75;
        RDStream labelValue;
        status = RDStreamCreate(&labelValue, 0, 0, RDCHARSET_INTERCHANGE);
        if (status == 0) status = RDStreamDataSet(&labelValue, RDCHARSET_INTERCHANGE, "widget", 6);
        if (status == 0) status = RDFieldSetInt(id, 1, &idValue);
        if (status == 0) status = RDFieldSetFloat(price, 1, &priceValue);
        if (status == 0) status = RDFieldSetStream(label, 1, &labelValue);
        RDStreamDataFree(&labelValue);
        if (!failed(status, "setting the values")) status = print(list);
        failed(status, "reading the values");
    }
    RDFieldlistFree(list);
    return status;
}

int main(int argc, char **argv) {
    (void)argc;
    /* The home directory comes from quarry.ini beside the program or on PATH;
     * without one it is the program's own folder. */
    uint32_t status = RDPlatInit(argv[0]);
    if (failed(status, "RDPlatInit")) return 1;
    status = RDSystemInit();
    if (!failed(status, "RDSystemInit")) {
        status = run();
        RDSystemTerm();
    }
    RDPlatTerm();
    return status == 0 ? 0 : 1;
}
