// SPDX-License-Identifier: Apache-2.0
// rdx copy --full-refresh passes the request on to the rdrun that runs the
// copy. rdx runs the rdrun beside itself, so the test runs a copy of rdx
// from a folder where "rdrun" notes its arguments before it becomes the
// build's rdrun; the rdrun tests follow the option on to the activity.
#include "rdx_test_env.h"

#include <sys/stat.h>

namespace rdxtest {
namespace {

TEST_F(RdxTest, FullRefreshReachesRdrun) {
    const std::string bin = Path("bin");
    ASSERT_EQ(0, mkdir(bin.c_str(), 0700));
    ASSERT_EQ(0, Program("/bin/cp", {RDTEST_RDX, bin + "/rdx"}).status);
    ASSERT_EQ(0, symlink(RDTEST_RDCSM, (bin + "/rdcsm").c_str()));
    rdtest::WriteFile(bin + "/rdrun", "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" + Path("args") +
                                          "'\nexec '" RDTEST_RDRUN "' \"$@\"\n");
    ASSERT_EQ(0, chmod((bin + "/rdrun").c_str(), 0700));
    rdtest::WriteFile(Path("orders.csv"), kOrdersCsv);
    const std::string db = "sqlite:" + Path("o.db") + "#orders";
    const std::vector<std::string> copy = {"copy", Path("orders.csv"), db,           "--name",
                                           "load", "--columns",        kOrderColumns};
    std::vector<std::string> refresh = copy;
    refresh.push_back("--full-refresh");
    for (const auto &args : {copy, refresh}) {
        const Ran ran = Program(bin + "/rdx", args);
        ASSERT_EQ(0, ran.status) << ran.out << ran.err;
    }
    // The first run asked for nothing, the second for a full refresh.
    const std::string home = DefaultHome();
    EXPECT_EQ("-c\n" + home + "\nload\n-c\n" + home + "\n--full-refresh\nload\n",
              rdtest::ReadFile(Path("args")));
}

} // namespace
} // namespace rdxtest
