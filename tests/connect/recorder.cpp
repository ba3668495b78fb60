// SPDX-License-Identifier: Apache-2.0
// The call recorder that the test connectors reach in this program.
#include "connectors/recorder.h"

#include "rdexport.h"

extern "C" RD_EXPORT Recorder *ConnectRecorder(void) {
    static Recorder recorder;
    return &recorder;
}
