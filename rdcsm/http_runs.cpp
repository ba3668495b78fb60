// SPDX-License-Identifier: Apache-2.0
#include "http_runs.h"

#include "civil_days.h"
#include "plain_message.h"
#include "rdres.h"
#include "rdx_activity.h"
#include "report.h"
#include "run_outcome.h"
#include "secret_mask.h"

#include <algorithm>
#include <climits>
#include <sstream>

namespace rdcsm::http {

namespace {

constexpr int64_t kDayMs = 86400000;

// The first millisecond of a day "YYYY-MM-DD" (UTC); empty for another text
// or a date that does not exist.
std::optional<int64_t> DayStart(const std::string &day) {
    if (day.size() != 10 || day[4] != '-' || day[7] != '-') return std::nullopt;
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (day[i] < '0' || day[i] > '9') return std::nullopt;
    const int64_t y = std::stoll(day.substr(0, 4)), m = std::stoll(day.substr(5, 2)),
                  d = std::stoll(day.substr(8, 2));
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1 || d > kDays[m - 1]) return std::nullopt;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (m == 2 && d == 29 && !leap) return std::nullopt;
    return DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) * kDayMs;
}

std::optional<Outcome> OutcomeOf(const std::string &word) {
    for (int i = 0; i < kOutcomes; ++i)
        if (word == OutcomeWord(static_cast<Outcome>(i))) return static_cast<Outcome>(i);
    return std::nullopt;
}

// The statistics words of a stored record (little-endian; a partial last
// word left out).
std::vector<uint32_t> Words(std::string_view bytes) {
    std::vector<uint32_t> words;
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
        uint32_t word = 0;
        for (std::size_t i = 0; i < 4; ++i)
            word |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
        words.push_back(word);
    }
    return words;
}

// The records of an ended run: from its last statistics record.
void AddTotals(Store &store, RunView &run) {
    Statement last(store.Db(), "SELECT words FROM stats WHERE run = ? ORDER BY id DESC LIMIT 1");
    last.Bind(1, run.run);
    if (!last.Step()) return;
    const Sample totals = SampleOfWords(0, last.BlobView(0));
    run.read = totals.read;
    run.written = totals.written;
    run.records = totals.written != 0 ? totals.written : totals.read;
    if (run.durationMs && *run.durationMs > 0)
        run.rate = static_cast<double>(run.records) * 1000 / static_cast<double>(*run.durationMs);
}

// The progress of a running run: from its samples.
void AddProgress(RunView &run, const std::vector<Sample> &samples) {
    const LiveProgress live = ProgressOf(samples, *run.startedMs);
    run.read = live.read;
    run.written = live.written;
    run.records = live.written != 0 ? live.written : live.read;
    run.rate = live.rate;
    run.share = live.share;
    run.secondsLeft = live.secondsLeft;
}

#define RUN_COLUMNS                                                                                \
    "SELECT r.id, o.name, r.state, r.end_code, r.queued_ms, r.started_ms, r.ended_ms, r.host "     \
    "FROM runs r JOIN objects o ON o.handle = r.activity "

// The query of a list of runs, of one outcome or of any. The store keeps
// prepared statements by the text's address, so each text is built once
// and kept for the life of the process.
const char *ListQuery(std::optional<Outcome> outcome) {
    static const std::vector<std::string> queries = [] {
        std::vector<std::string> texts;
        for (int i = -1; i < kOutcomes; ++i)
            texts.push_back(std::string(RUN_COLUMNS) +
                            "WHERE (?1 < 0 OR r.activity = ?1) AND "
                            "coalesce(r.started_ms, r.queued_ms) >= ?2 AND "
                            "coalesce(r.started_ms, r.queued_ms) < ?3 AND r.id IN (SELECT id "
                            "FROM runs WHERE " +
                            (i < 0 ? "1 = 1" : OutcomeCondition(static_cast<Outcome>(i))) +
                            ") ORDER BY r.id DESC LIMIT ?4");
        return texts;
    }();
    return queries[outcome ? static_cast<std::size_t>(*outcome) + 1 : 0].c_str();
}

RunView RunOfRow(Statement &row, int64_t nowMs) {
    RunView run;
    run.run = row.Int(0);
    run.activity = row.Text(1);
    run.state = row.Int(2);
    run.endCode = row.IsNull(3) ? 0 : row.Int(3);
    run.queuedMs = row.Int(4);
    if (run.state != kQueued) run.startedMs = row.IsNull(5) ? run.queuedMs : row.Int(5);
    if (run.state >= kEnded && !row.IsNull(6)) run.endedMs = row.Int(6);
    if (!row.IsNull(7)) run.host = row.Text(7);
    if (run.startedMs) run.durationMs = run.endedMs.value_or(nowMs) - *run.startedMs;
    return run;
}

// The run's figures: live ones for a running run, totals for an ended one.
void Complete(Store &store, RunView &run) {
    if (run.state == kRunning)
        AddProgress(run, RunSamples(store, run.run));
    else if (run.state >= kEnded)
        AddTotals(store, run);
}

