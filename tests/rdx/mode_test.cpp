// SPDX-License-Identifier: Apache-2.0
// rdx copy --mode on a SQLite table and a CSV file, end to end: each mode
// run in turn over the same target, and the command lines it refuses.
#include "rdx_test_env.h"

#include <algorithm>

namespace rdxtest {
namespace {

class ModeTest : public RdxTest {
  protected:
    // The records the target holds (a CSV file's lines after its header).
    long Records(const std::string &target) {
        if (target.rfind("sqlite:", 0) == 0)
            return std::atol(SqliteRows(Path("t.db"), "SELECT count(*) FROM orders").c_str());
        const std::string text = rdtest::ReadFile(Path("t.csv"));
        return static_cast<long>(std::count(text.begin(), text.end(), '\n')) - 1;
    }
    Ran Copy(const std::string &target, std::vector<std::string> options) {
        std::vector<std::string> args = {"copy",        Path("orders.csv"), target, "--columns",
                                         kOrderColumns, "--name",           "load"};
        args.insert(args.end(), options.begin(), options.end());
        return Rdx(args);
    }
};

TEST_F(ModeTest, EachModeOnTheSameTarget) {
    rdtest::WriteFile(Path("orders.csv"), kOrdersCsv);
    struct Step {
        std::vector<std::string> options;
        int status;
        long records; // after the step
    };
    const Step steps[] = {
        {{"--mode", "create"}, 0, 4},
        {{"--mode", "create"}, 1, 4},
        {{"--create"}, 1, 4},
        {{"--mode", "append"}, 0, 8},
        {{}, 0, 12},
        {{"--mode", "replace"}, 0, 4},
        {{"--mode", "replace"}, 0, 4},
        {{"--mode", "truncate"}, 0, 4},
    };
    const std::string targets[] = {"sqlite:" + Path("t.db") + "#orders", "csv:" + Path("t.csv")};
    for (const std::string &target : targets) {
        int n = 0;
        for (const Step &step : steps) {
            SCOPED_TRACE(target + " step " + std::to_string(++n));
            const Ran ran = Copy(target, step.options);
            EXPECT_EQ(step.status, ran.status) << ran.out << ran.err;
            EXPECT_EQ(step.records, Records(target));
        }
    }
    // The job file names the mode rdx chose.
    EXPECT_NE(std::string::npos,
              rdtest::ReadFile(DefaultHome() + "/load.toml").find("Mode = \"truncate\""));
}

TEST_F(ModeTest, RefusedModes) {
    rdtest::WriteFile(Path("orders.csv"), kOrdersCsv);
    const std::string target = "sqlite:" + Path("t.db") + "#orders";
    const struct {
        std::vector<std::string> options;
        const char *says;
    } refused[] = {
        {{"--mode", "overwrite"},
         "--mode takes create, append, replace, truncate, upsert or delete-insert"},
        {{"--create", "--mode", "append"}, "--create is --mode create"},
        {{"--mode"}, "--mode needs a value"},
    };
    for (const auto &bad : refused) {
        const Ran ran = Copy(target, bad.options);
        EXPECT_EQ(64, ran.status) << ran.out << ran.err;
        EXPECT_NE(std::string::npos, ran.err.find(bad.says)) << ran.err;
    }
}

} // namespace
} // namespace rdxtest
