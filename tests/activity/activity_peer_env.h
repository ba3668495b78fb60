// SPDX-License-Identifier: Apache-2.0
// Activities against a stand-in server manager: the system started in a
// temporary home whose quarry.ini names kit type 2, test activity connectors
// copied into the home, and description answers built from items.
#pragma once

#include "../values/rdx_test_env.h"
#include "activity/system_context.h"
#include "csmgr/server.h"
#include "csmgr/transport.h"
#include "csmgr_peer.h"

#include <filesystem>
#include <string>
#include <vector>

namespace rdxtest {

using rdtest::CSMgrPeer;
using rdtest::Reply;
using rdtest::Word;
using rdtest::WordAt;

// Request codes of the server manager.
enum : uint32_t {
    kAttach = 2,
    kInfo = 3,
    kDetach = 4,
    kDone = 7,
    kRun = 8,
    kSync = 9,
    kGetDesc = 10,
    kPutDesc = 11,
    kLog = 13,
    kGetField = 16,
    kPutField = 17,
    kOpen = 18,
};

// A description item as the server manager sends it.
inline std::string Item(uint32_t type, uint32_t charset, uint32_t number,
                        const std::string &value) {
    return Word(type) + Word(charset) + Word(number) + Word(static_cast<uint32_t>(value.size())) +
           value;
}
inline std::string TextItem(uint32_t number, const std::string &text) {
    return Item(6, 256, number, text + '\0');
}
inline std::string IntItem(uint32_t number, int32_t value) {
    return Item(1, 0, number, Word(static_cast<uint32_t>(value)));
}
// The answer of a description holding items.
inline Reply Description(const std::string &items) {
    const std::string all = items + Item(0, 0, 0, "");
    Reply reply = Reply::Answer(0, "", 25 + all.size());
    reply.bytes->replace(25, all.size(), all);
    return reply;
}
// The answer of an open giving handle.
inline Reply Opened(uint32_t handle, uint32_t status = 0) {
    Reply reply = Reply::Answer(status, "", 537);
    reply.bytes->replace(16, 4, Word(handle));
    return reply;
}

class PeerActivityTest : public SystemTest {
  protected:
    void SetUp() override {
        SystemTest::SetUp();
        ASSERT_EQ(0u, RDINISetString("Configuration", "KitType", "2", "quarry.ini"));
        rdx::csmgr::SetPipeSeconds(0);
        // The information answer of an attach: zeros apply nothing harmful.
        peer_.Standing(kInfo, Reply::Answer(0, "", 654));
    }
    void TearDown() override {
        while (rdx::Context() != nullptr && rdx::Context()->activity.activityNesting != 0) {
            if (rdx::Context()->activity.startedByInit != 0)
                RDActivityTerm();
            else
                RDActivityFree();
        }
        rdx::csmgr::SetPipeSeconds(rdx::csmgr::kPipeSeconds);
        SystemTest::TearDown();
    }

    // Copies the test connector name.rdx into the home directory.
    void Install(const std::string &name) const {
        std::filesystem::copy_file(RDTEST_ACTIVITY_CONNECTOR_DIR + name + ".rdx",
                                   home_.Path(name + ".rdx"),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    // Open answers handle, the description holds items.
    void Serve(uint32_t handle, const std::string &items) {
        peer_.Standing(kOpen, Opened(handle));
        peer_.Standing(kGetDesc, Description(items));
    }
    // The codes of the requests from the mark on.
    std::vector<uint32_t> Codes() {
        std::vector<uint32_t> codes;
        const std::vector<std::string> requests = peer_.Requests();
        for (std::size_t i = mark_; i < requests.size(); ++i)
            codes.push_back(WordAt(requests[i], 0));
        return codes;
    }
    // The last request of code since the mark, or empty.
    std::string Last(uint32_t code) {
        const std::vector<std::string> requests = peer_.Requests();
        for (std::size_t i = requests.size(); i-- > mark_;)
            if (WordAt(requests[i], 0) == code) return requests[i];
        return {};
    }
    void Mark() { mark_ = peer_.Count(); }

    CSMgrPeer peer_;
    std::size_t mark_ = 0;
};

} // namespace rdxtest
