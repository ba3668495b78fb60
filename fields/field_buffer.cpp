// Direct access to a value and its null indicator. These sit on the
// per-record path: a handle is one table index away from its record.
#include "fields/field_internal.h"

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDFieldGetBuffer(uint32_t handle, uint32_t index, void **value,
                                               uint32_t **indicator) {
    if (value != nullptr) *value = nullptr;
    if (indicator != nullptr) *indicator = nullptr;
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    const Field *field = FindField(handle);
    if (uint32_t status = CheckFieldIndex(field, index); status != RDSTATUS_OK) return status;
    if (value != nullptr) *value = ValueAt(*field, index);
    if (indicator != nullptr) *indicator = &field->nulls[index - 1];
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDFieldIsNull(uint32_t handle, uint32_t index) {
    if (!FieldsReady()) return 0;
    const Field *field = FindField(handle);
    if (CheckFieldIndex(field, index) != RDSTATUS_OK) return 1;
    return field->nulls[index - 1] != 0 ? 1 : 0;
}

extern "C" RD_EXPORT uint32_t RDFieldSetNull(uint32_t handle, uint32_t index, uint32_t indicator) {
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    Field *field = FindField(handle);
    if (uint32_t status = CheckFieldIndex(field, index); status != RDSTATUS_OK) return status;
    field->nulls[index - 1] = indicator;
    return RDSTATUS_OK;
}
