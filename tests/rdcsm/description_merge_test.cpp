// SPDX-License-Identifier: Apache-2.0
// Descriptions put back in bulk: the merge keeps its meaning at any size,
// answers within the client's wait, and loses nothing when several clients
// put items into one description at once.
#include "rdcsm_test_env.h"

#include "message_limit.h"
#include "rdplat_ipc.h"

#include <map>

namespace rdcsmtest {
namespace {

std::string ItemBytes(const rdcsm::Item &item) {
    return Word(item.type) + Word(item.charset) + Word(item.number) +
           Word(static_cast<uint32_t>(item.value.size())) + item.value;
}

// A put-description request of the items, closing item included.
std::string PutRequest(uint32_t handle, const std::vector<rdcsm::Item> &items) {
    std::string body;
    for (const rdcsm::Item &item : items)
        body += ItemBytes(item);
    body += std::string(rdcsm::kItemHeader, '\0');
    return Image(11, 24 + body.size(), 0, {{20, Word(handle)}, {24, body}});
}

// The answer's status, waiting for it no longer than a client of the
// library does; 0xFFFFFFFF when no whole answer came.
uint32_t Exchange(const std::string &request) {
    RDIPCHandle pipe = RDIPCOpen("RDCSMP", 5);
    if (pipe == nullptr) return 0xFFFFFFFF;
    RDIPCSetTimeout(pipe, rdx::csmgr::AnswerMs());
    std::string answer(4096, '\0');
    uint32_t got = 0, more = 0;
    const int done =
        RDIPCTransact(pipe, request.data(), static_cast<uint32_t>(request.size()), answer.data(),
                      static_cast<uint32_t>(answer.size()), &got, &more);
    RDIPCClose(pipe);
    if (done == 0 || got < 16 || WordAt(answer, 4) != got) return 0xFFFFFFFF;
    return WordAt(answer, 12);
}

class MergeTest : public ServerTest {
  protected:
    std::vector<rdcsm::Item> Stored(uint32_t handle) {
        std::lock_guard guard(state_->lock);
        rdcsm::Statement read(state_->store.Db(),
                              "SELECT description FROM objects WHERE handle = ?");
        read.Bind(1, int64_t{handle});
        std::vector<rdcsm::Item> items;
        if (!read.Step()) return items;
        const std::string blob = read.Blob(0);
        EXPECT_TRUE(rdcsm::ParseItems({reinterpret_cast<const uint8_t *>(blob.data()), blob.size()},
                                      0, items, false));
        return items;
    }
};

int32_t IntOf(const rdcsm::Item &item) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(item.value[i])) << (8 * i);
    return static_cast<int32_t>(value);
}

// As many items as an answer carries, up to 200,000 (of 20 bytes each): half
// of them stored, three quarters put, so that a third of the put replaces
// stored items where they stand and the rest is added at the end in the
// put's order.
TEST_F(MergeTest, UpTo200000ItemsMergeInPlaceAndInOrder) {
    const uint32_t total = std::min<uint32_t>(200000, (rdcsm::MessageLimit() - 4096) / 20);
    const uint32_t kStored = total / 2, kPut = total / 4 * 3, kFirstPut = kStored / 2 + 1;
    std::vector<rdcsm::Item> stored, put;
    for (uint32_t n = 1; n <= kStored; ++n)
        stored.push_back(IntItem(n, static_cast<int32_t>(n)));
    for (uint32_t n = kFirstPut; n < kFirstPut + kPut; ++n)
        put.push_back(IntItem(n, -static_cast<int32_t>(n)));
    const uint32_t handle = Define(rdcsm::kActivity, "bulk", stored);
    ASSERT_EQ(0u, Exchange(PutRequest(handle, put)));

    const std::vector<rdcsm::Item> merged = Stored(handle);
    ASSERT_EQ(std::size_t{kFirstPut - 1 + kPut}, merged.size());
    for (uint32_t i = 0; i < merged.size(); ++i) {
        const uint32_t number = i + 1;
        ASSERT_EQ(number, merged[i].number) << i;
        const int32_t expected =
            number < kFirstPut ? static_cast<int32_t>(number) : -static_cast<int32_t>(number);
        ASSERT_EQ(expected, IntOf(merged[i])) << i;
    }
}

TEST_F(MergeTest, ANumberTwiceInOnePutEndsWithItsLastValueInOnePlace) {
    const uint32_t handle =
        Define(rdcsm::kActivity, "twice", {IntItem(5, 1), IntItem(6, 2), IntItem(5, 3)});
    ASSERT_EQ(0u, Exchange(PutRequest(handle, {IntItem(7, 10), IntItem(5, 11), IntItem(7, 12),
                                               TextItem(5, "text")})));
    const std::vector<rdcsm::Item> merged = Stored(handle);
    // The first stored 5 takes the update; a stored second 5 stays as it was.
    ASSERT_EQ(4u, merged.size());
    EXPECT_EQ(5u, merged[0].number);
    EXPECT_EQ(std::string("text") + '\0', merged[0].value);
    EXPECT_EQ(2, IntOf(merged[1]));
    EXPECT_EQ(3, IntOf(merged[2]));
    EXPECT_EQ(7u, merged[3].number);
    EXPECT_EQ(12, IntOf(merged[3]));
}

// Clients that put items into one large description at the same time: each
// put is merged into what the others left, none is lost.
TEST_F(MergeTest, ConcurrentPutsLoseNoItem) {
    constexpr int kClients = 4, kPuts = 40;
    std::vector<rdcsm::Item> stored;
    for (uint32_t n = 1; n <= 20000; ++n)
        stored.push_back(IntItem(n, 0));
    const uint32_t handle = Define(rdcsm::kActivity, "shared", stored);
    std::vector<std::thread> clients;
    std::atomic<int> failures{0};
    for (int c = 0; c < kClients; ++c)
        clients.emplace_back([&, c] {
            for (int i = 0; i < kPuts; ++i) {
                const uint32_t number = 100000 + c * 1000 + i;
                // Each put also changes one shared item and one of its own.
                const std::vector<rdcsm::Item> put = {IntItem(number, c), IntItem(1, c),
                                                      IntItem(2 + c, i + 1)};
                if (Exchange(PutRequest(handle, put)) != 0) ++failures;
            }
        });
    for (std::thread &client : clients)
        client.join();
    ASSERT_EQ(0, failures.load());
    const std::vector<rdcsm::Item> merged = Stored(handle);
    ASSERT_EQ(std::size_t{20000 + kClients * kPuts}, merged.size());
    std::map<uint32_t, int32_t> values;
    for (const rdcsm::Item &item : merged)
        values[item.number] = IntOf(item);
    for (int c = 0; c < kClients; ++c) {
        EXPECT_EQ(kPuts, values[2 + c]) << c;
        for (int i = 0; i < kPuts; ++i)
            EXPECT_EQ(c, values[100000 + c * 1000 + i]) << c << " " << i;
    }
}

} // namespace
} // namespace rdcsmtest
