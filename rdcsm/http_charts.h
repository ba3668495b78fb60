// SPDX-License-Identifier: Apache-2.0
// The status page's charts as inline SVG: a run's throughput over time
// (records a second between its progress samples) and an activity's recent
// runs (duration and records). Each comes with a text summary for readers
// that do not see the chart.
#pragma once

#include "http_runs.h"

#include <string>
#include <vector>

namespace rdcsm::http {

// The throughput line of a run: its polyline points in the chart's
// coordinates, the peak it is scaled to, and the summary.
struct Throughput {
    std::string points;
    double peak = 0;
    std::string summary;
};
Throughput ThroughputOf(const std::vector<Sample> &samples, int64_t startedMs);

// <svg id="throughput" ...> with the line of throughput.
std::string ThroughputSvg(int64_t run, const Throughput &throughput);

// <svg id="history" ...> of the runs (oldest first), and its summary.
std::string HistorySvg(const std::vector<RunView> &runs);
std::string HistorySummary(const std::vector<RunView> &runs);

} // namespace rdcsm::http
