// SPDX-License-Identifier: Apache-2.0
// `rdcsm stats`: the runs of an activity and its statistics records, as
// labelled text or as JSON.
#include "report.h"

#include "copy_lines.h"
#include "run_outcome.h"
#include "statistics_text.h"
#include "visible_text.h"

#include <cstdio>
#include <vector>

namespace rdcsm {

namespace {

struct RunRow {
    int64_t id, state, endCode, queuedMs, endedMs;
    std::string host; // the host that ran (or runs) it; empty for none
};

struct StatsRow {
    int64_t timeMs, run;
    std::vector<uint32_t> words;
};

const char *StateText(const RunRow &run) {
    return OutcomeWord(RunOutcome(run.state, run.endCode));
}

std::vector<RunRow> ReadRuns(Store &store, int64_t handle) {
    Statement runs(store.Db(), "SELECT id, state, end_code, queued_ms, ended_ms, host FROM runs "
                               "WHERE activity = ? ORDER BY id");
    runs.Bind(1, handle);
    std::vector<RunRow> rows;
    while (runs.Step())
        rows.push_back({runs.Int(0), runs.Int(1), runs.Int(2), runs.Int(3), runs.Int(4),
                        runs.IsNull(5) ? std::string() : runs.Text(5)});
    return rows;
}

// The stored words are little-endian (19 of them, as the server manager
// stores them); a partial last word is left out.
std::vector<StatsRow> ReadStatistics(Store &store, int64_t handle) {
    Statement stats(store.Db(),
                    "SELECT time_ms, run, words FROM stats WHERE activity = ? ORDER BY id");
    stats.Bind(1, handle);
    std::vector<StatsRow> rows;
    while (stats.Step()) {
        StatsRow row{stats.Int(0), stats.Int(1), {}};
        const std::string words = stats.Blob(2);
        for (std::size_t at = 0; at + 4 <= words.size(); at += 4) {
            uint32_t word = 0;
            for (int i = 0; i < 4; ++i)
                word |= static_cast<uint32_t>(static_cast<uint8_t>(words[at + i])) << (8 * i);
            row.words.push_back(word);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string CountText(uint32_t count) {
    return count == rdstats::kUnknownCount ? "unknown" : rdstats::Grouped(count);
}

// "  calls:   connect 2 fetch 21": the counts that are not 0.
void PrintCounts(std::ostream &out, const char *title, const char *const *names, int count,
                 const std::vector<uint32_t> &words, std::size_t first) {
    char label[16];
    std::snprintf(label, sizeof label, "  %-9s", title);
    out << label;
    bool any = false;
    for (int i = 0; i < count && first + i < words.size(); ++i) {
        if (words[first + i] == 0) continue;
        out << (any ? " " : "") << names[i] << " " << CountText(words[first + i]);
        any = true;
    }
    out << (any ? "\n" : "none\n");
}

void PrintText(const std::vector<RunRow> &runs, const std::optional<Bookmark> &bookmark,
               const std::vector<StatsRow> &stats, std::ostream &out) {
    for (const RunRow &run : runs) {
        out << "run " << run.id << "  " << StateText(run) << "  queued " << TimeText(run.queuedMs);
        if (!run.host.empty()) out << "  host " << rdxc::VisibleText(run.host);
        if (run.state >= kEnded)
            out << "  ended " << TimeText(run.endedMs) << "  end code " << run.endCode;
        out << "\n";
    }
    if (bookmark)
        out << "Bookmark  " << rdxc::VisibleText(bookmark->key) << " = "
            << rdxc::VisibleText(bookmark->value) << "\n";
    for (const StatsRow &row : stats) {
        out << TimeText(row.timeMs) << "  run " << row.run << "  statistics:\n";
        PrintCounts(out, "calls:", rdstats::kCallNames, rdstats::kCallWords, row.words, 0);
        PrintCounts(out, "records:", rdstats::kRecordNames, rdstats::kRecordWords, row.words,
                    rdstats::kCallWords);
    }
}

// A JSON string of a stored text, made visible first (so it is valid UTF-8
// without controls).
std::string JsonString(const std::string &text) {
    std::string out = "\"";
    for (char c : rdxc::VisibleText(text)) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string JsonCount(uint32_t count) {
    return count == rdstats::kUnknownCount ? "null" : std::to_string(count);
}

void PrintJsonCounts(std::ostream &out, const char *const *names, int count,
                     const std::vector<uint32_t> &words, std::size_t first) {
    out << "{";
    for (int i = 0; i < count && first + i < words.size(); ++i)
        out << (i == 0 ? "" : ", ") << "\"" << names[i] << "\": " << JsonCount(words[first + i]);
    out << "}";
}

void PrintJsonRun(const RunRow &run, std::ostream &out) {
    out << "{\"run\": " << run.id << ", \"state\": \"" << StateText(run) << "\", \"queued\": \""
        << TimeText(run.queuedMs) << "\"";
    if (!run.host.empty()) out << ", \"host\": " << JsonString(run.host);
    if (run.state >= kEnded)
        out << ", \"ended\": \"" << TimeText(run.endedMs) << "\", \"end_code\": " << run.endCode;
    out << "}";
}

void PrintJsonStatistics(const StatsRow &row, std::ostream &out) {
    out << "{\"time\": \"" << TimeText(row.timeMs) << "\", \"run\": " << row.run << ", \"calls\": ";
    PrintJsonCounts(out, rdstats::kCallNames, rdstats::kCallWords, row.words, 0);
    out << ", \"records\": ";
    PrintJsonCounts(out, rdstats::kRecordNames, rdstats::kRecordWords, row.words,
                    rdstats::kCallWords);
    out << "}";
}

void PrintJson(const std::string &name, const std::vector<RunRow> &runs,
               const std::optional<Bookmark> &bookmark, const std::vector<StatsRow> &stats,
               std::ostream &out) {
    out << "{\"name\": " << JsonString(name) << ",\n \"runs\": [";
    for (std::size_t i = 0; i < runs.size(); ++i) {
        out << (i == 0 ? "\n  " : ",\n  ");
        PrintJsonRun(runs[i], out);
    }
    out << "],\n \"statistics\": [";
    for (std::size_t i = 0; i < stats.size(); ++i) {
        out << (i == 0 ? "\n  " : ",\n  ");
        PrintJsonStatistics(stats[i], out);
    }
    out << "],\n \"bookmark\": ";
    if (bookmark)
        out << "{\"key\": " << JsonString(bookmark->key)
            << ", \"value\": " << JsonString(bookmark->value) << "}";
    else
        out << "null";
    out << "}\n";
}

} // namespace

bool PrintStatistics(Store &store, const std::string &name, std::ostream &out, bool json) {
    auto handle = FindNamed(store, name);
    if (!handle) return false;
    const std::vector<RunRow> runs = ReadRuns(store, *handle);
    const std::vector<StatsRow> stats = ReadStatistics(store, *handle);
    const std::optional<Bookmark> bookmark = LastBookmark(store, *handle);
    if (json)
        PrintJson(name, runs, bookmark, stats, out);
    else
        PrintText(runs, bookmark, stats, out);
    return true;
}

} // namespace rdcsm
