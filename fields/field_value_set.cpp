// SPDX-License-Identifier: Apache-2.0
// Writing field values given as any type: values of the field's own type
// are stored as they are, others converted. Only a stored value stops
// being null.
#include "fields/field_internal.h"
#include "fields/field_value.h"
#include "rdx_fieldvalue.h"
#include "rdx_text.h"
#include "translate/translation.h"
#include "values/stream_internal.h"

#include <cstring>

using namespace rdx;

namespace {

// The slot of a known field after the shared check order and the test of
// the value pointer, which gives missing its status.
inline uint32_t Locate(uint32_t handle, uint32_t index, const void *value, uint32_t missing,
                       Field **field) {
    *field = FieldWithIndex(handle, index);
    if (*field == nullptr) return FailedLookup(handle, index);
    return value == nullptr ? missing : RDSTATUS_OK;
}

template <typename T>
uint32_t SetValue(uint32_t handle, uint32_t index, uint32_t type, const T *value,
                  uint32_t missing) {
    Field *field = nullptr;
    if (uint32_t status = Locate(handle, index, value, missing, &field); status != RDSTATUS_OK)
        return status;
    void *slot = ValueAt(*field, index);
    if (field->type == type) {
        std::memcpy(slot, value, sizeof(T));
    } else if (uint32_t status = FieldValueConvert(type, value, field->type, 0, slot);
               status != RDSTATUS_OK) {
        return status;
    }
    field->nulls[index - 1] = 0;
    return RDSTATUS_OK;
}

} // namespace

// RDFieldSet<Name>: value index of the field set from a value of type;
// noValue is the status of a null value pointer.
#define RD_FIELD_SETTER(Name, type, Value, noValue)                                                \
    extern "C" RD_EXPORT uint32_t RDFieldSet##Name(uint32_t handle, uint32_t index,                \
                                                   const Value *value) {                           \
        return SetValue(handle, index, type, value, noValue);                                      \
    }

RD_FIELD_SETTER(Int, RDTYPE_INT, int32_t, RDSTATUS_NOINT)
RD_FIELD_SETTER(Float, RDTYPE_FLOAT, double, RDSTATUS_NOFLOAT)
RD_FIELD_SETTER(Currency, RDTYPE_CURRENCY, RDCurrency, RDSTATUS_NOCURRENCY)
RD_FIELD_SETTER(Numeric, RDTYPE_NUMERIC, RDNumeric, RDSTATUS_NONUMERIC)
RD_FIELD_SETTER(Datetime, RDTYPE_DATETIME, RDDatetime, RDSTATUS_NODATETIME)

namespace {

// Into a stream slot: the slot's own block takes the bytes when they fit
// it, so that a field filled record after record keeps its storage. A
// source inside the slot's storage goes through the conversion, which
// reads it before the storage goes. On failure the slot is left without
// storage, as the conversion leaves it.
uint32_t StoreStream(RDStream &slot, const RDStream &source) {
    if (!TranslationReady() || source.data == nullptr || SharesStorage(slot, source))
        return RDStreamDataConvert(&slot, &source, RDCONVERT_KEEPFORMAT, 0, nullptr, nullptr);
    slot.charset = source.charset;
    uint32_t length = source.length;
    if (uint32_t status = StreamDataSize(slot, &length); status != RDSTATUS_OK) {
        FreeStorage(DetachStorage(slot));
        return status;
    }
    if (length != 0) std::memcpy(slot.data, source.data, length);
    return RDSTATUS_OK;
}

uint32_t SetStream(Field &field, uint32_t index, const RDStream &stream) {
    void *slot = ValueAt(field, index);
    const uint32_t status =
        IsStreamType(field.type)
            ? StoreStream(*static_cast<RDStream *>(slot), stream)
            : FieldValueConvert((stream.charset & RDKIND_FLAG) != 0 ? RDTYPE_BINARY : RDTYPE_TEXT,
                                &stream, field.type, 0, slot);
    if (status == RDSTATUS_OK) field.nulls[index - 1] = 0;
    return status;
}

} // namespace

// A stream field takes the stream's data and character set and keeps its
// own maximum length and flags.
extern "C" RD_EXPORT uint32_t RDFieldSetStream(uint32_t handle, uint32_t index,
                                               const RDStream *stream) {
    Field *field = nullptr;
    if (uint32_t status = Locate(handle, index, stream, RDSTATUS_NOSTREAM, &field);
        status != RDSTATUS_OK)
        return status;
    return SetStream(*field, index, *stream);
}

// The bytes as a borrowed stream record: nothing is built or copied before
// the slot takes them.
extern "C" RD_EXPORT uint32_t RDFieldSetBytes(uint32_t handle, uint32_t index, uint32_t charset,
                                              const void *bytes, uint32_t count) {
    Field *field = FieldWithIndex(handle, index);
    if (field == nullptr) return FailedLookup(handle, index);
    if (bytes == nullptr && count != 0) return RDSTATUS_NOSTREAM;
    if (charset == 0) return RDSTATUS_BADCHARSET;
    if (!TranslationReady()) return RDSTATUS_NOTREADY;
    const RDStream view{0, count, RDSTREAM_BORROWED, charset,
                        bytes != nullptr ? static_cast<uint8_t *>(const_cast<void *>(bytes))
                                         : EmptyStreamData()};
    return SetStream(*field, index, view);
}
