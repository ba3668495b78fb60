// SPDX-License-Identifier: Apache-2.0
// The typed short-cuts of the property functions: each goes through the
// activity's scratch field of its type.
#include "activity/activity_lifecycle.h"
#include "activity/property_lookup.h"
#include "activity/system_context.h"
#include "rdx_activity.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"

#include <cstring>

namespace rdx {

namespace {

uint32_t OpenCheck() {
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    return CommandStatus();
}

// The scratch field of type, allocated on first use: 0 or 258.
uint32_t ScratchField(uint32_t type, uint32_t *field) {
    uint32_t &slot = Context()->activity.scratchFields[type - 1];
    if (slot == 0) {
        if (const uint32_t status = RDFieldAlloc(&slot, type, 1); status != RDSTATUS_OK)
            return status;
    }
    *field = slot;
    return RDSTATUS_OK;
}

// Gets number as type and, when a value came, hands its address to copy. A
// value stored in a set with the type asked for (for texts: either stream
// type) is handed over directly; others go through the scratch field of
// type, which is emptied first so that a failed get never hands out the
// value of an earlier one.
template <typename Copy>
uint32_t GetTyped(uint32_t number, const void *destination, uint32_t type, Copy copy) {
    if (number == 0) return RDSTATUS_BADPROPERTY;
    if (destination == nullptr) return RDSTATUS_NULLARG1;
    uint32_t storedType = 0;
    void *stored = nullptr;
    if (FindStoredProperty(number, &storedType, &stored) &&
        (storedType == type || (type == RDTYPE_TEXT && storedType == RDTYPE_BINARY)))
        return stored != nullptr ? copy(stored) : RDSTATUS_OK;
    uint32_t field = 0;
    if (const uint32_t status = ScratchField(type, &field); status != RDSTATUS_OK) return status;
    RDFieldSetNull(field, 1, 1);
    const uint32_t status = RDActivityGetProperty(number, field);
    void *value = nullptr;
    uint32_t *indicator = nullptr;
    if (RDFieldGetBuffer(field, 1, &value, &indicator) != RDSTATUS_OK || *indicator != 0)
        return status;
    const uint32_t copied = copy(value);
    return status != RDSTATUS_OK ? status : copied;
}

template <typename T> uint32_t GetPlain(uint32_t number, T *destination, uint32_t type) {
    return GetTyped(number, destination, type, [destination](const void *value) {
        std::memcpy(destination, value, sizeof(T));
        return RDSTATUS_OK;
    });
}

// Fills the scratch field of type with the value (null for a null value)
// and sets number from it.
template <typename Fill>
uint32_t SetTyped(uint32_t number, const void *value, uint32_t type, Fill fill) {
    if (const uint32_t status = OpenCheck(); status != RDSTATUS_OK) return status;
    if (number == 0) return RDSTATUS_BADPROPERTY;
    uint32_t field = 0;
    if (const uint32_t status = ScratchField(type, &field); status != RDSTATUS_OK) return status;
    const uint32_t status = value == nullptr ? RDFieldSetNull(field, 1, 1) : fill(field);
    if (status != RDSTATUS_OK) return status;
    return RDActivitySetProperty(number, field);
}

template <typename T> uint32_t SetPlain(uint32_t number, const T *value, uint32_t type) {
    return SetTyped(number, value, type, [value](uint32_t field) {
        void *slot = nullptr;
        uint32_t *indicator = nullptr;
        if (const uint32_t status = RDFieldGetBuffer(field, 1, &slot, &indicator);
            status != RDSTATUS_OK)
            return status;
        std::memcpy(slot, value, sizeof(T));
        *indicator = 0;
        return RDSTATUS_OK;
    });
}

} // namespace

void FreeScratchFields() {
    for (uint32_t &field : Context()->activity.scratchFields) {
        if (field != 0) RDFieldFree(field);
        field = 0;
    }
}

} // namespace rdx

