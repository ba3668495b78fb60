// SPDX-License-Identifier: Apache-2.0
// The descriptions: read whole (code 10, the answer grows in 2048-byte
// pieces, items from byte 25) and put back (code 11, items from byte 24,
// merged into the stored description by number). Both hold the store's lock
// only to read and to write: the merge, which for a large put is most of the
// work, is done off it.
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
// Merges made off the lock and found stale (another request changed the
// description meanwhile) before the last try, which holds the lock throughout.
constexpr int kTries = 3;

// An object's description as stored, and what its answer may add.
struct Stored {
    int64_t object = 0;
    std::string description;
    std::string name;
    bool activity = false;
};

std::span<const uint8_t> BytesOf(const std::string &text) {
    return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}

// The caller holds the lock.
std::optional<Stored> ReadStored(Store &store, uint32_t handle) {
    auto resolved = store.Resolve(handle);
    if (!resolved) return std::nullopt;
    Statement read(store.Db(), "SELECT description, name, kind FROM objects WHERE handle = ?");
    read.Bind(1, resolved->object);
    if (!read.Step()) return std::nullopt;
    return Stored{resolved->object, read.Blob(0), read.Text(1), read.Int(2) == kActivity};
}

std::optional<Stored> ReadLocked(ServerState &server, uint32_t handle) {
    std::lock_guard guard(server.lock);
    return ReadStored(server.store, handle);
}

// An activity's name as its Name property when its items do not set one, so
// that an activity started by a host knows its own name. (A link's
// connections keep the connector's name.)
std::string NameItem(const Stored &stored, const std::string &description) {
    if (!stored.activity || HasItem(BytesOf(description), kNameProperty).value_or(true)) return {};
    return PackItems({Item{RDTYPE_TEXT, RDCHARSET_INTERCHANGE, kNameProperty, stored.name + '\0'}});
}

std::size_t AnswerSize(std::size_t items) {
    return GrownSize(kGetItemsAt + items + kItemHeader, kPiece);
}

// The stored description with update merged into it; 791 when its answer
// could not be sent back.
uint32_t Merge(const Stored &stored, const std::vector<Item> &update, std::string &merged) {
    std::vector<Item> items;
    if (!ParseItems(BytesOf(stored.description), 0, items, false)) return RDSTATUS_CSMSTORE;
    MergeItems(items, update);
    merged = PackItems(items);
    const std::size_t answered = merged.size() + NameItem(stored, merged).size();
    return Answerable(AnswerSize(answered)) ? 0 : RDSTATUS_CSMTOOLARGE;
}

void Write(Store &store, int64_t object, const std::string &description) {
    Statement write(store.Db(), "UPDATE objects SET description = ? WHERE handle = ?");
    write.BindBlob(1, BytesOf(description)).Bind(2, object).Run();
}

bool Unchanged(Store &store, const Stored &stored) {
    Statement read(store.Db(), "SELECT description FROM objects WHERE handle = ?");
    read.Bind(1, stored.object);
    return read.Step() && read.BlobView(0) == stored.description;
}

// One put merged off the lock: written only when the description is still
// the one that was read (changed is set otherwise).
uint32_t TryPut(ServerState &server, uint32_t handle, const std::vector<Item> &update,
                bool &changed) {
    auto stored = ReadLocked(server, handle);
    if (!stored) return RDSTATUS_CSMNOHANDLE;
    std::string merged;
    if (uint32_t status = Merge(*stored, update, merged); status != 0) return status;
    return InTransaction(server, [&] {
        changed = !Unchanged(server.store, *stored);
        if (changed) return RDSTATUS_CSMSTORE; // rolled back, tried again
        Write(server.store, stored->object, merged);
        return 0u;
    });
}

} // namespace

uint32_t HandleGetDescription(Exchange &exchange) {
    auto stored = ReadLocked(exchange.server, GetU32(exchange.request, kWord20));
    if (!stored) return RDSTATUS_CSMNOHANDLE;
    const std::string name = NameItem(*stored, stored->description);
    const std::size_t size = AnswerSize(stored->description.size() + name.size());
    if (!Answerable(size)) return RDSTATUS_CSMTOOLARGE;
    exchange.answer.assign(size, 0);
    uint8_t *items = exchange.answer.data() + kGetItemsAt;
    if (!stored->description.empty())
        std::memcpy(items, stored->description.data(), stored->description.size());
    if (!name.empty()) std::memcpy(items + stored->description.size(), name.data(), name.size());
    return 0;
}

uint32_t HandlePutDescription(Exchange &exchange) {
    std::vector<Item> update;
    if (!ParseItems(exchange.request, kPutItemsAt, update)) return RDSTATUS_CSMBADREQUEST;
    const uint32_t handle = GetU32(exchange.request, kWord20);
    for (int tries = 1; tries < kTries; ++tries) {
        bool changed = false;
        const uint32_t status = TryPut(exchange.server, handle, update, changed);
        if (!changed) return status;
    }
    return InTransaction(exchange.server, [&] {
        auto stored = ReadStored(exchange.store(), handle);
        if (!stored) return RDSTATUS_CSMNOHANDLE;
        std::string merged;
        if (uint32_t status = Merge(*stored, update, merged); status != 0) return status;
        Write(exchange.store(), stored->object, merged);
        return 0u;
    });
}

} // namespace rdcsm
