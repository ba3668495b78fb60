// SPDX-License-Identifier: Apache-2.0
// `rdcsm runs`: every run, one line each, with its number, activity,
// outcome, start, host and end, the records it wrote (else read) and its rate,
// and for an incremental copy how it started. A running run tells its
// progress so far: records, recent rate, share done and time left.
#include "report.h"

#include "copy_lines.h"
#include "live_text.h"
#include "run_outcome.h"
#include "statistics_text.h"
#include "visible_text.h"

namespace rdcsm {

namespace {

// Record words among the statistics: fetch, then insert, update, remove.
constexpr std::size_t kFetchWord = rdstats::kCallWords + 2;
constexpr std::size_t kWrittenWords[] = {rdstats::kCallWords + 3, rdstats::kCallWords + 4,
                                         rdstats::kCallWords + 5};

uint32_t WordAt(const std::string &words, std::size_t index) {
    uint32_t word = 0;
    if (4 * index + 4 > words.size()) return 0;
    for (int i = 0; i < 4; ++i)
        word |= static_cast<uint32_t>(static_cast<uint8_t>(words[4 * index + i])) << (8 * i);
    return word == rdstats::kUnknownCount ? 0 : word;
}

// The records of a run's last statistics record: those it wrote, or for a
// run that wrote none, those it fetched; empty for a run without one.
std::optional<uint64_t> RunRecords(Store &store, int64_t run) {
    Statement last(store.Db(), "SELECT words FROM stats WHERE run = ? ORDER BY id DESC LIMIT 1");
    last.Bind(1, run);
    if (!last.Step()) return std::nullopt;
    const std::string words = last.Blob(0);
    uint64_t written = 0;
    for (std::size_t index : kWrittenWords)
        written += WordAt(words, index);
    return written != 0 ? written : WordAt(words, kFetchWord);
}

// The records of the run's statistics and, for a run that took `took` ms
// (0: still going), its rate.
void PrintRecords(Store &store, int64_t run, int64_t took, std::ostream &out) {
    const auto records = RunRecords(store, run);
    if (!records) return;
    out << "  records " << rdstats::Grouped(*records);
    if (took > 0)
        out << "  rate " << rdstats::Grouped(*records * 1000 / static_cast<uint64_t>(took)) << "/s";
}

void PrintRun(Store &store, Statement &row, const std::map<int64_t, std::string> &starts,
              std::ostream &out) {
    const int64_t run = row.Int(0), state = row.Int(2);
    out << "run " << run << "  " << rdxc::VisibleText(row.Text(1)) << "  "
        << OutcomeWord(RunOutcome(state, row.Int(3)));
    if (state == kQueued) {
        out << "  queued " << TimeText(row.Int(4)) << "\n";
        return;
    }
    const int64_t started = row.IsNull(5) ? row.Int(4) : row.Int(5);
    out << "  started " << TimeText(started);
    if (!row.IsNull(7)) out << "  host " << rdxc::VisibleText(row.Text(7));
    // A run taken over from a host that was lost says how often it was claimed.
    if (row.Int(8) > 1) out << "  claim " << row.Int(8);
    if (state >= kEnded) out << "  ended " << TimeText(row.Int(6));
    // A running run tells its progress so far from its host's samples.
    const auto live = state == kRunning ? RunLiveText(store, run, started) : std::nullopt;
    if (live)
        out << "  " << *live;
    else
        PrintRecords(store, run, state >= kEnded ? row.Int(6) - started : 0, out);
    if (const auto start = starts.find(run); start != starts.end())
        out << "  " << rdxc::VisibleText(start->second);
    out << "\n";
}

} // namespace

bool PrintRuns(Store &store, const std::string &name, std::ostream &out) {
    std::optional<int64_t> activity;
    if (!name.empty() && !(activity = store.FindObject(kActivity, name))) return false;
    Statement rows(store.Db(), "SELECT r.id, o.name, r.state, r.end_code, r.queued_ms, "
                               "r.started_ms, r.ended_ms, r.host, r.claims FROM runs r "
                               "JOIN objects o ON o.handle = r.activity "
                               "WHERE ?1 < 0 OR r.activity = ?1 ORDER BY r.id");
    rows.Bind(1, activity.value_or(-1)); // -1: every activity
    const std::map<int64_t, std::string> starts = RunStartLines(store, activity);
    while (rows.Step())
        PrintRun(store, rows, starts, out);
    return true;
}

} // namespace rdcsm
