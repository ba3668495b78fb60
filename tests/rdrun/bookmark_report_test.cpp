// SPDX-License-Identifier: Apache-2.0
// rdcsm shows how each run of an incremental copy started beside the run in
// `runs`, and the last bookmark the runs committed in `stats` (text and
// JSON), from the informational lines the activity logged; texts from the
// activity are shown one line each, escaped and cut short.
#include "run_test_env.h"

namespace rdruntest {
namespace {

constexpr const char *kFirstRun = "Incremental by updated_at: first run, every record is copied.";
constexpr const char *kFrom = "Incremental from updated_at > 2026-12-06 23:59:59.99.";
constexpr const char *kRefresh = "Full refresh: the bookmark of updated_at is forgotten.";

class BookmarkReportTest : public RunTest {
  protected:
    // Defines the activity to log the lines (TOML basic strings, escapes
    // allowed; empty: none) and runs it once.
    void RunTelling(const std::string &first, const std::string &last) {
        std::string toml = "[activity.tell]\nconnector = \"rdteller\"\n";
        if (!first.empty()) toml += "First = \"" + first + "\"\n";
        if (!last.empty()) toml += "Last = \"" + last + "\"\n";
        Define(toml);
        ASSERT_EQ(0, Rdrun("tell").status);
    }
    std::string Tool(const std::string &arguments) const {
        const Ran ran = Program("rdcsm", arguments);
        EXPECT_EQ(0, ran.status) << arguments << ran.err;
        return ran.out;
    }
    // The line of run `run` in `rdcsm runs tell`.
    std::string RunLine(int run) const {
        const std::string runs = Tool("runs tell");
        const size_t at = runs.find("run " + std::to_string(run) + "  ");
        return at == std::string::npos ? "" : runs.substr(at, runs.find('\n', at) - at);
    }
};

TEST_F(BookmarkReportTest, RunsShowTheirStartAndStatsTheLastBookmark) {
    RunTelling(kFirstRun, "Bookmark: updated_at = 2026-12-06 23:59:59.99.");
    RunTelling(kFrom, "Bookmark: updated_at = 2026-12-07 10:00:00.5.");
    RunTelling("", "");
    RunTelling(kRefresh, "");
    EXPECT_NE(std::string::npos,
              RunLine(1).find("  incremental by updated_at: first run, every record is copied"))
        << RunLine(1);
    EXPECT_EQ('d', RunLine(1).back()) << "the closing stop is left out";
    EXPECT_NE(std::string::npos,
              RunLine(2).find("  incremental from updated_at > 2026-12-06 23:59:59.99"));
    EXPECT_EQ(std::string::npos, RunLine(3).find("ncremental")) << RunLine(3);
    EXPECT_NE(std::string::npos,
              RunLine(4).find("  full refresh: the bookmark of updated_at is forgotten"));
    // Every run listed, too, carries its start.
    EXPECT_NE(std::string::npos, Tool("runs").find(RunLine(2)));

    // The last bookmark logged, though the newest run logged none.
    const std::string stats = Tool("stats tell");
    EXPECT_EQ(1u, Count(stats, "Bookmark")) << stats;
    EXPECT_NE(std::string::npos, stats.find("\nBookmark  updated_at = 2026-12-07 10:00:00.5\n"))
        << stats;
    EXPECT_NE(std::string::npos, Tool("stats --json tell")
                                     .find("\"bookmark\": {\"key\": \"updated_at\", \"value\": "
                                           "\"2026-12-07 10:00:00.5\"}"));
}

// Only lines of those forms count: one that merely begins with the same
// word, or a bookmark without " = ", is not one.
TEST_F(BookmarkReportTest, OtherLinesAreNotTakenForThem) {
    RunTelling("Incremental loads are fun.", "Bookmark: none");
    EXPECT_EQ(std::string::npos, RunLine(1).find("ncremental")) << RunLine(1);
    EXPECT_EQ(std::string::npos, Tool("stats tell").find("Bookmark")) << Tool("stats tell");
    EXPECT_NE(std::string::npos, Tool("stats --json tell").find("\"bookmark\": null"));
}

TEST_F(BookmarkReportTest, HostileValuesAreShownOnOneLineAndCutShort) {
    const std::string huge(10 * 1024, 'x');
    const std::string hostile = "\\\"q\\\" \\n\\u001b[31m \\u00e9" + huge + "end";
    RunTelling("Incremental from updated_at > " + hostile + ".",
               "Bookmark: updated_at = " + hostile + ".");
    const std::string line = RunLine(1);
    EXPECT_NE(std::string::npos, line.find("incremental from updated_at > \"q\" \\n\\x1b[31m é"))
        << line;
    EXPECT_LT(line.size(), 400u);
    EXPECT_EQ("...", line.substr(line.size() - 3));

    const std::string stats = Tool("stats tell");
    EXPECT_EQ(std::string::npos, stats.find('\x1b'));
    const size_t at = stats.find("Bookmark  updated_at = \"q\" \\n\\x1b[31m é");
    ASSERT_NE(std::string::npos, at) << stats.substr(0, 1000);
    const std::string shown = stats.substr(at, stats.find('\n', at) - at);
    EXPECT_LT(shown.size(), 300u);
    EXPECT_EQ("...", shown.substr(shown.size() - 3));

    const std::string json = Tool("stats --json tell");
    EXPECT_NE(std::string::npos, json.find("\"value\": \"\\\"q\\\" \\\\n\\\\x1b[31m é")) << json;
    EXPECT_LT(json.size(), 2000u);
}

} // namespace
} // namespace rdruntest