using namespace rdx;

extern "C" RD_EXPORT uint32_t RDActivityGetPropertyInt(uint32_t number, int32_t *value) {
    if (value != nullptr) *value = 0;
    if (const uint32_t status = OpenCheck(); status != RDSTATUS_OK) return status;
    return GetPlain(number, value, RDTYPE_INT);
}

extern "C" RD_EXPORT uint32_t RDActivityGetPropertyFloat(uint32_t number, double *value) {
    if (value != nullptr) *value = 0;
    if (const uint32_t status = OpenCheck(); status != RDSTATUS_OK) return status;
    return GetPlain(number, value, RDTYPE_FLOAT);
}

extern "C" RD_EXPORT uint32_t RDActivityGetPropertyCurrency(uint32_t number, RDCurrency *value) {
    if (const uint32_t status = OpenCheck(); status != RDSTATUS_OK) return status;
    if (value != nullptr) RDCurrencyClear(value);
    return GetPlain(number, value, RDTYPE_CURRENCY);
}

extern "C" RD_EXPORT uint32_t RDActivityGetPropertyNumeric(uint32_t number, RDNumeric *value) {
    if (const uint32_t status = OpenCheck(); status != RDSTATUS_OK) return status;
    if (value != nullptr) RDNumericClear(value);
    return GetPlain(number, value, RDTYPE_NUMERIC);
}

extern "C" RD_EXPORT uint32_t RDActivityGetPropertyDatetime(uint32_t number, RDDatetime *value) {
    if (const uint32_t status = OpenCheck(); status != RDSTATUS_OK) return status;
    if (value != nullptr) RDDatetimeClear(value);
    return GetPlain(number, value, RDTYPE_DATETIME);
}

extern "C" RD_EXPORT uint32_t RDActivityGetPropertyStream(uint32_t number, uint32_t charset,
                                                          RDStream *value) {
    if (const uint32_t status = OpenCheck(); status != RDSTATUS_OK) return status;
    if (value != nullptr) RDStreamDataFree(value);
    return GetTyped(number, value, RDTYPE_TEXT, [value, charset](const void *stored) {
        return RDStreamDataConvert(value, static_cast<const RDStream *>(stored), RDCONVERT_LITERAL,
                                   charset, nullptr, nullptr);
    });
}

extern "C" RD_EXPORT uint32_t RDActivityGetPropertyBoolean(uint32_t number, uint32_t fallback) {
    int32_t value = 0;
    if (RDActivityGetPropertyInt(number, &value) != RDSTATUS_OK) return fallback;
    return value != 0 ? 1 : 0;
}

extern "C" RD_EXPORT uint32_t RDActivitySetPropertyInt(uint32_t number, const int32_t *value) {
    return SetPlain(number, value, RDTYPE_INT);
}

extern "C" RD_EXPORT uint32_t RDActivitySetPropertyFloat(uint32_t number, const double *value) {
    return SetPlain(number, value, RDTYPE_FLOAT);
}

extern "C" RD_EXPORT uint32_t RDActivitySetPropertyCurrency(uint32_t number,
                                                            const RDCurrency *value) {
    return SetPlain(number, value, RDTYPE_CURRENCY);
}

extern "C" RD_EXPORT uint32_t RDActivitySetPropertyNumeric(uint32_t number,
                                                           const RDNumeric *value) {
    return SetPlain(number, value, RDTYPE_NUMERIC);
}

extern "C" RD_EXPORT uint32_t RDActivitySetPropertyDatetime(uint32_t number,
                                                            const RDDatetime *value) {
    return SetPlain(number, value, RDTYPE_DATETIME);
}

extern "C" RD_EXPORT uint32_t RDActivitySetPropertyStream(uint32_t number, const RDStream *value) {
    return SetTyped(number, value, RDTYPE_TEXT,
                    [value](uint32_t field) { return RDFieldSetStream(field, 1, value); });
}
