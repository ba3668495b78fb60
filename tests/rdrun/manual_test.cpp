// SPDX-License-Identifier: Apache-2.0
// The manual page names every option that --help shows.
#include "run_test_env.h"

#include <sstream>

namespace rdruntest {
namespace {

TEST(RdrunManual, NamesEveryOptionOfTheHelp) {
    const std::string page = rdtest::ReadFile(RDTEST_RDRUN_MANPAGE);
    ASSERT_FALSE(page.empty());
    std::string out;
    {
        rdtest::TempHome home;
        ASSERT_EQ(0, rdtest::Shell(std::string("'") + RDTEST_RDRUN + "' --help >'" +
                                   home.Path("help.txt") + "'"));
        out = rdtest::ReadFile(home.Path("help.txt"));
    }
    std::istringstream lines(out);
    int options = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first.empty() || line[0] != ' ' || first[0] != '-') continue;
        for (std::size_t at = 0; at != std::string::npos;) {
            const std::size_t comma = first.find(',', at);
            const std::string name = first.substr(at, comma - at);
            EXPECT_NE(std::string::npos, page.find("*" + name + "*")) << name;
            at = comma == std::string::npos ? comma : comma + 1;
        }
        ++options;
    }
    EXPECT_EQ(10, options) << out;
}

} // namespace
} // namespace rdruntest
