// SPDX-License-Identifier: Apache-2.0
// Missing arguments and names or paths that do not fit their fields: 779,
// and nothing reaches the server manager.
#include "csmgr_test_env.h"

#include "rdxapi.h"

#include <functional>

namespace csmgrtest {
namespace {

TEST_F(PeerTest, MissingOrOversizedArgumentsSendNothing) {
    Stream name("n", 256), empty("", 256);
    Stream name512(std::string(512, 'a'), 256), name513(std::string(513, 'a'), 256);
    Stream field511(std::string(511, 'a'), 256);
    const std::string path260(260, 'p'), path261(261, 'p');
    uint32_t out = 0, field = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&field, RDTYPE_TEXT, 1));
    const std::function<uint32_t()> refused[] = {
        [] { return CSMgrNextActivity(nullptr); },
        [] { return CSMgrRunActivity(1, nullptr); },
        [] { return CSMgrCheckSync(1, nullptr); },
        [&] { return CSMgrGetID(nullptr, &name, 4); },
        [&] { return CSMgrGetID(&out, nullptr, 4); },
        [&] { return CSMgrGetID(&out, &name513, 4); },
        [&] { return CSMgrOpenActivity(nullptr, &name, 1); },
        [&] { return CSMgrOpenActivity(&out, &name513, 1); },
        [] { return CSMgrLog(1, 1, nullptr); },
        [] { return CSMgrDataLog(1, nullptr); },
        [] { return CSMgrTime(nullptr); },
        [&] { return CSMgrGetField(1, nullptr, field); },
        [&] { return CSMgrGetField(1, &name512, field); },
        [&] { return CSMgrPutField(1, nullptr, field); },
        [&] { return CSMgrPutField(1, &name512, field); },
        [&] { return CSMgrFileField(1, nullptr, "/p"); },
        [&] { return CSMgrFileField(1, &name, nullptr); },
        [&] { return CSMgrFileField(1, &name, ""); },
        [&] { return CSMgrFileField(1, &name, path261.c_str()); },
        [&] { return CSMgrFileField(1, &name512, "/p"); },
    };
    int i = 0;
    for (const auto &call : refused)
        EXPECT_EQ(779u, call()) << "case " << i++;
    EXPECT_EQ(0u, peer_.Count());

    // The longest names and path that fit are sent whole, with their NUL.
    EXPECT_EQ(0u, CSMgrGetID(&out, &name512, 4));
    EXPECT_EQ(std::string(512, 'a') + '\0', peer_.LastRequest().substr(24));
    EXPECT_EQ(0u, CSMgrFileField(1, &field511, path260.c_str()));
    EXPECT_EQ(path260 + '\0', peer_.LastRequest().substr(532));
    EXPECT_EQ(std::string(511, 'a') + '\0', peer_.LastRequest().substr(20, 512));
    EXPECT_EQ(0u, RDFieldFree(field));
}

TEST_F(PeerTest, PutFieldSendsAnEmptyNameWhenItDoesNotConvert) {
    Stream unknown("n", 77777);
    uint32_t field = 0;
    ASSERT_EQ(0u, RDFieldAlloc(&field, RDTYPE_TEXT, 1));
    EXPECT_EQ(0u, CSMgrPutField(3, &unknown, field));
    EXPECT_EQ(Image(17, 533, 0, {{16, Word(3)}}), peer_.LastRequest());
    EXPECT_EQ(0u, RDFieldFree(field));
}

} // namespace
} // namespace csmgrtest
