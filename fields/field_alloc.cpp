// Free-standing fields: allocation, release and the plain getters.
#include "fields/field_internal.h"
#include "rdplat_mem.h"

using namespace rdx;

namespace {

// The field of a handle when set up and known, else null.
const Field *KnownField(uint32_t handle) {
    return FieldsReady() ? FindField(handle) : nullptr;
}

} // namespace

extern "C" RD_EXPORT uint32_t RDFieldAlloc(uint32_t *handle, uint32_t type, uint32_t valueCount) {
    if (handle != nullptr) *handle = 0;
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    if (handle == nullptr) return RDSTATUS_NULLARG2;
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
    const Field *field = KnownField(handle);
    return field != nullptr ? field->type : 0;
}

extern "C" RD_EXPORT uint32_t RDFieldGetValueCount(uint32_t handle) {
    const Field *field = KnownField(handle);
    return field != nullptr ? field->valueCount : 0;
}

extern "C" RD_EXPORT uint32_t RDFieldGetTypeSize(uint32_t handle) {
    const Field *field = KnownField(handle);
    return field != nullptr ? field->typeSize : 0;
}

extern "C" RD_EXPORT uint32_t RDFieldGetVirtualCode(uint32_t handle) {
    const Field *field = KnownField(handle);
    return field != nullptr ? field->virtualCode : 0;
}

extern "C" RD_EXPORT uint32_t RDFieldGetFlags(uint32_t handle) {
    const Field *field = KnownField(handle);
    return field != nullptr ? field->flags & RDFIELD_CALLER_MASK : 0;
}
