// SPDX-License-Identifier: Apache-2.0
// rdx's command line: help, version, and the forms it refuses before it
// sets anything up.
#include "rdx_test_env.h"

#include <sstream>

namespace rdxtest {
namespace {

TEST_F(RdxTest, HelpAndVersion) {
    Ran help = Rdx({"--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_NE(std::string::npos, help.out.find("rdx copy SOURCE TARGET"));
    Ran copyHelp = Rdx({"copy", "--help"});
    EXPECT_EQ(0, copyHelp.status);
    EXPECT_NE(std::string::npos, copyHelp.out.find("sqlite:FILE#TABLE"));
    EXPECT_NE(std::string::npos, copyHelp.out.find("--dry-run"));
    Ran version = Rdx({"--version"});
    EXPECT_EQ(0, version.status);
    EXPECT_EQ(0u, version.out.rfind("rdx ", 0));
    EXPECT_EQ(64, Rdx({}).status);
    EXPECT_EQ(64, Rdx({"move"}).status);
}

// Each refusal exits 64 with a usage message and makes no home.
TEST_F(RdxTest, BadCommandLinesAreRefusedWithUsage) {
    rdtest::WriteFile(Path("orders.csv"), kOrdersCsv);
    const std::string csv = Path("orders.csv"), db = "sqlite:" + Path("o.db");
    const std::vector<std::vector<std::string>> bad = {
        {"copy", csv, "ftp://somewhere/x"},                 // unknown form
        {"copy", csv},                                      // no target
        {"copy", csv, db, Path("third.csv")},               // three ends
        {"copy", "sqlite:" + Path("o.db"), csv},            // source without a table
        {"copy", csv, db, "--on-error", "ignore"},          // bad on-error
        {"copy", csv, db, "--batch", "0"},                  // bad batch
        {"copy", csv, db, "--batch"},                       // no value
        {"copy", csv, db, "--frobnicate"},                  // unknown option
        {"copy", csv, db, "--full-refresh", "--resume"},    // both ways to start
        {"copy", csv, db, "--rejects", Path("r.csv")},      // rejects without skip
        {"copy", csv, db, "--select", "SELECT 1"},          // select on a CSV source
        {"copy", csv, db, "--name", "no spaces"},           // bad name
        {"copy", db + "#t", db + "#u", "--delimiter", ";"}, // no CSV end
    };
    for (const auto &args : bad) {
        Ran ran = Rdx(args);
        EXPECT_EQ(64, ran.status) << args.back();
        EXPECT_NE(std::string::npos, ran.err.find("rdx copy")) << args.back();
    }
    Ran unknown = Rdx(bad[0]);
    EXPECT_NE(std::string::npos, unknown.err.find("postgresql://...#TABLE")) << unknown.err;
    EXPECT_NE(std::string::npos, unknown.err.find("odbc:DSN#TABLE"));
    EXPECT_FALSE(rdtest::FileExists(DefaultHome()));
}

// The manual page names every option that `rdx copy --help` shows.
TEST_F(RdxTest, ManualNamesEveryOptionOfTheHelp) {
    const std::string page = rdtest::ReadFile(RDTEST_RDX_MANPAGE);
    std::istringstream lines(Rdx({"copy", "--help"}).out);
    int options = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first.size() < 3 || first.compare(0, 2, "--") != 0) continue;
        EXPECT_NE(std::string::npos, page.find("*" + first + "*")) << first;
        ++options;
    }
    EXPECT_EQ(20, options);
}

} // namespace
} // namespace rdxtest
