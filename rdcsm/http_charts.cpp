// SPDX-License-Identifier: Apache-2.0
#include "http_charts.h"

#include "http_html.h"
#include "statistics_text.h"

#include <algorithm>
#include <cstdio>

namespace rdcsm::http {

namespace {

// The drawing area within a 600 by 200 view box: room on the left for the
// scale, below for the time.
constexpr double kLeft = 60, kRight = 590, kTop = 10, kBottom = 180;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string Axes() {
    return "<line class=\"axis\" x1=\"60\" y1=\"180\" x2=\"590\" y2=\"180\"/>"
           "<line class=\"axis\" x1=\"60\" y1=\"10\" x2=\"60\" y2=\"180\"/>";
}

std::string Label(double x, double y, const std::string &anchor, const std::string &text) {
    return "<text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" text-anchor=\"" + anchor + "\">" +
           Html(text) + "</text>";
}

} // namespace

Throughput ThroughputOf(const std::vector<Sample> &samples, int64_t startedMs) {
    Throughput chart;
    if (samples.empty()) {
        chart.summary = "No progress samples yet.";
        return chart;
    }
    // Rates between consecutive samples, from the run's start on.
    std::vector<std::pair<double, double>> rates; // seconds since the start, records a second
    Sample previous{startedMs, 0, 0, 0};
    const bool writes = samples.back().written != 0;
    for (const Sample &sample : samples) {
        const double seconds = static_cast<double>(sample.timeMs - previous.timeMs) / 1000;
        const uint64_t now = writes ? sample.written : sample.read,
                       before = writes ? previous.written : previous.read;
        if (seconds > 0)
            rates.emplace_back(static_cast<double>(sample.timeMs - startedMs) / 1000,
                               static_cast<double>(now - std::min(now, before)) / seconds);
        previous = sample;
    }
    if (rates.empty()) {
        chart.summary = "No progress samples yet.";
        return chart;
    }
    double peak = 0;
    for (const auto &rate : rates)
        peak = std::max(peak, rate.second);
    chart.peak = peak;
    const double span = std::max(rates.back().first, 1.0);
    for (const auto &[at, rate] : rates) {
        const double x = kLeft + (kRight - kLeft) * at / span;
        const double y = kBottom - (kBottom - kTop) * (peak > 0 ? rate / peak : 0);
        chart.points += (chart.points.empty() ? "" : " ") + Number(x) + "," + Number(y);
    }
    chart.summary = std::to_string(rates.size()) + " samples over " +
                    DurationText(static_cast<int64_t>(span * 1000)) + ": peak " +
                    (peak > 0 ? RateText(peak) : "0/s") + ", latest " +
                    (rates.back().second > 0 ? RateText(rates.back().second) : "0/s") + ".";
    return chart;
}

std::string ThroughputSvg(int64_t run, const Throughput &throughput) {
    std::string svg = "<svg id=\"throughput\" role=\"img\" viewBox=\"0 0 600 200\" "
                      "aria-label=\"Throughput of run " +
                      std::to_string(run) +
                      " in records a second over time\" aria-describedby=\"throughput-summary\">";
    svg += Axes();
    svg += Label(55, 16, "end", throughput.peak > 0 ? RateText(throughput.peak) : "0/s");
    svg += Label(55, 180, "end", "0");
    svg += Label(590, 196, "end", "time");
    svg += "<polyline id=\"throughput-line\" points=\"" + throughput.points + "\"/>";
    return svg + "</svg>";
}

std::string HistorySvg(const std::vector<RunView> &runs) {
    std::string svg = "<svg id=\"history\" role=\"img\" viewBox=\"0 0 600 200\" "
                      "aria-label=\"Duration and records of the last " +
                      std::to_string(runs.size()) + " runs\" aria-describedby=\"history-summary\">";
    svg += Axes();
    svg += "<line class=\"axis\" x1=\"60\" y1=\"95\" x2=\"590\" y2=\"95\"/>";
    int64_t longest = 1;
    uint64_t most = 1;
    for (const RunView &run : runs) {
        longest = std::max(longest, run.durationMs.value_or(0));
        most = std::max(most, run.records);
    }
    svg += Label(55, 16, "end", DurationText(longest));
    svg += Label(55, 106, "end", rdstats::Grouped(most));
    const double width =
        (kRight - kLeft) / static_cast<double>(std::max<std::size_t>(runs.size(), 1));
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const RunView &run = runs[i];
        const double x = kLeft + width * static_cast<double>(i) + width * 0.15;
        const double duration =
            80.0 * static_cast<double>(run.durationMs.value_or(0)) / static_cast<double>(longest);
        const double records = 80.0 * static_cast<double>(run.records) / static_cast<double>(most);
        const std::string cls = std::string("bar ") + OutcomeText(run);
        svg += "<rect class=\"" + cls + " duration\" x=\"" + Number(x) + "\" y=\"" +
               Number(95 - duration) + "\" width=\"" + Number(width * 0.7) + "\" height=\"" +
               Number(duration) + "\"><title>run " + std::to_string(run.run) + ": " +
               (run.durationMs ? DurationText(*run.durationMs) : "not started") + "</title></rect>";
        svg += "<rect class=\"" + cls + " records\" x=\"" + Number(x) + "\" y=\"" +
               Number(kBottom - records) + "\" width=\"" + Number(width * 0.7) + "\" height=\"" +
               Number(records) + "\"><title>run " + std::to_string(run.run) + ": " +
               rdstats::Grouped(run.records) + " records</title></rect>";
    }
    return svg + "</svg>";
}

std::string HistorySummary(const std::vector<RunView> &runs) {
    if (runs.empty()) return "No runs yet.";
    int64_t shortest = INT64_MAX, longest = 0;
    uint64_t fewest = UINT64_MAX, most = 0;
    int failed = 0;
    for (const RunView &run : runs) {
        if (run.durationMs) {
            shortest = std::min(shortest, *run.durationMs);
            longest = std::max(longest, *run.durationMs);
        }
        fewest = std::min(fewest, run.records);
        most = std::max(most, run.records);
        failed += std::string(OutcomeText(run)) == "failed";
    }
    std::string summary = std::to_string(runs.size()) + " runs, from run " +
                          std::to_string(runs.front().run) + " to run " +
                          std::to_string(runs.back().run) + ": ";
    if (shortest <= longest)
        summary +=
            "durations from " + DurationText(shortest) + " to " + DurationText(longest) + ", ";
    summary += "records from " + rdstats::Grouped(fewest) + " to " + rdstats::Grouped(most) + ", " +
               std::to_string(failed) + " failed.";
    return summary;
}

} // namespace rdcsm::http
