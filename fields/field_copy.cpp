// SPDX-License-Identifier: Apache-2.0
// RDFieldCopy and RDFieldConvert: a new field equal to another, and the
// conversion of a run of values from one field into another.
#include "fields/field_internal.h"
#include "fields/field_value.h"
#include "rdplat_mem.h"
#include "rdx_fieldvalue.h"

#include <algorithm>

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDFieldCopy(uint32_t *handle, uint32_t source) {
    if (handle != nullptr) *handle = 0;
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    if (handle == nullptr) return RDSTATUS_NULLARG2;
    const Field *original = FindField(source);
    if (original == nullptr) return RDSTATUS_NOFIELD;
    if (uint32_t status = FieldHandlesReserve(1); status != RDSTATUS_OK) return status;
    auto *copy = static_cast<Field *>(RDMemCalloc(sizeof(Field)));
    if (copy == nullptr) return RDSTATUS_NOMEMORY;
    if (uint32_t status = FieldClone(*copy, *original); status != RDSTATUS_OK) {
        RDMemFree(copy);
        return status;
    }
    FieldRegister(*copy);
    *handle = copy->handle;
    return RDSTATUS_OK;
}

// Converts count values from source (from sIndex) into destination (from
// dIndex), both checked. Within one field a run moving to higher positions
// is converted from its end, so no value is overwritten before it is read.
static uint32_t ConvertRun(Field &destination, uint32_t dIndex, const Field &source,
                           uint32_t sIndex, uint32_t count) {
    const uint32_t charset =
        IsStreamType(destination.type) ? destination.format[kFormatCharset] : 0;
    const bool backwards = &destination == &source && dIndex > sIndex;
    for (uint32_t step = 0; step < count; ++step) {
        const uint32_t k = backwards ? count - 1 - step : step;
        uint32_t &indicator = destination.nulls[dIndex + k - 1];
        if (source.nulls[sIndex + k - 1] != 0) {
            indicator = 1;
            continue;
        }
        const uint32_t status =
            FieldValueConvert(source.type, ValueAt(source, sIndex + k), destination.type, charset,
                              ValueAt(destination, dIndex + k));
        if (status != RDSTATUS_OK) return status;
        indicator = 0;
    }
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDFieldConvert(uint32_t destination, uint32_t dIndex, uint32_t source,
                                             uint32_t sIndex, uint32_t count) {
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    Field *to = FindField(destination);
    const Field *from = FindField(source);
    if (to == nullptr || from == nullptr) return RDSTATUS_NOFIELD;
    if (uint32_t status = CheckFieldIndex(from, sIndex); status != RDSTATUS_OK) return status;
    if (uint32_t status = CheckFieldIndex(to, dIndex); status != RDSTATUS_OK) return status;
    const uint32_t n =
        std::min({count, from->valueCount - sIndex + 1, to->valueCount - dIndex + 1});
    return ConvertRun(*to, dIndex, *from, sIndex, n);
}
