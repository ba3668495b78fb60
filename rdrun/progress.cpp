// SPDX-License-Identifier: Apache-2.0
#include "progress.h"

#include "read_share.h"

#include "rdcsm/live_words.h"
#include "rdcsm/statistics_text.h"

#include <algorithm>
#include <string>

namespace rdrun {
namespace {

constexpr double kRedrawSeconds = 0.2;
// Time left is guessed only once this much has run and been read, so
// that the first buffer read does not promise an early end.
constexpr double kGuessAfterSeconds = 1.0, kGuessAfterShare = 0.01;
constexpr int kBarWidth = 30;
constexpr uint32_t kUnknown = 0xFFFFFFFFu;

// share from 0 to 1.
std::string Bar(double share) {
    const int filled = static_cast<int>(std::min(1.0, share) * kBarWidth);
    std::string bar = "[";
    bar.append(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), ' ');
    bar += "] ";
    return bar;
}

// ", 38%, about 1 min left" while a source file is read; empty otherwise.
std::string ShareText(const std::optional<double> &share, double seconds) {
    if (!share) return "";
    std::string text = ", " + rdstats::PercentText(*share);
    if (*share < 1 && seconds >= kGuessAfterSeconds && *share >= kGuessAfterShare)
        text += ", " + rdstats::TimeLeft(seconds * (1 - *share) / *share);
    return text;
}

} // namespace

Progress::Progress(std::FILE *out, bool terminal, double plainSeconds)
    : out_(out), terminal_(terminal), plainSeconds_(plainSeconds),
      start_(std::chrono::steady_clock::now()) {}

double Progress::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::Update(const uint32_t *statistics) {
    const double seconds = Seconds();
    if (seconds - lastLine_ < (terminal_ ? kRedrawSeconds : plainSeconds_)) return;
    lastLine_ = seconds;
    Show(statistics, seconds);
}

void Progress::Show(const uint32_t *statistics, double seconds) {
    const uint64_t read = statistics[kFetchRecords];
    const uint64_t written =
        uint64_t{statistics[kInsertRecords]} + uint64_t{statistics[kUpdateRecords]};
    const uint32_t total = statistics[kSelectRecords];
    const std::optional<double> share = SourceShareRead();
    // The bar follows the records the select told, else the file read.
    std::string bar;
    if (terminal_ && total != 0 && total != kUnknown)
        bar = Bar(static_cast<double>(read) / total);
    else if (terminal_ && share)
        bar = Bar(*share);
    const double rate = seconds > 0 ? static_cast<double>(written) / seconds : 0;
    std::fprintf(out_, "%s%s%s read, %s written%s, %s records/s, %.1f s%s", terminal_ ? "\r" : "",
                 bar.c_str(), rdstats::Grouped(read).c_str(), rdstats::Grouped(written).c_str(),
                 ShareText(share, seconds).c_str(),
                 rdstats::Grouped(static_cast<uint64_t>(rate + 0.5)).c_str(), seconds,
                 terminal_ ? "\033[K" : "\n");
    std::fflush(out_);
    drawn_ = terminal_;
}

void Progress::Finish(const uint32_t *statistics) {
    Show(statistics, Seconds());
    if (drawn_) std::fputc('\n', out_);
    drawn_ = false;
}

} // namespace rdrun
