// SPDX-License-Identifier: Apache-2.0
// The incremental read properties.
#include "incremental_read.h"

#include "key_compare.h"
#include "rdx_status.h"

namespace rdxc {

bool IncrementalRead::Handles(uint32_t index) {
    return index == PropertyIndex(kIncrementalKey) || index == PropertyIndex(kIncrementalFrom) ||
           index == PropertyIndex(kIncrementalOp);
}

uint32_t IncrementalRead::SetProperty(uint32_t index, uint32_t field, FailureLog &log) {
    if (index == PropertyIndex(kIncrementalKey)) return GetText(field, key);
    if (index == PropertyIndex(kIncrementalFrom)) return GetText(field, from);
    std::string text;
    if (uint32_t status = GetText(field, text); status != RDSTATUS_OK) return status;
    bool orEqual = false;
    if (!ParseKeyOp(text, orEqual))
        return log.Fail("IncrementalOp is \">\" or \">=\", not \"" + text + "\"");
    op = orEqual ? ">=" : ">";
    return RDSTATUS_OK;
}

uint32_t IncrementalRead::GetProperty(uint32_t index, uint32_t field) const {
    if (index == PropertyIndex(kIncrementalKey)) return PutText(field, key);
    if (index == PropertyIndex(kIncrementalFrom)) return PutText(field, from);
    return PutText(field, op);
}

} // namespace rdxc
