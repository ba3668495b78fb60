// SPDX-License-Identifier: Apache-2.0
// Free-standing fields: allocation, release and the plain getters.
#include "fields/field_internal.h"
#include "rdplat_mem.h"

using namespace rdx;

namespace {

// A member of the field of a handle when set up and known, else 0.
template <typename T> T Member(uint32_t handle, T Field::*member) {
    const Field *field = FieldsReady() ? FindField(handle) : nullptr;
    return field != nullptr ? field->*member : 0;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDFieldAlloc(uint32_t *handle, uint32_t type, uint32_t valueCount) {
    if (uint32_t status = NewHandleCheck(handle); status != RDSTATUS_OK) return status;
    if (valueCount == 0) return RDSTATUS_NOCOUNT;
    if (!ValidType(type)) return RDSTATUS_BADTYPE;
    if (uint32_t status = FieldHandlesReserve(1); status != RDSTATUS_OK) return status;
    auto *field = static_cast<Field *>(RDMemCalloc(sizeof(Field)));
    if (field == nullptr) return RDSTATUS_NOMEMORY;
    if (uint32_t status = FieldInitialise(*field, type, valueCount); status != RDSTATUS_OK) {
        RDMemFree(field);
        return status;
    }
    FieldRegister(*field);
    *handle = field->handle;
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDFieldFree(uint32_t handle) {
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    Field *field = FindField(handle);
    // Fields of a list belong to it; unknown handles are left alone.
    if (field == nullptr || field->owner != nullptr) return RDSTATUS_OK;
    FieldRelease(*field);
    RDMemFree(field);
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDFieldGetType(uint32_t handle) {
    return Member(handle, &Field::type);
}

extern "C" RD_EXPORT uint32_t RDFieldGetValueCount(uint32_t handle) {
    return Member(handle, &Field::valueCount);
}

extern "C" RD_EXPORT uint32_t RDFieldGetTypeSize(uint32_t handle) {
    return Member(handle, &Field::typeSize);
}

extern "C" RD_EXPORT uint32_t RDFieldGetVirtualCode(uint32_t handle) {
    return Member(handle, &Field::virtualCode);
}

extern "C" RD_EXPORT uint32_t RDFieldGetFlags(uint32_t handle) {
    return Member(handle, &Field::flags) & RDFIELD_CALLER_MASK;
}
