#include "progress.h"

#include "rdcsm/statistics_text.h"

#include <string>

namespace rdrun {
namespace {

constexpr double kPlainLineSeconds = 5.0, kRedrawSeconds = 0.2;
constexpr int kBarWidth = 30;
constexpr uint32_t kUnknown = 0xFFFFFFFFu;

std::string Bar(uint64_t done, uint64_t total) {
    const int filled = static_cast<int>(done >= total ? kBarWidth : done * kBarWidth / total);
    std::string bar = "[";
    bar.append(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), ' ');
    bar += "] ";
    return bar;
}

} // namespace

Progress::Progress(std::FILE *out, bool terminal)
    : out_(out), terminal_(terminal), start_(std::chrono::steady_clock::now()) {}

double Progress::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::Update(const uint32_t *statistics) {
    const double seconds = Seconds();
    if (seconds - lastLine_ < (terminal_ ? kRedrawSeconds : kPlainLineSeconds)) return;
    lastLine_ = seconds;
    Show(statistics, seconds);
}

void Progress::Show(const uint32_t *statistics, double seconds) {
    const uint64_t read = statistics[kFetchRecords];
    const uint64_t written =
        uint64_t{statistics[kInsertRecords]} + uint64_t{statistics[kUpdateRecords]};
    const uint32_t total = statistics[kSelectRecords];
    std::string bar;
    if (terminal_ && total != 0 && total != kUnknown) bar = Bar(read, total);
    const double rate = seconds > 0 ? static_cast<double>(written) / seconds : 0;
    std::fprintf(out_, "%s%s%s read, %s written, %s records/s, %.1f s%s", terminal_ ? "\r" : "",
                 bar.c_str(), rdstats::Grouped(read).c_str(), rdstats::Grouped(written).c_str(),
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
