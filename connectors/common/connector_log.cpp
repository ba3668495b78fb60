#include "connector_log.h"

#include "owned_stream.h"
#include "rdx_activity.h"
#include "rdx_status.h"

namespace rdxc {

uint32_t FailureLog::Fail(std::string text, uint32_t detail) {
    last_ = std::move(text);
    OwnedStream stream;
    if (stream.Set(RDCHARSET_INTERCHANGE, last_) == RDSTATUS_OK)
        RDActivityLogStream(0, stream.get(), detail); // 12321 without an activity: kept only
    return RDSTATUS_FREETEXT;
}

void LogInformation(const std::string &text) {
    OwnedStream stream;
    if (stream.Set(RDCHARSET_INTERCHANGE, text) == RDSTATUS_OK)
        RDActivityLogStream(RDLOG_INFORMATIONAL, stream.get(), 0);
}

} // namespace rdxc
