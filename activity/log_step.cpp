// SPDX-License-Identifier: Apache-2.0
// The logging step: format, send, remember, and keep the status word.
#include "activity/log_step.h"

#include "activity/log_format.h"
#include "activity/log_hold.h"
#include "activity/log_hooks.h"
#include "activity/system_context.h"
#include "rdx_status.h"

namespace rdx {

namespace {

// The entry as sentences, its number in the log's own column.
void Send(const ActivityState &activity, const LogRecord &record) {
    if ((activity.activityMode & kModeStandAlone) != 0) return;
    if (activity.activityBlock == nullptr || activity.activityBlock->handle == 0) return;
    if (g_logHooks.send == nullptr) return;
    RDStream text{};
    FormatLogSentence(record, &text);
    g_logHooks.send(activity.activityBlock->handle, LogColumnNumber(record), &text);
    RDStreamDataFree(&text);
}

// The entry as the last one. A copy that fails leaves that text empty.
void Remember(LogState &log, const LogRecord &record, const RDStream &text) {
    log.lastLogMessage = record.message;
    if (RDStreamDataCopy(&log.lastLogText, &text) != RDSTATUS_OK)
        RDStreamDataFree(&log.lastLogText);
    log.lastLogNumber = record.number;
    if (record.text == nullptr) {
        RDStreamDataFree(&log.lastLogStream);
    } else if (RDStreamDataCopy(&log.lastLogStream, record.text) != RDSTATUS_OK) {
        RDStreamDataFree(&log.lastLogStream);
    }
    log.lastLogConnection = record.connection;
}

} // namespace

uint32_t LogEntry(LogRecord &record) {
    if (record.message == 0) return RDSTATUS_OK;
    const CurrentOperation &current = ThreadLog().current;
    if (current.connection != nullptr) {
        record.connection = current.connection;
        record.entry = current.entry;
        record.operationArgument = current.argument;
    }
    if (!Holding()) return LogResolvedEntry(record);
    // A second thread's entry is made later by the activity's thread; its
    // own last entry is remembered now, for its connector to read.
    RDStream text{};
    FormatLogRecord(record, true, &text);
    Remember(ThreadLog(), record, text);
    RDStreamDataFree(&text);
    HoldEntry(record);
    return IsInformational(record.message) ? 0 : record.message;
}

uint32_t LogResolvedEntry(const LogRecord &record) {
    if (record.message == 0) return RDSTATUS_OK;
    const uint32_t result = IsInformational(record.message) ? 0 : record.message;
    SystemContext &context = *Context();
    // An entry whose text cannot be made is still remembered and still sets
    // the status word; it goes to the server manager without a text.
    RDStream text{};
    FormatLogRecord(record, true, &text);
    Send(context.activity, record);
    Remember(context.log, record, text);
    RDStreamDataFree(&text);
    if (result != 0) context.activity.activityStatus = result;
    return result;
}

} // namespace rdx
