// SPDX-License-Identifier: Apache-2.0
// The typed short-cuts of connection properties: values pass through one
// scratch field per type, kept until the activity ends.
#include "activity/property_set.h"
#include "connect/connection.h"
#include "rdx_connect.h"
#include "rdx_field.h"
#include "rdx_status.h"

#include <cstring>

namespace rdx {

uint32_t ScratchField(uint32_t type, uint32_t *field) {
    uint32_t &scratch = Connections().scratchFields[type];
    if (scratch == 0) {
        if (const uint32_t status = RDFieldAlloc(&scratch, type, 1); status != RDSTATUS_OK) {
            scratch = 0;
            return status;
        }
    }
    *field = scratch;
    return RDSTATUS_OK;
}

namespace {

// Value 1 of field set to a copy of value (null: a null value); streams are
// borrowed in their own set.
uint32_t Fill(uint32_t field, uint32_t type, const void *value) {
    if (value == nullptr) return RDFieldSetNull(field, 1, 1);
    void *slot = nullptr;
    uint32_t *indicator = nullptr;
    if (const uint32_t status = RDFieldGetBuffer(field, 1, &slot, &indicator);
        status != RDSTATUS_OK)
        return status;
    if (type == RDTYPE_TEXT || type == RDTYPE_BINARY) {
        const uint32_t status =
            RDStreamDataConvert(static_cast<RDStream *>(slot), static_cast<const RDStream *>(value),
                                RDCONVERT_BORROW, 0, nullptr, nullptr);
        if (status != RDSTATUS_OK) return status;
    } else {
        std::memcpy(slot, value, PropertyValueSize(type));
    }
    *indicator = 0;
    return RDSTATUS_OK;
}

// The scratch field of type holding a copy of value (null: a null value).
uint32_t FilledScratch(uint32_t type, const void *value, uint32_t *field) {
    if (const uint32_t status = ScratchField(type, field); status != RDSTATUS_OK) return status;
    return Fill(*field, type, value);
}

// The scratch field of type, emptied for a get: a connector that stores
// nothing must not hand out the value of an earlier get.
uint32_t EmptyScratch(uint32_t type, uint32_t *field) {
    if (const uint32_t status = ScratchField(type, field); status != RDSTATUS_OK) return status;
    RDFieldSetNull(*field, 1, 1);
    return RDSTATUS_OK;
}

// Value 1 of a scratch field, or null when it is null.
const void *ScratchValue(uint32_t field) {
    void *value = nullptr;
    uint32_t *indicator = nullptr;
    if (RDFieldGetBuffer(field, 1, &value, &indicator) != RDSTATUS_OK || *indicator != 0)
        return nullptr;
    return value;
}

// Reads a property into the scratch field of type; *slot is its value, or
// null for a null value.
uint32_t Read(uint32_t handle, uint32_t number, uint32_t type, const void **slot) {
    *slot = nullptr;
    if (const uint32_t status = ConnectCheck(true); status != RDSTATUS_OK) return status;
    uint32_t field = 0;
    if (const uint32_t status = EmptyScratch(type, &field); status != RDSTATUS_OK) return status;
    if (const uint32_t status = RDConnectGetProperty(handle, number, field); status != RDSTATUS_OK)
        return status;
    *slot = ScratchValue(field);
    return RDSTATUS_OK;
}

template <typename T> uint32_t Get(uint32_t handle, uint32_t number, uint32_t type, T *out) {
    if (number == 0) return RDSTATUS_BADPROPERTY;
    if (out == nullptr) return RDSTATUS_NULLARG1;
    const void *value = nullptr;
    const uint32_t status = Read(handle, number, type, &value);
    if (value != nullptr) std::memcpy(out, value, sizeof(T));
    return status;
}

template <typename T>
uint32_t Set(uint32_t handle, uint32_t number, uint32_t type, const T *value) {
    if (number == 0) return RDSTATUS_BADPROPERTY;
    if (const uint32_t status = ConnectCheck(true); status != RDSTATUS_OK) return status;
    uint32_t field = 0;
    if (const uint32_t status = FilledScratch(type, value, &field); status != RDSTATUS_OK)
        return status;
    return RDConnectSetProperty(handle, number, field);
}

} // namespace

uint32_t SetConnectionPropertyValue(ConnectionRecord *c, uint32_t number, uint32_t type,
                                    const void *value) {
    uint32_t field = 0;
    if (PropertyValueSize(type) == 0) return RDSTATUS_BADTYPE;
    if (const uint32_t status = FilledScratch(type, value, &field); status != RDSTATUS_OK)
        return status;
    return SetConnectionProperty(c, number, field);
}

uint32_t ReadPropertyQuietly(ConnectionRecord *c, uint32_t number, RDStream *out) {
    uint32_t field = 0;
    if (const uint32_t status = EmptyScratch(RDTYPE_TEXT, &field); status != RDSTATUS_OK)
        return status;
    if (const uint32_t status = GetConnectionProperty(c, number, field, true);
        status != RDSTATUS_OK)
        return status;
    const void *value = ScratchValue(field);
    if (value == nullptr) return RDSTATUS_NOSTREAM;
    return RDStreamDataConvert(out, static_cast<const RDStream *>(value), RDCONVERT_LITERAL, 0,
                               nullptr, nullptr);
}

} // namespace rdx