LogLine LineOfRow(Statement &row) {
    LogLine line;
    line.timeMs = row.Int(0);
    const auto number = static_cast<uint32_t>(row.Int(1));
    line.number = number & 0x0FFFFFFFu;
    line.informational = (number & RDMESSAGE_INFORMATIONAL) != 0;
    // A record without a text of its own is told by its message's text.
    line.text = row.Text(2);
    if (line.text.empty()) {
        char message[RDRES_TEXT_SIZE] = "";
        RDLibraryLoadString(line.number, message, sizeof message);
        line.text = rdmessage::PlainMessage(message);
    }
    line.text = rdxc::MaskSecrets(line.text);
    return line;
}

// The line that told a failed run's failure: its last entry with a message
// number (not an informational one), else its last entry.
std::optional<std::size_t> FailingLine(const std::vector<LogLine> &log) {
    if (log.empty()) return std::nullopt;
    for (std::size_t i = log.size(); i-- > 0;)
        if (log[i].number != 0 && !log[i].informational) return i;
    return log.size() - 1;
}

} // namespace

const char *StateWord(const RunView &run) {
    return run.state == kQueued ? "queued" : run.state == kRunning ? "running" : "ended";
}

const char *OutcomeText(const RunView &run) {
    return OutcomeWord(RunOutcome(run.state, run.endCode));
}

bool ValidFilter(const RunFilter &filter, std::string &error) {
    if (!filter.outcome.empty() && !OutcomeOf(filter.outcome)) {
        error = "outcome must be one of queued, running, ended, failed, stopped, lost";
        return false;
    }
    if (!filter.day.empty() && !DayStart(filter.day)) {
        error = "day must be a date YYYY-MM-DD";
        return false;
    }
    return true;
}

std::vector<RunView> ReadRuns(Store &store, const RunFilter &filter, int limit) {
    int64_t activity = -1; // every activity
    if (!filter.activity.empty())
        activity = store.FindObject(kActivity, filter.activity).value_or(0);
    // A day's runs, else runs at any time.
    int64_t from = INT64_MIN, to = INT64_MAX;
    if (const auto day = DayStart(filter.day)) from = *day, to = *day + kDayMs;
    const std::optional<Outcome> outcome = OutcomeOf(filter.outcome);
    Statement rows(store.Db(), ListQuery(outcome));
    rows.Bind(1, activity).Bind(2, from).Bind(3, to).Bind(4, static_cast<int64_t>(limit));
    const int64_t now = store.NowMs();
    std::vector<RunView> runs;
    while (rows.Step())
        runs.push_back(RunOfRow(rows, now));
    for (RunView &run : runs)
        Complete(store, run);
    return runs;
}

std::optional<RunView> ReadOneRun(Store &store, int64_t id) {
    Statement row(store.Db(), RUN_COLUMNS "WHERE r.id = ?");
    row.Bind(1, id);
    if (!row.Step()) return std::nullopt;
    RunView run = RunOfRow(row, store.NowMs());
    row.Reset();
    Complete(store, run);
    return run;
}

std::optional<RunDetail> ReadRun(Store &store, int64_t id) {
    std::optional<RunView> run = ReadOneRun(store, id);
    if (!run) return std::nullopt;
    RunDetail detail;
    detail.run = std::move(*run);
    Statement log(store.Db(), "SELECT time_ms, number, text FROM log WHERE run = ? "
                              "ORDER BY id DESC LIMIT ?");
    log.Bind(1, id).Bind(2, static_cast<int64_t>(kShownLogLines));
    while (log.Step())
        detail.log.push_back(LineOfRow(log));
    std::reverse(detail.log.begin(), detail.log.end());
    if (RunOutcome(detail.run.state, detail.run.endCode) == Outcome::kFailed)
        detail.failing = FailingLine(detail.log);
    Statement stats(store.Db(), "SELECT words FROM stats WHERE run = ? ORDER BY id DESC LIMIT 1");
    stats.Bind(1, id);
    if (stats.Step()) detail.statistics = Words(stats.BlobView(0));
    detail.samples = RunSamples(store, id);
    return detail;
}

std::vector<ActivityRow> ReadActivities(Store &store) {
    Statement rows(store.Db(), "SELECT name, (SELECT max(id) FROM runs r WHERE r.activity = "
                               "o.handle) FROM objects o WHERE kind = ? ORDER BY name");
    rows.Bind(1, static_cast<int64_t>(kActivity));
    std::vector<std::pair<std::string, std::optional<int64_t>>> found;
    while (rows.Step())
        found.emplace_back(rows.Text(0),
                           rows.IsNull(1) ? std::nullopt : std::optional<int64_t>(rows.Int(1)));
    std::vector<ActivityRow> activities;
    for (const auto &[name, last] : found) {
        ActivityRow row{name, std::nullopt};
        if (last) row.last = ReadOneRun(store, *last);
        activities.push_back(std::move(row));
    }
    return activities;
}

std::optional<ActivityDetail> ReadActivity(Store &store, const std::string &name) {
    if (!store.FindObject(kActivity, name)) return std::nullopt;
    ActivityDetail detail;
    detail.name = name;
    std::ostringstream definition;
    PrintDescription(store, name, false, definition);
    detail.definition = definition.str();
    detail.runs = ReadRuns(store, {name, "", ""}, kHistoryRuns);
    std::reverse(detail.runs.begin(), detail.runs.end());
    return detail;
}

} // namespace rdcsm::http
