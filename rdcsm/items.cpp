// Description items: bounded reading, packing and the merge of put-back
// values into a stored description.
#include "items.h"

#include "csmgr/message.h"
#include "rdx_numeric.h"

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

std::string PackItems(const std::vector<Item> &items) {
    std::string packed;
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
    for (const Item &item : update) {
        bool replaced = false;
        for (Item &stored : items) {
            if (stored.number != item.number) continue;
            stored = item;
            replaced = true;
            break;
        }
        if (!replaced) items.push_back(item);
    }
}

} // namespace rdcsm
