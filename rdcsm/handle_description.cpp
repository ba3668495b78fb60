// The descriptions: read whole (code 10, the answer grows in 2048-byte
// pieces, items from byte 25) and put back (code 11, items from byte 24,
// merged into the stored description by number).
#include "items.h"
#include "requests.h"

#include "rdx_field.h"
#include "rdx_status.h"
#include "rdx_stream.h"

#include <cstring>

namespace rdcsm {

using namespace rdx::csmgr;

namespace {

// The built-in property that holds an activity's or link's name.
constexpr uint32_t kNameProperty = 0x30004;

std::optional<std::string> ReadDescription(Store &store, int64_t object) {
    Statement read(store.Db(), "SELECT description FROM objects WHERE handle = ?");
    read.Bind(1, object);
    if (!read.Step()) return std::nullopt;
    return read.Blob(0);
}

// The description as it is answered: the stored items, and an activity's
// name as its Name property when the stored items do not set one, so that
// an activity started by a host knows its own name. (A link's connections
// keep the connector's name.)
std::optional<std::string> AnsweredDescription(Store &store, int64_t object) {
    Statement read(store.Db(), "SELECT description, name, kind FROM objects WHERE handle = ?");
    read.Bind(1, object);
    if (!read.Step()) return std::nullopt;
    std::string description = read.Blob(0);
    if (read.Int(2) != kActivity) return description;
    std::vector<Item> items;
    const auto *stored = reinterpret_cast<const uint8_t *>(description.data());
    if (!ParseItems({stored, description.size()}, 0, items, false)) return description;
    for (const Item &item : items)
        if (item.number == kNameProperty) return description;
    items.push_back(Item{RDTYPE_TEXT, RDCHARSET_INTERCHANGE, kNameProperty,
                         read.Text(1) + std::string(1, '\0')});
    return PackItems(items);
}

// The size of a growable answer: needed bytes rounded up to the first
// buffer and whole pieces after it.
std::size_t GrownSize(std::size_t needed, std::size_t first) {
    if (needed <= first) return first;
    return first + (needed - first + kPiece - 1) / kPiece * kPiece;
}

} // namespace

uint32_t HandleGetDescription(Exchange &exchange) {
    auto resolved = exchange.store().Resolve(GetU32(exchange.request, kWord20));
    if (!resolved) return RDSTATUS_CSMNOHANDLE;
    auto description = AnsweredDescription(exchange.store(), resolved->object);
    if (!description) return RDSTATUS_CSMNOHANDLE;
    const std::size_t needed = kGetItemsAt + description->size() + kItemHeader;
    if (needed > kMaxRequest * 4ull) return RDSTATUS_CSMSTORE;
    exchange.answer.assign(GrownSize(needed, kPiece), 0);
    if (!description->empty())
        std::memcpy(exchange.answer.data() + kGetItemsAt, description->data(), description->size());
    return 0;
}

uint32_t HandlePutDescription(Exchange &exchange) {
    std::vector<Item> update;
    if (!ParseItems(exchange.request, kPutItemsAt, update)) return RDSTATUS_CSMBADREQUEST;
    Store &store = exchange.store();
    auto resolved = store.Resolve(GetU32(exchange.request, kWord20));
    if (!resolved) return RDSTATUS_CSMNOHANDLE;
    auto description = ReadDescription(store, resolved->object);
    if (!description) return RDSTATUS_CSMNOHANDLE;
    std::vector<Item> items;
    const auto *stored = reinterpret_cast<const uint8_t *>(description->data());
    if (!ParseItems({stored, description->size()}, 0, items, false)) return RDSTATUS_CSMSTORE;
    MergeItems(items, update);
    const std::string packed = PackItems(items);
    Statement write(store.Db(), "UPDATE objects SET description = ? WHERE handle = ?");
    write.BindBlob(1, {reinterpret_cast<const uint8_t *>(packed.data()), packed.size()})
        .Bind(2, resolved->object)
        .Run();
    return 0;
}

} // namespace rdcsm
