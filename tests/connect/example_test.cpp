// SPDX-License-Identifier: Apache-2.0
// The example link connector of docs/connectors.md, loaded and used.
#include "connect_test_env.h"

namespace connecttest {
namespace {

TEST_F(ConnectTest, ExampleConnectorFetchesItsRows) {
    Install({"example"});
    const uint32_t handle = OpenConnected("example");
    const int32_t rows = 5;
    ASSERT_EQ(0u, RDConnectSetPropertyInt(handle, 1, &rows));
    List list(3);
    uint32_t count = 0, field = 0;
    ASSERT_EQ(0u, RDConnectSelect(handle, list.handle, 3, 0, &count));
    EXPECT_EQ(5u, count);
    ASSERT_EQ(0u, RDFieldlistGetField(list.handle, 1, RDCHARSET_DEFAULT, &field, nullptr));
    std::vector<int32_t> seen;
    uint32_t status = 0;
    while (status == 0) {
        status = RDConnectFetch(handle, list.handle, 1, 3, &count);
        for (uint32_t i = 1; i <= count; ++i) {
            int32_t value = 0;
            EXPECT_EQ(0u, RDFieldGetInt(field, i, &value, nullptr));
            seen.push_back(value);
        }
    }
    EXPECT_EQ(12290u, status);
    EXPECT_EQ((std::vector<int32_t>{1, 2, 3, 4, 5}), seen);
    EXPECT_EQ(5u, RecordCount(RDXENTRY_FETCH));
    Stream name;
    uint32_t number = 0;
    ASSERT_EQ(0u, RDConnectListProperty(handle, 1, &number, nullptr, nullptr, &name));
    EXPECT_EQ("Rows", name.Bytes());
}

} // namespace
} // namespace connecttest
