// SPDX-License-Identifier: Apache-2.0
// RDDatetimeFromStream: a datetime read from the text of a stream.
#include "rdx_status.h"
#include "values/datetime_internal.h"
#include "values/text_internal.h"

#include <new>

extern "C" RD_EXPORT uint32_t RDDatetimeFromStream(RDDatetime *datetime, const RDStream *stream) {
    if (datetime == nullptr || stream == nullptr) return RDSTATUS_NODATETIME;
    try {
        const rdx::text::StreamBytes bytes(*stream, RDCHARSET_INTERCHANGE);
        if (bytes.Status() != RDSTATUS_OK) return RDSTATUS_NODATETIME;
        if (rdx::text::ReadDatetime(bytes.View(), datetime) != RDSTATUS_OK)
            return RDSTATUS_NODATETIME;
    } catch (const std::bad_alloc &) {
        return RDSTATUS_NODATETIME;
    }
    return RDSTATUS_OK;
}
