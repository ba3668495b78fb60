// SPDX-License-Identifier: Apache-2.0
// Description items: bounded reading, packing and the merge of put-back
// values into a stored description.
#include "items.h"

#include "csmgr/message.h"
#include "rdx_numeric.h"

#include <unordered_map>

namespace rdcsm {

using rdx::csmgr::GetU32;
using rdx::csmgr::PutU32;

uint32_t ScalarSize(uint32_t type) {
    switch (type) {
    case 1:
        return 4;
    case 2:
    case 3:
    case 5:
        return 8;
    case 4:
        return sizeof(RDNumeric);
    default:
        return 0;
    }
}

namespace {

bool SizeFits(uint32_t type, uint64_t size) {
    if (type == 6 || type == 7) return size >= 1;
    return type >= 1 && type <= 7 && size == ScalarSize(type);
}

} // namespace

bool ParseItems(std::span<const uint8_t> bytes, std::size_t at, std::vector<Item> &items,
                bool closed) {
    uint64_t position = at;
    for (;;) {
        if (!closed && position == bytes.size()) return true;
        if (position + kItemHeader > bytes.size()) return false;
        Item item;
        item.type = GetU32(bytes, position);
        item.charset = GetU32(bytes, position + 4);
        item.number = GetU32(bytes, position + 8);
        const uint64_t size = GetU32(bytes, position + 12);
        if (item.type == 0) return true;
        const uint64_t valueAt = position + kItemHeader;
        if (!SizeFits(item.type, size) || valueAt + size > bytes.size()) return false;
        if ((item.type == 6 || item.type == 7) && bytes[valueAt + size - 1] != 0) return false;
        item.value.assign(reinterpret_cast<const char *>(bytes.data() + valueAt), size);
        items.push_back(std::move(item));
        position = valueAt + size;
    }
}

std::optional<bool> HasItem(std::span<const uint8_t> stored, uint32_t number) {
    // The walk of ParseItems without copying the values.
    uint64_t position = 0;
    while (position < stored.size()) {
        if (position + kItemHeader > stored.size()) return std::nullopt;
        const uint32_t type = GetU32(stored, position);
        const uint64_t size = GetU32(stored, position + 12);
        const uint64_t valueAt = position + kItemHeader;
        if (type == 0 || !SizeFits(type, size) || valueAt + size > stored.size())
            return std::nullopt;
        if (GetU32(stored, position + 8) == number) return true;
        position = valueAt + size;
    }
    return false;
}

std::string PackItems(const std::vector<Item> &items) {
    std::size_t size = 0;
    for (const Item &item : items)
        size += kItemHeader + item.value.size();
    std::string packed;
    packed.reserve(size);
    for (const Item &item : items) {
        uint8_t header[kItemHeader];
        PutU32(header, 0, item.type);
        PutU32(header, 4, item.charset);
        PutU32(header, 8, item.number);
        PutU32(header, 12, static_cast<uint32_t>(item.value.size()));
        packed.append(reinterpret_cast<const char *>(header), kItemHeader);
        packed += item.value;
    }
    return packed;
}

void MergeItems(std::vector<Item> &items, const std::vector<Item> &update) {
    // Where each number first stands, so that every item of the update is
    // placed in constant time: a put of many items stays linear.
    std::unordered_map<uint32_t, std::size_t> where;
    where.reserve(items.size() + update.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        where.emplace(items[i].number, i);
    for (const Item &item : update) {
        auto [found, added] = where.emplace(item.number, items.size());
        if (added)
            items.push_back(item);
        else
            items[found->second] = item;
    }
}

} // namespace rdcsm
