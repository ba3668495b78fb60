// SPDX-License-Identifier: Apache-2.0
// Server-manager client tests: the system started in a temporary home whose
// quarry.ini names kit type 2, a scripted stand-in server manager on the
// pipe, and golden request images.
#pragma once

#include "../values/rdx_test_env.h"
#include "csmgr/server.h"
#include "csmgr/transport.h"
#include "csmgr_peer.h"

#include <string>
#include <utility>
#include <vector>

namespace csmgrtest {

using rdtest::CSMgrPeer;
using rdtest::Reply;
using rdtest::Word;
using rdtest::WordAt;
using rdxtest::Stream;

class CSMgrTest : public rdxtest::SystemTest {
  protected:
    void SetUp() override {
        SystemTest::SetUp();
        SetKitType("2");
        rdx::csmgr::SetPipeSeconds(0);
        rdx::csmgr::SetStartupSeconds(1);
    }
    void TearDown() override {
        rdx::csmgr::SetPipeSeconds(rdx::csmgr::kPipeSeconds);
        rdx::csmgr::SetStartupSeconds(rdx::csmgr::kStartupSeconds);
        SystemTest::TearDown();
    }
    static void SetKitType(const char *value) {
        ASSERT_EQ(0u, RDINISetString("Configuration", "KitType", value, "quarry.ini"));
    }
};

// Tests whose peer listens from the start.
class PeerTest : public CSMgrTest {
  protected:
    CSMgrPeer peer_;
};

// A request image: the header, zeros, and the given pieces at their offsets.
inline std::string Image(uint32_t code, std::size_t length, uint32_t option,
                         const std::vector<std::pair<std::size_t, std::string>> &pieces = {}) {
    std::string bytes = Word(code) + Word(static_cast<uint32_t>(length)) + Word(option) + Word(0);
    bytes.resize(length, '\0');
    for (const auto &[at, piece] : pieces)
        bytes.replace(at, piece.size(), piece);
    return bytes;
}

// An answer of total bytes with status 0 and the pieces at their offsets.
inline Reply AnswerWith(std::size_t total,
                        const std::vector<std::pair<std::size_t, std::string>> &pieces,
                        uint32_t status = 0) {
    Reply reply = Reply::Answer(status, "", total);
    for (const auto &[at, piece] : pieces)
        reply.bytes->replace(at, piece.size(), piece);
    return reply;
}

inline std::string Text(const RDStream &s) {
    return s.data == nullptr ? std::string()
                             : std::string(reinterpret_cast<const char *>(s.data), s.length);
}

} // namespace csmgrtest
