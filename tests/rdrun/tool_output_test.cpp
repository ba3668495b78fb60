// SPDX-License-Identifier: Apache-2.0
// What `rdcsm show` and `rdcsm log` print for a copy defined by name and
// run: the connector's declared names, and log records in their own words.
#include "run_test_env.h"

namespace rdruntest {
namespace {

TEST_F(RunTest, ShowNamesTheConnectorsPropertiesAndLogShowsTheRecordsText) {
    MakeOrders(Path("orders.csv"), 3);
    Define(CsvLink("csv", Path("orders.csv"), kOrderColumns) + SqliteLink("db", Path("o.db")) +
           CopyActivity("load", {"csv", "db", "orders", "", 2, "skip"}) + "0x00000063 = 5\n");
    Ran ran = Program("rdcsm", "show load");
    ASSERT_EQ(0, ran.status) << ran.err;
    // In the order of the job file.
    EXPECT_EQ("activity load (handle 1)\n"
              "  0x00030001 connector = 'rdcopy'\n"
              "  0x00000001 SourceLink = 'csv'\n"
              "  0x00000002 TargetLink = 'db'\n"
              "  0x00000004 TargetTable = 'orders'\n"
              "  0x00000005 BatchSize = 2\n"
              "  0x00000007 OnError = 'skip'\n"
              "  0x00000006 CreateTarget = 1\n"
              "  0x00000063 = 5\n",
              ran.out);
    ran = Program("rdcsm", "show db");
    EXPECT_NE(std::string::npos, ran.out.find("  0x00010002 Database = '" + Path("o.db") + "'\n"))
        << ran.out;
    EXPECT_NE(std::string::npos, ran.out.find("  0x00000002 Create = 1\n")) << ran.out;

    ASSERT_EQ(0, Rdrun("-q load").status);
    const std::string log = Log("load");
    EXPECT_EQ(std::string::npos, log.find("[[")) << log;
    EXPECT_NE(std::string::npos, log.find("  run 1  1636 info  Created metadata orders.\n")) << log;
    EXPECT_NE(std::string::npos, log.find("  run 1  12326 info  3 records written.\n")) << log;
}

} // namespace
} // namespace rdruntest
