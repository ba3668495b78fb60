// SPDX-License-Identifier: Apache-2.0
// Single values into and out of non-text streams: the raw bytes of a
// value (RDKIND_BINARY), or a number or datetime list of one value.
#include "fields/field_value.h"
#include "fields/value_list_image.h"

#include "rdx_currency.h"
#include "rdx_datetime.h"
#include "rdx_field.h"
#include "rdx_numeric.h"
#include "rdx_status.h"
#include "rdx_valuelist.h"

#include <cstring>

namespace rdx {
namespace {

using lists::kItemSize;
using lists::kValueHeader;

constexpr uint32_t kOneValueList = kValueHeader + kItemSize;

size_t ValueSize(uint32_t type) {
    switch (type) {
    case RDTYPE_INT:
        return sizeof(int32_t);
    case RDTYPE_NUMERIC:
        return sizeof(RDNumeric);
    default: // Float, Currency and Datetime are 8 bytes
        return kItemSize;
    }
}

// The first entry of a checked list as a value of type to: a double for
// the number types, a datetime as it lies.
uint32_t FirstEntry(const lists::ValueListImage &image, uint32_t to, void *destination) {
    const bool empty = image.count == 0 && image.rangeCount == 0;
    if (to == RDTYPE_DATETIME) {
        auto *out = static_cast<RDDatetime *>(destination);
        if (empty)
            RDDatetimeClear(out);
        else
            std::memcpy(out, image.values, sizeof *out);
        return RDSTATUS_OK;
    }
    double value = 0;
    if (!empty) std::memcpy(&value, image.values, sizeof value);
    switch (to) {
    case RDTYPE_INT:
        return TruncateToInt(value, static_cast<int32_t *>(destination));
    case RDTYPE_FLOAT:
        std::memcpy(destination, &value, sizeof value);
        return RDSTATUS_OK;
    case RDTYPE_CURRENCY:
        return RDCurrencyFromFloat(static_cast<RDCurrency *>(destination), &value);
    default:
        return RDNumericFromFloat(static_cast<RDNumeric *>(destination), &value);
    }
}

// The list in list (already of the wanted kind) into destination.
uint32_t FromList(const RDStream &list, uint32_t kind, uint32_t to, void *destination) {
    lists::ValueListImage image{};
    if (!lists::ReadValueList(&list, kind, &image)) {
        // Too short for a header: empty. A header that claims more than
        // the stream holds is refused.
        if (list.length >= kValueHeader)
            return kind == RDKIND_DATETIMELIST ? RDSTATUS_NOTDATETIMELIST : RDSTATUS_NOTNUMBERLIST;
        image = {};
    }
    const uint32_t status = FirstEntry(image, to, destination);
    if (status != RDSTATUS_OK) return status;
    return image.count + image.rangeCount > 1 || image.rangeCount != 0 ? RDSTATUS_NOFIT
                                                                       : RDSTATUS_OK;
}

// Stores bytes as the whole content of destination; a list that cannot be
// held whole (a short maximum length) is refused, never cut.
uint32_t StoreWhole(RDStream *destination, uint32_t kind, const void *bytes, uint32_t count,
                    bool whole) {
    uint8_t *data = nullptr;
    uint32_t granted = 0;
    const uint32_t status = RDStreamDataAlloc(destination, kind, count, &data, &granted);
    if (status != RDSTATUS_OK) return status;
    if (whole && granted < count) {
        RDStreamDataAlloc(destination, kind, 0, nullptr, nullptr);
        return RDSTATUS_NOFIT;
    }
    std::memcpy(data, bytes, granted);
    return RDSTATUS_OK;
}

} // namespace

uint32_t ValueFromListStream(const RDStream &source, uint32_t to, void *destination) {
    const size_t size = ValueSize(to);
    if (source.charset == RDKIND_BINARY) {
        if (source.length < size || source.data == nullptr)
            std::memset(destination, 0, size);
        else
            std::memcpy(destination, source.data, size);
        return RDSTATUS_OK;
    }
    const uint32_t kind = to == RDTYPE_DATETIME ? RDKIND_DATETIMELIST : RDKIND_NUMBERLIST;
    if (source.charset == kind) return FromList(source, kind, to, destination);
    RDStream scratch{};
    uint32_t status = RDStreamDataConvert(
        &scratch, &source, RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT, kind, nullptr, nullptr);
    if (status == RDSTATUS_OK) status = FromList(scratch, kind, to, destination);
    RDStreamDataFree(&scratch);
    return status;
}

uint32_t ListStreamFromValue(uint32_t from, const void *source, uint32_t kind,
                             RDStream *destination) {
    if (kind == RDKIND_BINARY)
        return StoreWhole(destination, kind, source, static_cast<uint32_t>(ValueSize(from)), false);
    const bool datetimes = kind == RDKIND_DATETIMELIST;
    if ((kind != RDKIND_NUMBERLIST && !datetimes) || datetimes != (from == RDTYPE_DATETIME))
        return RDSTATUS_BADKINDS;
    uint8_t image[kOneValueList] = {1, 0, 0, 0};
    if (datetimes) {
        std::memcpy(image + kValueHeader, source, kItemSize);
    } else {
        double value = 0;
        if (uint32_t status = FloatFromValue(from, source, &value); status != RDSTATUS_OK)
            return status;
        std::memcpy(image + kValueHeader, &value, kItemSize);
    }
    return StoreWhole(destination, kind, image, kOneValueList, true);
}

} // namespace rdx
