// SPDX-License-Identifier: Apache-2.0
#include "live_text.h"

#include "live_words.h"
#include "statistics_text.h"

namespace rdcsm {

std::string LiveText(const LiveProgress &live) {
    const uint64_t records = live.written != 0 ? live.written : live.read;
    std::string text = "records " + rdstats::Grouped(records) + "  rate " +
                       rdstats::Grouped(static_cast<uint64_t>(live.rate + 0.5)) + "/s";
    if (live.share) text += "  " + rdstats::PercentText(*live.share);
    // A run that has read all it expected ends in no time worth telling.
    if (live.share && *live.share < 1 && live.secondsLeft)
        text += "  " + rdstats::TimeLeft(*live.secondsLeft);
    return text;
}

std::optional<std::string> RunLiveText(Store &store, int64_t run, int64_t startedMs) {
    const std::vector<Sample> samples = RunSamples(store, run);
    if (samples.empty()) return std::nullopt;
    return LiveText(ProgressOf(samples, startedMs));
}

} // namespace rdcsm
