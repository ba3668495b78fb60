// SPDX-License-Identifier: Apache-2.0
// Reading a description answer into a property set, bounded by the bytes
// received and by the exact value size of each type.
#include "csmgr/description.h"

#include "activity/property_set.h"
#include "rdx_datetime.h"
#include "rdx_numeric.h"
#include "rdx_status.h"
#include "rdx_stream.h"

#include <bit>
#include <cstring>

namespace rdx::csmgr {

namespace {

static_assert(std::endian::native == std::endian::little);

struct Item {
    uint32_t type, charset, number, size;
    ConstBytes value;
};

// True for the types a description may hold (1-7).
bool KnownType(uint32_t type) {
    return type >= 1 && type <= 7;
}

// The wire size a value of type must have: exact for the scalar types, at
// least the NUL for texts.
bool SizeFits(uint32_t type, uint32_t size) {
    if (type == 6 || type == 7) return size >= 1;
    if (type == 5) return size == 8;
    return size == PropertyValueSize(type);
}

// Adds one item of a known type and fitting size.
uint32_t AddItem(PropertySet *set, const Item &item) {
    if (item.type == 6 || item.type == 7) {
        RDStream text{};
        uint32_t status = RDStreamDataSet(&text, item.charset, item.value.data(), item.size - 1);
        if (status == 0) status = PropertySetAdd(set, item.number, item.type, &text);
        RDStreamDataFree(&text);
        return status;
    }
    if (item.type == 5) {
        RDDatetime value{GetU32(item.value, 0), GetU32(item.value, 4)};
        return PropertySetAdd(set, item.number, item.type, &value);
    }
    // Int, Float, Currency and Numeric travel as their little-endian images.
    alignas(16) uint8_t value[64];
    static_assert(sizeof value >= sizeof(RDNumeric));
    std::memcpy(value, item.value.data(), item.size);
    return PropertySetAdd(set, item.number, item.type, value);
}

} // namespace

uint32_t ReadDescription(ConstBytes answer, PropertySet *set) {
    uint64_t at = kGetItemsAt;
    for (;;) {
        if (at + kItemHeader > answer.size()) return RDSTATUS_EXCHANGE;
        Item item{GetU32(answer, at),
                  GetU32(answer, at + 4),
                  GetU32(answer, at + 8),
                  GetU32(answer, at + 12),
                  {}};
        if (item.type == 0) return 0;
        const uint64_t valueAt = at + kItemHeader;
        if (!KnownType(item.type) || !SizeFits(item.type, item.size) ||
            valueAt + item.size > answer.size())
            return RDSTATUS_EXCHANGE;
        item.value = answer.subspan(valueAt, item.size);
        uint32_t status = AddItem(set, item);
        if (status != 0) return status;
        at = valueAt + item.size;
    }
}

} // namespace rdx::csmgr