using namespace rdx;

// RDConnectGetProperty<Name>: the property into *value as a value of type;
// clear first empties *value (number: the property asked for).
#define RD_CONNECT_GETTER(Name, type, Value, clear)                                                \
    extern "C" RD_EXPORT uint32_t RDConnectGetProperty##Name(uint32_t handle, uint32_t number,     \
                                                             Value *value) {                       \
        if (value != nullptr) clear;                                                               \
        return Get(handle, number, type, value);                                                   \
    }

RD_CONNECT_GETTER(Int, RDTYPE_INT, int32_t, *value = 0)
RD_CONNECT_GETTER(Float, RDTYPE_FLOAT, double, *value = 0)
RD_CONNECT_GETTER(Currency, RDTYPE_CURRENCY, RDCurrency,
                  number != 0 ? RDCurrencyClear(value) : void())
RD_CONNECT_GETTER(Numeric, RDTYPE_NUMERIC, RDNumeric, number != 0 ? RDNumericClear(value) : void())
RD_CONNECT_GETTER(Datetime, RDTYPE_DATETIME, RDDatetime,
                  number != 0 ? RDDatetimeClear(value) : void())

extern "C" RD_EXPORT uint32_t RDConnectGetPropertyStream(uint32_t handle, uint32_t number,
                                                         uint32_t charset, RDStream *value) {
    if (number == 0) return RDSTATUS_BADPROPERTY;
    if (value == nullptr) return RDSTATUS_NULLARG1;
    RDStreamDataFree(value);
    const void *stored = nullptr;
    const uint32_t status = Read(handle, number, RDTYPE_TEXT, &stored);
    if (status != RDSTATUS_OK || stored == nullptr) return status;
    return RDStreamDataConvert(value, static_cast<const RDStream *>(stored), RDCONVERT_LITERAL,
                               charset, nullptr, nullptr);
}

extern "C" RD_EXPORT uint32_t RDConnectGetPropertyBoolean(uint32_t handle, uint32_t number,
                                                          uint32_t fallback) {
    int32_t value = 0;
    if (RDConnectGetPropertyInt(handle, number, &value) != RDSTATUS_OK) return fallback;
    return value != 0 ? 1 : 0;
}

// RDConnectSetProperty<Name>: the property set to *value as a value of type.
#define RD_CONNECT_SETTER(Name, type, Value)                                                       \
    extern "C" RD_EXPORT uint32_t RDConnectSetProperty##Name(uint32_t handle, uint32_t number,     \
                                                             const Value *value) {                 \
        return Set(handle, number, type, value);                                                   \
    }

RD_CONNECT_SETTER(Int, RDTYPE_INT, int32_t)
RD_CONNECT_SETTER(Float, RDTYPE_FLOAT, double)
RD_CONNECT_SETTER(Currency, RDTYPE_CURRENCY, RDCurrency)
RD_CONNECT_SETTER(Numeric, RDTYPE_NUMERIC, RDNumeric)
RD_CONNECT_SETTER(Datetime, RDTYPE_DATETIME, RDDatetime)
RD_CONNECT_SETTER(Stream, RDTYPE_TEXT, RDStream)
