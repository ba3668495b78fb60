// SPDX-License-Identifier: Apache-2.0
#include "tool_env.h"

#include "test_store.h"

#include <gtest/gtest.h>

namespace rdcsmtest {

std::string Quoted(const std::string &text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

ToolRun RunTool(const rdtest::TempHome &home, const std::string &arguments,
                const std::string &stdoutTo) {
    const std::string out = home.Path("tool.out"), err = home.Path("tool.err");
    rdtest::WriteFile(out, "");
    ToolRun run;
    run.status = rdtest::Shell(
        "PATH=" + Quoted(home.Dir()) + ":\"$PATH\" timeout 120 " + Quoted(RDCSM_PROGRAM) + " " +
        StoreOption(home.Path("rdcsm.db")) + " " + arguments + " " +
        (stdoutTo.empty() ? ">" + Quoted(out) : stdoutTo) + " 2>" + Quoted(err));
    run.out = rdtest::ReadFile(out);
    run.err = rdtest::ReadFile(err);
    return run;
}

void InstallConnector(const rdtest::TempHome &home, const std::string &file,
                      const std::string &name) {
    ASSERT_EQ(0, rdtest::Shell("cp " + Quoted(file) + " " + Quoted(home.Path(name + ".rdx"))));
}

} // namespace rdcsmtest
