// SPDX-License-Identifier: Apache-2.0
#include "connector_log.h"

#include "owned_stream.h"
#include "rdx_activity.h"
#include "rdx_status.h"
#include "secret_mask.h"

namespace rdxc {

std::string FailureLog::Hidden(std::string text) const {
    HideSecrets(text, secrets_);
    return text;
}

uint32_t FailureLog::Fail(std::string text, uint32_t detail) {
    last_ = Hidden(std::move(text));
    OwnedStream stream;
    if (stream.Set(RDCHARSET_INTERCHANGE, last_) == RDSTATUS_OK)
        RDActivityLogStream(0, stream.get(), detail); // 12321 without an activity: kept only
    return RDSTATUS_FREETEXT;
}

void FailureLog::Inform(std::string text) const {
    LogInformation(Hidden(std::move(text)));
}

void LogInformation(const std::string &text) {
    OwnedStream stream;
    if (stream.Set(RDCHARSET_INTERCHANGE, text) == RDSTATUS_OK)
        RDActivityLogStream(RDLOG_INFORMATIONAL, stream.get(), 0);
}

} // namespace rdxc
