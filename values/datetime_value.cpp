// SPDX-License-Identifier: Apache-2.0
// The datetime record as a value: clearing, copying, the constants and the
// two halves one by one.
#include "values/datetime_internal.h"

using namespace rdx::dt;

namespace {

// Stores value in word; a value beyond limit (other than "absent") stores
// the limit and gives 12801.
uint32_t StoreLimited(uint32_t &word, uint32_t value, uint32_t limit) {
    if (value > limit && value != RDDT_ABSENT) {
        word = limit;
        return RDSTATUS_NOFIT;
    }
    word = value;
    return RDSTATUS_OK;
}

} // namespace

extern "C" {

RD_EXPORT void RDDatetimeClear(RDDatetime *datetime) {
    if (datetime != nullptr) *datetime = RDDatetime{RDDT_ABSENT, RDDT_ABSENT};
}

RD_EXPORT void RDDatetimeCopy(RDDatetime *destination, const RDDatetime *source) {
    if (destination == nullptr) return;
    if (source == nullptr)
        RDDatetimeClear(destination);
    else
        *destination = *source;
}

RD_EXPORT uint32_t RDDatetimeSetConstant(RDDatetime *datetime, uint32_t code) {
    if (datetime == nullptr) return RDSTATUS_NODATETIME;
    switch (code) {
    case RDDT_MINIMUM:
        *datetime = RDDatetime{0, 0};
        return RDSTATUS_OK;
    case RDDT_MAXIMUM:
        *datetime = RDDatetime{0, RDDT_MAX_DAY};
        return RDSTATUS_OK;
    case RDDT_NONE:
        RDDatetimeClear(datetime);
        return RDSTATUS_OK;
    default:
        return RDSTATUS_NODATETIME;
    }
}

RD_EXPORT uint32_t RDDatetimeGetJulian(const RDDatetime *datetime) {
    if (datetime == nullptr) return 0;
    return HasDate(*datetime) ? datetime->date & kDayMask : RDDT_ABSENT;
}

RD_EXPORT uint32_t RDDatetimeSetJulian(RDDatetime *datetime, uint32_t day) {
    if (datetime == nullptr) return RDSTATUS_NODATETIME;
    return StoreLimited(datetime->date, day, RDDT_MAX_DAY);
}

RD_EXPORT uint32_t RDDatetimeGetTicks(const RDDatetime *datetime) {
    return datetime == nullptr ? 0 : datetime->ticks;
}

RD_EXPORT uint32_t RDDatetimeSetTicks(RDDatetime *datetime, uint32_t ticks) {
    if (datetime == nullptr) return RDSTATUS_NODATETIME;
    return StoreLimited(datetime->ticks, ticks, RDDT_MAX_TICKS);
}

} // extern "C"
