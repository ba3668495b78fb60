// SPDX-License-Identifier: Apache-2.0
// Direct access to a value and its null indicator. These sit on the
// per-record path: a handle is one table index away from its record, and
// the checks of the frequent good case are folded into one comparison
// (the table finds nothing while the registries are not set up).
#include "fields/field_internal.h"

using namespace rdx;

namespace rdx {

[[gnu::noinline]] uint32_t FailedLookup(uint32_t handle, uint32_t index) {
    if (!FieldsReady()) return RDSTATUS_NOTREADY;
    return CheckFieldIndex(FindField(handle), index);
}

} // namespace rdx

extern "C" RD_EXPORT uint32_t RDFieldGetBuffer(uint32_t handle, uint32_t index, void **value,
                                               uint32_t **indicator) {
    const Field *field = FieldWithIndex(handle, index);
    if (field == nullptr) {
        if (value != nullptr) *value = nullptr;
        if (indicator != nullptr) *indicator = nullptr;
        return FailedLookup(handle, index);
    }
    if (value != nullptr) *value = ValueAt(*field, index);
    if (indicator != nullptr) *indicator = &field->nulls[index - 1];
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT uint32_t RDFieldIsNull(uint32_t handle, uint32_t index) {
    const Field *field = FieldWithIndex(handle, index);
    if (field == nullptr) return FieldsReady() ? 1 : 0;
    return field->nulls[index - 1] != 0 ? 1 : 0;
}

extern "C" RD_EXPORT uint32_t RDFieldSetNull(uint32_t handle, uint32_t index, uint32_t indicator) {
    Field *field = FieldWithIndex(handle, index);
    if (field == nullptr) return FailedLookup(handle, index);
    field->nulls[index - 1] = indicator;
    return RDSTATUS_OK;
}
