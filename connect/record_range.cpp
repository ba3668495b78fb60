// SPDX-License-Identifier: Apache-2.0
// The record-range check.
#include "connect/record_range.h"

#include "rdx_fieldlist.h"
#include "rdx_status.h"

namespace rdx {

RangeCheck CheckRange(uint32_t list, uint32_t first, uint32_t count, uint32_t *status) {
    if (count == 1 && first == 1 && list != 0) return RangeCheck::Call;
    if (count == 0) return RangeCheck::Nothing;
    *status = RDSTATUS_NOLIST;
    if (list == 0) return RangeCheck::Refused;
    *status = RDSTATUS_BADRANGE;
    if (first == 0) return RangeCheck::Refused;
    const uint64_t capacity = RDFieldlistGetRecordCount(list);
    const uint64_t last = uint64_t{first} + count - 1;
    if (capacity < last) {
        if (capacity >= count) *status = RDSTATUS_RANGELATE;
        return RangeCheck::Refused;
    }
    return RangeCheck::Call;
}

} // namespace rdx
