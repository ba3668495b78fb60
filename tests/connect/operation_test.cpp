// SPDX-License-Identifier: Apache-2.0
// The data operations: states, argument checks, what the connector receives,
// the statistics and the informational entries.
#include "connect_test_env.h"

namespace connecttest {
namespace {

TEST_F(ConnectTest, ConnectAndDisconnectAreIdempotent) {
    Install({"linka"});
    const uint32_t handle = Open("linka");
    EXPECT_EQ(0u, RDConnectDisconnect(handle)); // not connected: nothing called
    EXPECT_EQ(0u, RDConnectConnect(handle));
    EXPECT_EQ(0u, RDConnectConnect(handle));
    EXPECT_EQ(1u, Calls(RDXENTRY_CONNECT).size());
    rdx::Context()->activity.activityStatus = 1545;
    block_.command = 1; // disconnect still closes
    EXPECT_EQ(0u, RDConnectDisconnect(handle));
    EXPECT_EQ(0u, RDConnectDisconnect(handle));
    ASSERT_EQ(1u, Calls(RDXENTRY_DISCONNECT).size());
    EXPECT_EQ(1545u, Calls(RDXENTRY_DISCONNECT)[0].args[0]);
    EXPECT_EQ(1542u, RDConnectConnect(handle));
    block_.command = 0;
    EXPECT_EQ(1u, CallCount(RDXENTRY_CONNECT));
    EXPECT_EQ(1u, CallCount(RDXENTRY_DISCONNECT));
    // A failed connect leaves the connection unconnected; a failed
    // disconnect still ends the connection's connected state.
    Script().status[RDXENTRY_CONNECT] = 801;
    EXPECT_EQ(801u, RDConnectConnect(handle));
    EXPECT_EQ(12323u, RDConnectAction(handle, 1));
    Script().status[RDXENTRY_CONNECT] = 0;
    EXPECT_EQ(0u, RDConnectConnect(handle));
    Script().status[RDXENTRY_DISCONNECT] = 802;
    EXPECT_EQ(802u, RDConnectDisconnect(handle));
    EXPECT_EQ(12323u, RDConnectAction(handle, 1));
    EXPECT_EQ(1, LogCount(801));
    EXPECT_EQ(1, LogCount(802));
    EXPECT_EQ(12308u, RDConnectDisconnect(handle + 1));
}

// While a stop is pending only the rollback action reaches the connector:
// a stopped activity discards what its target holds, and the disconnect
// that follows cannot commit it.
TEST_F(ConnectTest, RollbackActionRunsWhileAStopIsPending) {
    Install({"linka"});
    const uint32_t handle = Open("linka");
    EXPECT_EQ(0u, RDConnectConnect(handle));
    block_.command = 1;
    EXPECT_EQ(1542u, RDConnectAction(handle, 7));
    EXPECT_EQ(0u, RDConnectAction(handle, RDACTION_ROLLBACK));
    block_.command = 2;
    EXPECT_EQ(0u, RDConnectAction(handle, RDACTION_ROLLBACK));
    EXPECT_EQ(12308u, RDConnectAction(handle + 1, RDACTION_ROLLBACK));
    block_.command = 0;
    ASSERT_EQ(2u, Calls(RDXENTRY_ACTION).size());
    EXPECT_EQ(RDACTION_ROLLBACK, Calls(RDXENTRY_ACTION)[1].args[0]);
    EXPECT_EQ(0u, RDConnectDisconnect(handle));
    // Not connected: the rollback still needs a connection that is.
    EXPECT_EQ(12323u, RDConnectAction(handle, RDACTION_ROLLBACK));
}

TEST_F(ConnectTest, FetchRangeChecks) {
    Install({"linka"});
    const uint32_t handle = Open("linka"); // fetch needs no connect
    List list(10);
    struct Case {
        uint32_t list, first, count, status;
        bool called;
    } const cases[] = {
        {list.handle, 1, 10, 0, true},
        {list.handle, 2, 10, 12313, false},
        {list.handle, 1, 11, 12312, false},
        {list.handle, 0, 1, 12312, false},
        {list.handle, 1, 0, 0, false},
        {0, 1, 0, 0, false},
        {0, 1, 1, 12307, false},
        {list.handle, 1, 1, 0, true},
        {list.handle, 10, 1, 0, true},
        {list.handle, 11, 1, 12313, false},
        {list.handle, 0xFFFFFFFF, 2, 12313, false},
        {list.handle, 2, 0xFFFFFFFF, 12312, false},
        {99, 1, 2, 12312, false}, // an unknown list holds no records
    };
    for (const Case &c : cases) {
        Script().callCount = 0;
        uint32_t fetched = 7;
        EXPECT_EQ(c.status, RDConnectFetch(handle, c.list, c.first, c.count, &fetched))
            << c.first << "," << c.count;
        EXPECT_EQ(c.called, !Calls(RDXENTRY_FETCH).empty()) << c.first << "," << c.count;
        EXPECT_EQ(c.called ? c.count : 0u, fetched);
    }
    EXPECT_EQ(12u, RecordCount(RDXENTRY_FETCH));
    EXPECT_EQ(3u, CallCount(RDXENTRY_FETCH));
}

TEST_F(ConnectTest, OperationsPassArgumentsAndCount) {
    Install({"linka"});
    const uint32_t handle = OpenConnected("linka");
    List list(10);
    const uint32_t l = list.handle;
    uint32_t n = 0;
    Script().report[RDXENTRY_EXECUTE] = 5, Script().reportSet[RDXENTRY_EXECUTE] = 1;
    Script().report[RDXENTRY_SELECT] = 8, Script().reportSet[RDXENTRY_SELECT] = 1;
    Script().report[RDXENTRY_CATALOG] = 4, Script().reportSet[RDXENTRY_CATALOG] = 1;
    struct Case {
        uint32_t entry;
        std::function<uint32_t()> call;
        std::array<uint32_t, 4> args;
        uint32_t records;
    } const cases[] = {
        {RDXENTRY_EXECUTE, [&] { return RDConnectExecute(handle, 11, 12, &n); }, {11, 12}, 5},
        {RDXENTRY_SELECT, [&] { return RDConnectSelect(handle, l, 10, 13, &n); }, {l, 10, 13}, 8},
        {RDXENTRY_FETCH, [&] { return RDConnectFetch(handle, l, 2, 3, &n); }, {l, 2, 3}, 3},
        {RDXENTRY_INSERT, [&] { return RDConnectInsert(handle, l, 1, 4, &n); }, {l, 1, 4}, 4},
        {RDXENTRY_UPDATE, [&] { return RDConnectUpdate(handle, l, 5, 6, &n); }, {l, 5, 6}, 6},
        {RDXENTRY_REMOVE, [&] { return RDConnectRemove(handle, 0, 0, 0, &n); }, {0, 0, 0}, 0},
        {RDXENTRY_ACTION, [&] { return RDConnectAction(handle, 7); }, {7}, 0},
        {RDXENTRY_CATALOG, [&] { return RDConnectCatalog(handle, 3, 14, &n); }, {3, 14}, 4},
        {RDXENTRY_CREATE, [&] { return RDConnectCreate(handle, 9, 15); }, {9, 15}, 0},
        {RDXENTRY_DROP, [&] { return RDConnectDrop(handle, 9); }, {9}, 0},
    };
    for (const Case &c : cases) {
        n = 77;
        ASSERT_EQ(0u, c.call()) << c.entry;
        const auto calls = Calls(c.entry);
        ASSERT_EQ(1u, calls.size()) << c.entry;
        EXPECT_EQ(c.args, (std::array<uint32_t, 4>{calls[0].args[0], calls[0].args[1],
                                                   calls[0].args[2], calls[0].args[3]}))
            << c.entry;
        EXPECT_EQ(1u, CallCount(c.entry)) << c.entry;
        EXPECT_EQ(c.records, RecordCount(c.entry)) << c.entry;
    }
    uint32_t statistics[rdx::kStatisticsWords];
    rdx::ConnectTakeStatistics(statistics);
    const uint32_t expected[rdx::kStatisticsWords] = {1, 0, 1, 1, 1, 1, 1, 1, 1, 1,
                                                      1, 1, 5, 8, 3, 4, 6, 0, 4};
    EXPECT_EQ(0, std::memcmp(expected, statistics, sizeof statistics));
    EXPECT_EQ(0u, CallCount(RDXENTRY_FETCH));
    EXPECT_EQ(0u, RecordCount(RDXENTRY_SELECT));
}

TEST_F(ConnectTest, OperationsThatNeedAConnection) {
    Install({"linka"});
    const uint32_t handle = Open("linka");
    List list(10);
    uint32_t n = 7;
    EXPECT_EQ(12323u, RDConnectExecute(handle, 0, 0, &n));
    EXPECT_EQ(0u, n);
    EXPECT_EQ(12323u, RDConnectSelect(handle, list.handle, 1, 0, nullptr));
    EXPECT_EQ(12323u, RDConnectInsert(handle, list.handle, 1, 1, nullptr));
    EXPECT_EQ(12323u, RDConnectUpdate(handle, list.handle, 1, 1, nullptr));
    EXPECT_EQ(12323u, RDConnectRemove(handle, 0, 1, 1, nullptr));
    EXPECT_EQ(12323u, RDConnectAction(handle, 1));
    EXPECT_EQ(12323u, RDConnectCatalog(handle, 3, 0, nullptr));
    EXPECT_EQ(12323u, RDConnectCreate(handle, 3, 1));
    EXPECT_EQ(12323u, RDConnectDrop(handle, 4));
    // Kinds 1 and 2 work before connecting.
    EXPECT_EQ(0u, RDConnectCatalog(handle, 1, 0, nullptr));
    EXPECT_EQ(0u, RDConnectCatalog(handle, 2, 0, nullptr));
    EXPECT_EQ(0u, RDConnectCreate(handle, 2, 0));
    EXPECT_EQ(0u, RDConnectDrop(handle, 1));
    EXPECT_EQ(12289u, RDConnectCreate(handle, 0, 1));
    EXPECT_EQ(12289u, RDConnectDrop(handle, 0));
    EXPECT_EQ(0u, RDConnectConnect(handle));
    EXPECT_EQ(12307u, RDConnectCreate(handle, 3, 0));
    EXPECT_EQ(12312u, RDConnectSelect(handle, list.handle, 0, 0, nullptr));
    EXPECT_EQ(12312u, RDConnectSelect(handle, list.handle, 11, 0, nullptr));
    EXPECT_EQ(0u, RDConnectSelect(handle, list.handle, 1, 0, nullptr));
    EXPECT_EQ(0u, RDConnectSelect(handle, 0, 0, 0, nullptr));
    EXPECT_EQ(0u, RDConnectRemove(handle, 0, 0, 0, nullptr)); // no list: passed on
    EXPECT_EQ(0u, RDConnectRemove(handle, list.handle, 1, 0, nullptr));
    EXPECT_EQ(1u, Calls(RDXENTRY_REMOVE).size());
}

TEST_F(ConnectTest, RecordTotalsAddAndStayUnknown) {
    Install({"linka"});
    const uint32_t handle = OpenConnected("linka");
    List list(100);
    Script().reportSet[RDXENTRY_FETCH] = 1;
    uint32_t fetched = 0;
    for (uint32_t report : {5u, 7u}) {
        Script().report[RDXENTRY_FETCH] = report;
        EXPECT_EQ(0u, RDConnectFetch(handle, list.handle, 1, 50, &fetched));
        EXPECT_EQ(report, fetched);
    }
    EXPECT_EQ(12u, RecordCount(RDXENTRY_FETCH));
    // More than asked is cut to the range asked for.
    Script().report[RDXENTRY_FETCH] = 80;
    EXPECT_EQ(0u, RDConnectFetch(handle, list.handle, 1, 50, &fetched));
    EXPECT_EQ(50u, fetched);
    EXPECT_EQ(62u, RecordCount(RDXENTRY_FETCH));
    Script().report[RDXENTRY_FETCH] = 0xFFFFFFFF;
    EXPECT_EQ(0u, RDConnectFetch(handle, list.handle, 1, 50, nullptr));
    Script().report[RDXENTRY_FETCH] = 3;
    EXPECT_EQ(0u, RDConnectFetch(handle, list.handle, 1, 50, nullptr));
    EXPECT_EQ(0xFFFFFFFFu, RecordCount(RDXENTRY_FETCH));
    // The end of the data counts its records but neither the call nor a log.
    Script().status[RDXENTRY_FETCH] = 12290;
    Script().report[RDXENTRY_INSERT] = 2, Script().reportSet[RDXENTRY_INSERT] = 1;
    Script().status[RDXENTRY_INSERT] = 12290;
    EXPECT_EQ(12290u, RDConnectFetch(handle, list.handle, 1, 50, &fetched));
    EXPECT_EQ(3u, fetched);
    EXPECT_EQ(12290u, RDConnectInsert(handle, list.handle, 1, 50, nullptr));
    EXPECT_EQ(5u, CallCount(RDXENTRY_FETCH));
    EXPECT_EQ(0u, CallCount(RDXENTRY_INSERT));
    EXPECT_EQ(2u, RecordCount(RDXENTRY_INSERT));
    EXPECT_EQ(1, LogCount(12290)); // the insert's only
    // Totals saturate as unknown instead of wrapping; call counts stop.
    rdx::Context()->connect.recordCounts[RDXENTRY_UPDATE] = 0xFFFFFFF0u;
    Script().report[RDXENTRY_UPDATE] = 40, Script().reportSet[RDXENTRY_UPDATE] = 1;
    rdx::Context()->connect.callCounts[RDXENTRY_UPDATE] = 0xFFFFFFFFu;
    EXPECT_EQ(0u, RDConnectUpdate(handle, list.handle, 1, 50, nullptr));
    EXPECT_EQ(0xFFFFFFFFu, RecordCount(RDXENTRY_UPDATE));
    EXPECT_EQ(0xFFFFFFFFu, CallCount(RDXENTRY_UPDATE));
    // Execute, Select and Catalog count only on success.
    Script().report[RDXENTRY_EXECUTE] = 9, Script().reportSet[RDXENTRY_EXECUTE] = 1;
    Script().status[RDXENTRY_EXECUTE] = 600;
    EXPECT_EQ(600u, RDConnectExecute(handle, 0, 0, &fetched));
    EXPECT_EQ(9u, fetched);
    EXPECT_EQ(0u, RecordCount(RDXENTRY_EXECUTE));
}

TEST_F(ConnectTest, CreateDropAndActionLogTheObject) {
    Install({"linka"});
    const uint32_t handle = OpenConnected("linka");
    Script().propertyText = "orders";
    EXPECT_EQ(0u, RDConnectCreate(handle, 3, 1));
    EXPECT_EQ(0u, RDConnectDrop(handle, 4));
    EXPECT_EQ(0u, RDConnectAction(handle, 2));
    EXPECT_EQ(0u, RDConnectCreate(handle, 9, 1)); // a kind without a property logs nothing
    ASSERT_EQ(3u, logged().size());
    EXPECT_EQ(0x10000664u, logged()[0].message);
    EXPECT_EQ(0x10000665u, logged()[1].message);
    EXPECT_EQ(0x10000666u, logged()[2].message);
    for (const Logged &entry : logged())
        EXPECT_NE(std::string::npos, entry.text.find("orders")) << entry.text;
    const auto reads = Calls(RDXENTRY_GETPROPERTY);
    ASSERT_EQ(3u, reads.size());
    EXPECT_EQ(0x10005u, reads[0].args[0]);
    EXPECT_EQ(0x10006u, reads[1].args[0]);
    EXPECT_EQ(0x10005u, reads[2].args[0]);
    EXPECT_EQ(0u, RDActivityGetStatus());
    // A name that cannot be read is not logged, and fails nothing.
    logged().clear();
    Script().status[RDXENTRY_GETPROPERTY] = 999;
    EXPECT_EQ(0u, RDConnectCreate(handle, 1, 0));
    EXPECT_EQ(0u, RDConnectAction(handle, 2));
    EXPECT_TRUE(logged().empty());
    EXPECT_EQ(0u, RDActivityGetStatus());
}

} // namespace
} // namespace connecttest
