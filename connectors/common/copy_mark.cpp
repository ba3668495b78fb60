// SPDX-License-Identifier: Apache-2.0
#include "copy_mark.h"

#include "connector_resume.h"
#include "property_value.h"
#include "rdx_status.h"

namespace rdxc {

uint32_t CopyMark::SetProperty(uint32_t index, uint32_t field, FailureLog &log) {
    if (index != kMarkName && index != kMark) return RDSTATUS_BADPROPERTY;
    std::string text;
    if (uint32_t status = GetText(field, text); status != RDSTATUS_OK) return status;
    const std::string what = index == kMarkName ? "MarkName" : "Mark";
    const size_t most = index == kMarkName ? kMostName : kMostText;
    if (text.find('\0') != std::string::npos) return log.Fail(what + " holds a NUL byte");
    if (text.size() > most)
        return log.Fail(what + " holds " + std::to_string(text.size()) + " bytes, more than " +
                        std::to_string(most));
    if (index == kMark) {
        Set(std::move(text));
    } else if (text != name_) {
        // Another copy's mark: read at the next connect.
        name_ = std::move(text);
        Forget();
    }
    return RDSTATUS_OK;
}

std::string CopyMark::Conflict(const std::string &where, const std::string &notWritten) const {
    return "Another run of " + name_ + " has written to " + where +
           " since this run read its mark; this run's " + notWritten + " is not written.";
}

uint32_t CopyMark::GetProperty(uint32_t index, uint32_t field) const {
    if (index == kMarkName) return PutText(field, name_);
    if (index == kMark) return PutText(field, text_);
    return RDSTATUS_BADPROPERTY;
}

} // namespace rdxc
