// SPDX-License-Identifier: Apache-2.0
// What the test connectors share with the tests: the program that loads them
// defines ConnectRecorder, and every connector records each call it receives
// there and answers as the test scripted.
#pragma once

#include <stdint.h>

#define RECORDER_MAX_CALLS 512

struct RecordedCall {
    uint32_t connector; // the connector's CONNECTOR_ID
    uint32_t entry;
    void *priv;
    uint32_t args[4];
    char text[64]; // the value RDXSetProperty received, as text
};

struct Recorder {
    uint32_t status[19];      // what each entry point returns
    uint32_t report[19];      // the count each entry point reports...
    uint32_t reportSet[19];   // ...when set; else the count it was asked for
    const char *propertyText; // RDXGetProperty stores this text, else the number
    uint32_t storeNothing;    // RDXGetProperty succeeds without storing a value
    // Called inside every entry point after the call is recorded.
    void (*hook)(uint32_t entry, void *priv);
    struct RecordedCall calls[RECORDER_MAX_CALLS];
    uint32_t callCount;
};

#ifdef __cplusplus
extern "C" {
#endif
struct Recorder *ConnectRecorder(void);
#ifdef __cplusplus
}
#endif
