// SPDX-License-Identifier: Apache-2.0
// Requests that are malformed, clients that say nothing, and hosts that
// pull the run queue at the same time.
#include "rdcsm_test_env.h"

#include "rdplat_ipc.h"
#include "rdx_status.h"

#include <chrono>
#include <set>

namespace rdcsmtest {
namespace {

struct Malformed {
    const char *what;
    std::string request;
    uint32_t status;
};

std::string Item(uint32_t type, uint32_t charset, uint32_t number, uint32_t size,
                 const std::string &value = "") {
    return Word(type) + Word(charset) + Word(number) + Word(size) + value;
}

// A put-description request of 2048 bytes with items from byte 24.
std::string PutDescription(uint32_t handle, const std::string &items) {
    return Image(11, 2048, 0, {{20, Word(handle)}, {24, items}});
}

TEST_F(ServerTest, MalformedRequestsGetAStatus) {
    const uint32_t handle = Define(rdcsm::kActivity, "a", {IntItem(1, 1)});
    const std::string noNul(600, 'n');
    const std::vector<Malformed> cases = {
        {"shorter than a header", std::string(8, '\0'), RDSTATUS_CSMBADREQUEST},
        {"length says more", Image(14, 64).replace(4, 4, Word(65)), RDSTATUS_CSMBADREQUEST},
        {"length says less", Image(14, 64).replace(4, 4, Word(16)), RDSTATUS_CSMBADREQUEST},
        {"code 1", Image(1, 16), RDSTATUS_CSMUNKNOWNCODE},
        {"code 20", Image(20, 16), RDSTATUS_CSMUNKNOWNCODE},
        {"huge code", Image(0xFFFFFFFF, 16), RDSTATUS_CSMUNKNOWNCODE},
        {"information too short", Image(3, 600), RDSTATUS_CSMBADREQUEST},
        {"time too long", Image(14, 65), RDSTATUS_CSMBADREQUEST},
        {"run without the name's NUL", Image(8, 40, 0, {{24, std::string(16, 'r')}}),
         RDSTATUS_CSMBADREQUEST},
        {"run too short", Image(8, 25), RDSTATUS_CSMBADREQUEST},
        {"open without the name's NUL", Image(18, 537, 0, {{24, noNul.substr(0, 513)}}),
         RDSTATUS_CSMBADREQUEST},
        {"id without the name's NUL", Image(12, 537, 0, {{24, noNul.substr(0, 513)}}),
         RDSTATUS_CSMBADREQUEST},
        {"field name without NUL",
         Image(16, 533, 0, {{16, Word(handle)}, {20, noNul.substr(0, 512)}}),
         RDSTATUS_CSMBADREQUEST},
        {"field name empty", Image(16, 533, 0, {{16, Word(handle)}}), RDSTATUS_CSMBADREQUEST},
        {"field value without NUL",
         Image(17, 540, 0, {{16, Word(handle)}, {20, "f"}, {532, "12345678"}}),
         RDSTATUS_CSMBADREQUEST},
        {"file path without NUL",
         Image(19, 793, 0, {{16, Word(handle)}, {20, "f"}, {532, noNul.substr(0, 261)}}),
         RDSTATUS_CSMBADREQUEST},
        {"log kind 3", Image(13, 106, 1, {{16, Word(3)}}), RDSTATUS_CSMBADREQUEST},
        {"log text without NUL", Image(13, 110, 1, {{16, Word(1)}, {104, "abcdef"}}),
         RDSTATUS_CSMBADREQUEST},
        {"statistics too long", Image(13, 106, 1, {{16, Word(2)}}), RDSTATUS_CSMBADREQUEST},
        {"item of type 9", PutDescription(handle, Item(9, 0, 1, 4)), RDSTATUS_CSMBADREQUEST},
        {"Int of 5 bytes", PutDescription(handle, Item(1, 0, 1, 5)), RDSTATUS_CSMBADREQUEST},
        {"text without NUL", PutDescription(handle, Item(6, 256, 1, 3, "abc")),
         RDSTATUS_CSMBADREQUEST},
        {"text of size 0", PutDescription(handle, Item(6, 256, 1, 0)), RDSTATUS_CSMBADREQUEST},
        {"item past the end", PutDescription(handle, Item(6, 256, 1, 0x7FFFFFF0)),
         RDSTATUS_CSMBADREQUEST},
        {"no closing item", Image(11, 44, 0, {{20, Word(handle)}, {24, Item(1, 0, 1, 4, "abcd")}}),
         RDSTATUS_CSMBADREQUEST},
        {"description of no activity", PutDescription(0x4444, ""), RDSTATUS_CSMNOHANDLE},
        {"done of no run", Image(7, 552, 0, {{16, Word(rdcsm::kRunBase + 77)}}),
         RDSTATUS_CSMNOHANDLE},
    };
    for (const Malformed &c : cases) {
        const std::string answer = Raw(c.request);
        ASSERT_GE(answer.size(), 16u) << c.what;
        EXPECT_EQ(answer.size(), WordAt(answer, 4)) << c.what;
        EXPECT_EQ(c.status, WordAt(answer, 12)) << c.what;
    }
    // Nothing of it changed the description, and the server still answers.
    Set description;
    ASSERT_EQ(0u, CSMgrGetDescription(handle, description.set));
    EXPECT_EQ(2u, rdx::PropertySetCount(description.set)); // the item and the name
    uint64_t time = 0;
    EXPECT_EQ(0u, CSMgrTime(&time));
}

TEST_F(ServerTest, SilentClientsHoldNoWorkerPastTheTimeOut) {
    // More silent clients than the pool has workers.
    std::vector<RDIPCHandle> silent;
    for (int i = 0; i < 20; ++i) {
        RDIPCHandle pipe = RDIPCOpen("RDCSMP", 5);
        ASSERT_NE(nullptr, pipe);
        silent.push_back(pipe);
    }
    const auto start = std::chrono::steady_clock::now();
    uint64_t time = 0;
    EXPECT_EQ(0u, CSMgrTime(&time));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, 4 * timeout_);
    // The server has given up on each of them: the read sees the close.
    for (RDIPCHandle pipe : silent) {
        char byte = 0;
        uint32_t got = 0, more = 0;
        EXPECT_EQ(0, RDIPCRead(pipe, &byte, 1, &got, &more));
        RDIPCClose(pipe);
    }
}

TEST_F(ServerTest, HostsPullEachQueuedRunOnce) {
    constexpr int kRuns = 1000, kHosts = 10;
    Define(rdcsm::kActivity, "job", {});
    for (int i = 0; i < kRuns; ++i)
        ASSERT_EQ(0u, CSMgrRunActivity(0, &Stream("job", 256)));
    std::vector<std::vector<uint32_t>> pulled(kHosts);
    std::vector<std::thread> hosts;
    for (int h = 0; h < kHosts; ++h) {
        hosts.emplace_back([&pulled, h] {
            NextActivityRecord next{};
            while (CSMgrNextActivity(&next) == 0) {
                pulled[h].push_back(next.handle);
                CSMgrDoneActivity(next.handle, 0);
            }
        });
    }
    for (std::thread &host : hosts)
        host.join();
    std::set<uint32_t> seen;
    std::size_t total = 0;
    for (const auto &runs : pulled) {
        total += runs.size();
        seen.insert(runs.begin(), runs.end());
    }
    EXPECT_EQ(std::size_t{kRuns}, total);
    EXPECT_EQ(std::size_t{kRuns}, seen.size());
    std::lock_guard guard(state_->lock);
    rdcsm::Statement open(state_->store.Db(), "SELECT count(*) FROM runs WHERE state <> 2");
    ASSERT_TRUE(open.Step());
    EXPECT_EQ(0, open.Int(0));
}

} // namespace
} // namespace rdcsmtest
