// SPDX-License-Identifier: Apache-2.0
#include "samples.h"

#include "statistics_text.h"

#include <algorithm>
#include <string_view>

namespace rdcsm {

namespace {

// Words of the statistics record: select, fetch, insert, update, remove.
constexpr std::size_t kSelectWord = rdstats::kCallWords + 1, kFetchWord = rdstats::kCallWords + 2,
                      kWrittenWords[] = {rdstats::kCallWords + 3, rdstats::kCallWords + 4,
                                         rdstats::kCallWords + 5};
constexpr std::size_t kWords = rdstats::kCallWords + rdstats::kRecordWords;

// Samples of a run are at least this far apart, and at most this many
// per run's age.
constexpr int64_t kMinSpacingMs = 1000, kSpacingParts = 300;
// The rate is measured over the newest samples of this span.
constexpr int64_t kRateSpanMs = 5000;
// Time left is guessed only once this much has run and been read.
constexpr int64_t kGuessAfterMs = 1000;
constexpr double kGuessAfterShare = 0.01;

uint32_t WordAt(std::string_view words, std::size_t index) {
    uint32_t word = 0;
    if (4 * index + 4 > words.size()) return 0;
    for (std::size_t i = 0; i < 4; ++i)
        word |= static_cast<uint32_t>(static_cast<uint8_t>(words[4 * index + i])) << (8 * i);
    return word;
}

uint64_t Count(uint32_t word) {
    return word == rdstats::kUnknownCount ? 0 : word;
}

} // namespace

Sample SampleOfWords(int64_t timeMs, std::string_view words) {
    Sample sample;
    sample.timeMs = timeMs;
    sample.read = Count(WordAt(words, kFetchWord));
    for (std::size_t index : kWrittenWords)
        sample.written += Count(WordAt(words, index));
    sample.expected = Count(WordAt(words, kSelectWord));
    return sample;
}

namespace {

// The newest stored sample of the run: its id and time.
std::optional<std::pair<int64_t, int64_t>> Newest(Store &store, int64_t run) {
    Statement newest(store.Db(),
                     "SELECT id, time_ms FROM samples WHERE run = ? ORDER BY id DESC LIMIT 1");
    newest.Bind(1, run);
    if (!newest.Step()) return std::nullopt;
    return std::pair{newest.Int(0), newest.Int(1)};
}

int64_t RunStartMs(Store &store, int64_t run, int64_t fallback) {
    Statement start(store.Db(), "SELECT started_ms FROM runs WHERE id = ?");
    start.Bind(1, run);
    if (!start.Step() || start.IsNull(0)) return fallback;
    return start.Int(0);
}

} // namespace

void RecordSample(Store &store, int64_t activity, int64_t run, const uint32_t *words) {
    uint8_t bytes[4 * kWords];
    for (std::size_t i = 0; i < kWords; ++i)
        for (std::size_t b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<uint8_t>(words[i] >> (8 * b));
    const int64_t now = store.NowMs();
    const auto newest = Newest(store, run);
    if (newest) {
        const int64_t spacing =
            std::max(kMinSpacingMs, (now - RunStartMs(store, run, now)) / kSpacingParts);
        if (now - newest->second < spacing) {
            Statement replace(store.Db(), "UPDATE samples SET words = ? WHERE id = ?");
            replace.BindBlob(1, bytes).Bind(2, newest->first).Run();
            return;
        }
    }
    Statement insert(store.Db(),
                     "INSERT INTO samples(time_ms, activity, run, words) VALUES(?, ?, ?, ?)");
    insert.Bind(1, now).Bind(2, activity).Bind(3, run).BindBlob(4, bytes).Run();
}

std::vector<Sample> RunSamples(Store &store, int64_t run) {
    Statement rows(store.Db(), "SELECT time_ms, words FROM samples WHERE run = ? ORDER BY id");
    rows.Bind(1, run);
    std::vector<Sample> samples;
    while (rows.Step())
        samples.push_back(SampleOfWords(rows.Int(0), rows.BlobView(1)));
    return samples;
}

std::optional<Sample> LastSample(Store &store, int64_t run) {
    Statement row(store.Db(),
                  "SELECT time_ms, words FROM samples WHERE run = ? ORDER BY id DESC LIMIT 1");
    row.Bind(1, run);
    if (!row.Step()) return std::nullopt;
    return SampleOfWords(row.Int(0), row.BlobView(1));
}

LiveProgress ProgressOf(const std::vector<Sample> &samples, int64_t startedMs) {
    LiveProgress live;
    if (samples.empty()) return live;
    const Sample &last = samples.back();
    live.read = last.read;
    live.written = last.written;
    // The rate over the newest few seconds, else since the start.
    Sample base{startedMs, 0, 0, 0};
    for (auto at = samples.rbegin() + 1; at != samples.rend(); ++at)
        if (last.timeMs - at->timeMs >= kRateSpanMs) {
            base = *at;
            break;
        }
    const double seconds = static_cast<double>(last.timeMs - base.timeMs) / 1000;
    const uint64_t done = last.written != 0 ? last.written - std::min(last.written, base.written)
                                            : last.read - std::min(last.read, base.read);
    if (seconds > 0) live.rate = static_cast<double>(done) / seconds;
    if (last.expected == 0) return live;
    live.share = std::min(1.0, static_cast<double>(last.read) / static_cast<double>(last.expected));
    const double readRate =
        seconds > 0 ? static_cast<double>(last.read - std::min(last.read, base.read)) / seconds : 0;
    if (last.timeMs - startedMs >= kGuessAfterMs && *live.share >= kGuessAfterShare && readRate > 0)
        live.secondsLeft =
            static_cast<double>(last.expected - std::min(last.expected, last.read)) / readRate;
    return live;
}

} // namespace rdcsm
