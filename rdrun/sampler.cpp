// SPDX-License-Identifier: Apache-2.0
#include "sampler.h"

#include "host_run.h"
#include "progress.h"
#include "read_share.h"

#include "rdcsm/run_handles.h"
#include "rdcsm/statistics_text.h"
#include "rdxapi.h"

#include <algorithm>

namespace rdrun {
namespace {

constexpr std::chrono::milliseconds kEvery{1000}, kLongestPause{16000};
// A share smaller than this says too little to estimate the records from.
constexpr double kLeastShare = 0.001;
// The largest count a word holds that is not "unknown".
constexpr double kMostRecords = rdstats::kUnknownCount - 1.0;

} // namespace

void SampleWords(const uint32_t *statistics, std::optional<double> share, uint32_t *words) {
    std::copy(statistics, statistics + kStatisticsWords, words);
    uint32_t &expected = words[kSelectRecords];
    if (expected != 0 && expected != rdstats::kUnknownCount) return;
    const uint32_t read = statistics[kFetchRecords];
    if (!share || *share < kLeastShare || read == 0) return;
    expected = static_cast<uint32_t>(std::min(kMostRecords, read / std::min(1.0, *share)));
}

Sampler::Sampler(uint32_t runHandle)
    : handle_(rdcsm::SampleHandle(runHandle)), due_(Clock::now() + kEvery), pause_(kEvery) {}

void Sampler::Offer(const uint32_t *statistics) {
    if (handle_ == 0 || Clock::now() < due_) return;
    uint32_t words[kStatisticsWords];
    SampleWords(statistics, SourceShareRead(), words);
    // A failure makes the next samples wait longer, up to a limit, so that
    // a server manager that is gone costs the watching thread little.
    pause_ = CSMgrDataLog(handle_, words) == 0 ? kEvery : std::min(kLongestPause, pause_ * 2);
    due_ = Clock::now() + pause_;
}

} // namespace rdrun
