// SPDX-License-Identifier: Apache-2.0
// Reading field values as a requested type: values of the field's own type
// are copied, others converted.
#include "fields/field_internal.h"
#include "fields/field_value.h"
#include "rdx_fieldvalue.h"

#include <cstring>

using namespace rdx;

namespace {

// The checked value index of a known field, after the shared check order;
// *isNull (optional) receives its null state.
inline uint32_t Locate(uint32_t handle, uint32_t index, uint32_t *isNull, const Field **field) {
    *field = FieldWithIndex(handle, index);
    if (*field == nullptr) {
        if (isNull != nullptr) *isNull = 0;
        return FailedLookup(handle, index);
    }
    if (isNull != nullptr) *isNull = (*field)->nulls[index - 1] != 0 ? 1 : 0;
    return RDSTATUS_OK;
}

// A null value clears the output in the way of its type.
void ClearValue(uint32_t type, void *out) {
    switch (type) {
    case RDTYPE_CURRENCY:
        RDCurrencyClear(static_cast<RDCurrency *>(out));
        break;
    case RDTYPE_NUMERIC:
        RDNumericClear(static_cast<RDNumeric *>(out));
        break;
    case RDTYPE_DATETIME:
        RDDatetimeClear(static_cast<RDDatetime *>(out));
        break;
    default: // Int and Float: all bytes zero
        std::memset(out, 0, kTypeSizes[type]);
    }
}

// The value index of the field as a value of type (1-5) at out. A value of
// the field's own type is copied with its size known here.
template <typename T>
uint32_t GetValue(uint32_t handle, uint32_t index, uint32_t type, T *out, uint32_t *isNull) {
    const Field *field = nullptr;
    if (uint32_t status = Locate(handle, index, isNull, &field); status != RDSTATUS_OK)
        return status;
    if (out == nullptr) return RDSTATUS_OK;
    if (field->nulls[index - 1] != 0) {
        ClearValue(type, out);
        return RDSTATUS_OK;
    }
    const void *value = ValueAt(*field, index);
    if (field->type == type) {
        std::memcpy(out, value, sizeof(T));
        return RDSTATUS_OK;
    }
    return FieldValueConvert(field->type, value, type, 0, out);
}

} // namespace

// RDFieldGet<Name>: value index of the field as a value of type.
#define RD_FIELD_GETTER(Name, type, Value)                                                         \
    extern "C" RD_EXPORT uint32_t RDFieldGet##Name(uint32_t handle, uint32_t index, Value *value,  \
                                                   uint32_t *isNull) {                             \
        return GetValue(handle, index, type, value, isNull);                                       \
    }

RD_FIELD_GETTER(Int, RDTYPE_INT, int32_t)
RD_FIELD_GETTER(Float, RDTYPE_FLOAT, double)
RD_FIELD_GETTER(Currency, RDTYPE_CURRENCY, RDCurrency)
RD_FIELD_GETTER(Numeric, RDTYPE_NUMERIC, RDNumeric)
RD_FIELD_GETTER(Datetime, RDTYPE_DATETIME, RDDatetime)

extern "C" RD_EXPORT uint32_t RDFieldGetStream(uint32_t handle, uint32_t index, uint32_t charset,
                                               RDStream *stream, uint32_t *isNull) {
    const Field *field = nullptr;
    if (uint32_t status = Locate(handle, index, isNull, &field); status != RDSTATUS_OK)
        return status;
    if (stream == nullptr) return RDSTATUS_OK;
    if (field->nulls[index - 1] != 0) {
        RDStreamDataFree(stream);
        return RDSTATUS_OK;
    }
    const void *value = ValueAt(*field, index);
    if (IsStreamType(field->type))
        return RDStreamDataConvert(stream, static_cast<const RDStream *>(value),
                                   RDCONVERT_KEEPFORMAT, charset, nullptr, nullptr);
    const uint32_t type = (charset & RDKIND_FLAG) != 0 ? RDTYPE_BINARY : RDTYPE_TEXT;
    return FieldValueConvert(field->type, value, type, charset, stream);
}
