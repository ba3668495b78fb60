// SPDX-License-Identifier: Apache-2.0
// The exported log and status functions of an activity.
#include "activity/activity_state.h"
#include "activity/log_format.h"
#include "activity/log_hold.h"
#include "activity/log_step.h"
#include "activity/system_context.h"
#include "rdx_activity.h"
#include "rdx_status.h"

#include <cstdio>
#include <cstring>

using namespace rdx;

namespace {

LogRecord MessageRecord(uint32_t message) {
    LogRecord record{};
    record.message = message;
    return record;
}

void FillSlots(LogRecord &record, uint32_t n1, uint32_t n2, uint32_t n3, const RDStream *t1,
               const RDStream *t2, const RDStream *t3) {
    record.args[0] = n1;
    record.args[1] = n2;
    record.args[2] = n3;
    record.streams[0] = t1;
    record.streams[1] = t2;
    record.streams[2] = t3;
}

LogRecord FreeTextRecord(uint32_t flags, const RDStream *text, uint32_t number) {
    LogRecord record =
        MessageRecord((flags & RDLOG_INFORMATIONAL) != 0 ? RDMESSAGE_INFOTEXT : kFreeTextMessage);
    record.text = text;
    record.number = number;
    return record;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDActivityLog(uint32_t message) {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    if (message == 0) return RDSTATUS_OK;
    if (message == RDSTATUS_COMMAND1 || message == RDSTATUS_COMMAND2) return message;
    if (message == kFreeTextMessage) return message; // a free text needs its text
    // A status that a connector logged during the operation is not logged
    // twice; a record fault comes with the connector's own free text.
    const LogState &log = ThreadLog();
    if (log.lastLogConnection != nullptr &&
        (log.lastLogMessage == message ||
         (message == RDSTATUS_RECORDFAULT && log.lastLogMessage == kFreeTextMessage)))
        return message;
    LogRecord record = MessageRecord(message);
    return LogEntry(record);
}

extern "C" RD_EXPORT uint32_t RDActivityLogEx(uint32_t message, uint32_t number1, uint32_t number2,
                                              uint32_t number3, const RDStream *text1,
                                              const RDStream *text2, const RDStream *text3) {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    if (message == 0) return RDSTATUS_OK;
    LogRecord record = MessageRecord(message);
    FillSlots(record, number1, number2, number3, text1, text2, text3);
    return LogEntry(record);
}

extern "C" RD_EXPORT uint32_t RDActivityLogStream(uint32_t flags, const RDStream *text,
                                                  uint32_t number) {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    LogRecord record = FreeTextRecord(flags, text, number);
    return LogEntry(record);
}

extern "C" RD_EXPORT uint32_t RDActivityLogStreamEx(uint32_t flags, const RDStream *text,
                                                    uint32_t number, uint32_t number1,
                                                    uint32_t number2, uint32_t number3,
                                                    const RDStream *text1, const RDStream *text2,
                                                    const RDStream *text3) {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    LogRecord record = FreeTextRecord(flags, text, number);
    FillSlots(record, number1, number2, number3, text1, text2, text3);
    return LogEntry(record);
}

extern "C" RD_EXPORT void RDActivityClearStatus(void) {
    if (Context() != nullptr) Context()->activity.activityStatus = 0;
}

extern "C" RD_EXPORT uint32_t RDActivityGetStatus(void) {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    return Context()->activity.activityStatus;
}

extern "C" RD_EXPORT uint32_t RDActivityGetStatusStream(uint32_t message, RDStream *out) {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    if (out == nullptr) return RDSTATUS_NOSTREAM;
    return FormatLogRecord(MessageRecord(message), false, out);
}

extern "C" RD_EXPORT uint32_t RDActivityGetLogLast(RDStream *text, uint32_t *number,
                                                   RDStream *freeText) {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    const LogState &log = ThreadLog();
    if (text != nullptr) RDStreamDataCopy(text, &log.lastLogText);
    if (number != nullptr) *number = log.lastLogNumber;
    if (freeText != nullptr) {
        if (log.lastLogNumber != 0)
            RDStreamDataCopy(freeText, &log.lastLogStream);
        else
            RDStreamDataFree(freeText);
    }
    return log.lastLogMessage;
}

extern "C" RD_EXPORT uint32_t RDActivityPrint(const RDStream *text) {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    if (const uint32_t status = CommandStatus(); status != RDSTATUS_OK) return status;
    if (text == nullptr) return RDSTATUS_OK;
    RDStream native{};
    const uint32_t status =
        RDStreamDataConvert(&native, text, 0, RDCHARSET_DEFAULT, nullptr, nullptr);
    if (status == RDSTATUS_OK) {
        // As "%s\n": the text up to its first NUL, within its length.
        const char *bytes = reinterpret_cast<const char *>(native.data);
        const std::size_t length = bytes != nullptr ? strnlen(bytes, native.length) : 0;
        if (length != 0) std::fwrite(bytes, 1, length, stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    RDStreamDataFree(&native);
    return status;
}
