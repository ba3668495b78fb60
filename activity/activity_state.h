// SPDX-License-Identifier: Apache-2.0
// The activity's and the log's parts of the system context, and the checks
// that open the activity functions.
#pragma once

#include "activity/property_set.h"
#include "rdplat_library.h"
#include "rdx_activity.h"
#include "rdx_connector.h"
#include "rdx_stream.h"

#include <cstdint>

struct ConnectionRecord;

namespace rdx {

// Bits of activityMode.
constexpr uint32_t kModeAllocated = 1;     // made by RDActivityAlloc
constexpr uint32_t kModeNoDescription = 2; // no description naming a connector
constexpr uint32_t kModeStandAlone = 4;    // no server-manager activity

// One property added by name at run time (RDActivityAddProperty). The name
// comes first: the server-manager client reads a field's name from it.
struct AddedProperty {
    RDStream name; // character set 256, compared without regard to case
    uint32_t number;
    uint32_t kind; // kAddedServerField, kAddedLocal or kAddedEnvironment
    AddedProperty *next;
};

constexpr uint32_t kAddedServerField = 1;
constexpr uint32_t kAddedLocal = 2;
constexpr uint32_t kAddedEnvironment = 3;

// Scratch fields of the typed property functions, one per type code 1-7.
constexpr uint32_t kScratchTypes = 7;

struct ActivityState {
    ActivityBlock *activityBlock; // null when there is no activity
    uint32_t activityMode;
    RDStream activityName;
    char *connectorName; // native text with its NUL
    uint32_t connectorNameLength;
    RDLibHandle connectorLibrary;
    RDXLaunchProc launchEntry;
    IdentifyRecord *identifyRecord; // the activity connector's
    uint32_t activityStatus;        // the status word
    PropertySet *descriptionSet;
    PropertySet *putBackSet;
    PropertySet *localSet;
    AddedProperty *addedProperties; // newest first
    int32_t listIndex;              // next declaration to list; -1 once they are done
    AddedProperty *listNode;        // next added property to list
    uint32_t nextPropertyNumber;    // 0 until the first property is added
    uint32_t scratchFields[kScratchTypes];
    uint32_t startedByInit;
    uint32_t activityNesting; // 0 = no activity
    // The activity's own attachment to the server manager is open (made by
    // RDActivityAlloc), so its end detaches whatever handle the open gave.
    uint32_t attached;
    // RDActivityAlloc started the platform, so RDActivityFree stops it.
    uint32_t platformStarted;
};

// The connection and connector operation running; the connection layer sets
// it around each entry-point call.
struct CurrentOperation {
    const ConnectionRecord *connection;
    uint32_t entry;    // entry-point number, 0 for none
    uint32_t argument; // action code or kind
};

struct LogState {
    uint32_t lastLogMessage;
    RDStream lastLogText; // the finished text of the last entry
    uint32_t lastLogNumber;
    RDStream lastLogStream; // a copy of the last entry's free text
    const ConnectionRecord *lastLogConnection;
    CurrentOperation current;
};

// 0 when the system is ready and an activity exists, else 12321.
uint32_t ActivityCheck();

// 1542 or 1543 for the block's command 1 or 2, else 0. Needs an activity.
uint32_t CommandStatus();

// Releases the last-entry texts and zeroes the log state (at activity end).
void LogStateRelease();

} // namespace rdx
