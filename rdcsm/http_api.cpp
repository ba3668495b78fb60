// SPDX-License-Identifier: Apache-2.0
#include "http_api.h"

#include "http_html.h"
#include "statistics_text.h"

#include <cstdio>

namespace rdcsm::http {

namespace {

std::string Real(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string OrNull(const std::optional<int64_t> &value) {
    return value ? std::to_string(*value) : "null";
}

std::string OrNull(const std::optional<double> &value) {
    return value ? Real(*value) : "null";
}

std::string Field(const char *name, const std::string &json) {
    return std::string("\"") + name + "\":" + json;
}

// The texts of the page's live cells.
std::string ShownJson(const RunView &run) {
    return "{" + Field("outcome", Json(OutcomeText(run))) + "," +
           Field("started", Json(run.startedMs ? ShownTime(*run.startedMs) : "")) + "," +
           Field("duration", Json(run.durationMs ? DurationText(*run.durationMs) : "")) + "," +
           Field("records", Json(run.state == kQueued ? "" : rdstats::Grouped(run.records))) + "," +
           Field("rate", Json(RateText(run.rate))) + "," +
           Field("percent", Json(PercentText(run.share))) + "," +
           Field("left", Json(LeftText(run.secondsLeft))) + "}";
}

std::string LogJson(const LogLine &line, bool failing) {
    return "{" + Field("time_ms", std::to_string(line.timeMs)) + "," +
           Field("number", std::to_string(line.number)) + "," +
           Field("informational", line.informational ? "true" : "false") + "," +
           Field("failing", failing ? "true" : "false") + "," + Field("text", Json(line.text)) +
           "}";
}

// The statistics words by name; a count a select could not tell as null.
std::string StatisticsJson(const std::vector<uint32_t> &words) {
    if (words.empty()) return "null";
    auto counts = [&words](const char *const *names, int count, std::size_t first) {
        std::string json = "{";
        for (int i = 0; i < count && first + i < words.size(); ++i) {
            const uint32_t word = words[first + i];
            json += (i == 0 ? "" : ",") +
                    Field(names[i], word == rdstats::kUnknownCount ? "null" : std::to_string(word));
        }
        return json + "}";
    };
    return "{" + Field("calls", counts(rdstats::kCallNames, rdstats::kCallWords, 0)) + "," +
           Field("records",
                 counts(rdstats::kRecordNames, rdstats::kRecordWords, rdstats::kCallWords)) +
           "}";
}

template <class T, class F> std::string Array(const std::vector<T> &items, F each) {
    std::string json = "[";
    for (std::size_t i = 0; i < items.size(); ++i)
        json += (i == 0 ? "" : ",") + each(items[i], i);
    return json + "]";
}

} // namespace

std::string RunJson(const RunView &run) {
    return "{" + Field("run", std::to_string(run.run)) + "," +
           Field("activity", Json(run.activity)) + "," + Field("state", Json(StateWord(run))) +
           "," + Field("outcome", Json(OutcomeText(run))) + "," +
           Field("queued_ms", std::to_string(run.queuedMs)) + "," +
           Field("started_ms", OrNull(run.startedMs)) + "," +
           Field("ended_ms", OrNull(run.endedMs)) + "," +
           Field("duration_ms", OrNull(run.durationMs)) + "," +
           Field("host", run.host ? Json(*run.host) : "null") + "," +
           Field("records", std::to_string(run.records)) + "," +
           Field("read", std::to_string(run.read)) + "," +
           Field("written", std::to_string(run.written)) + "," + Field("rate", Real(run.rate)) +
           "," + Field("share", OrNull(run.share)) + "," +
           Field("seconds_left", OrNull(run.secondsLeft)) + "," + Field("shown", ShownJson(run)) +
           "}";
}

std::string RunsJson(const std::vector<RunView> &runs) {
    return "{" +
           Field("runs",
                 Array(runs, [](const RunView &run, std::size_t) { return RunJson(run); })) +
           "}\n";
}

std::string RunDetailJson(const RunDetail &detail) {
    const Throughput throughput =
        ThroughputOf(detail.samples, detail.run.startedMs.value_or(detail.run.queuedMs));
    auto log = Array(detail.log, [&detail](const LogLine &line, std::size_t i) {
        return LogJson(line, detail.failing == i);
    });
    auto samples = Array(detail.samples, [](const Sample &sample, std::size_t) {
        return "{" + Field("time_ms", std::to_string(sample.timeMs)) + "," +
               Field("read", std::to_string(sample.read)) + "," +
               Field("written", std::to_string(sample.written)) + "," +
               Field("expected", std::to_string(sample.expected)) + "}";
    });
    return "{" + Field("run", RunJson(detail.run)) + "," + Field("log", log) + "," +
           Field("statistics", StatisticsJson(detail.statistics)) + "," +
           Field("samples", samples) + "," +
           Field("throughput",
                 "{" + Field("points", Json(throughput.points)) + "," +
                     Field("peak", Real(throughput.peak)) + "," +
                     Field("peak_text",
                           Json(throughput.peak > 0 ? RateText(throughput.peak) : "0/s")) +
                     "," + Field("summary", Json(throughput.summary)) + "}") +
           "}\n";
}

std::string ActivitiesJson(const std::vector<ActivityRow> &activities) {
    auto each = [](const ActivityRow &row, std::size_t) {
        return "{" + Field("name", Json(row.name)) + "," +
               Field("last_run", row.last ? RunJson(*row.last) : "null") + "}";
    };
    return "{" + Field("activities", Array(activities, each)) + "}\n";
}

std::string ActivityJson(const ActivityDetail &activity) {
    return "{" + Field("name", Json(activity.name)) + "," +
           Field("definition", Json(activity.definition, true)) + "," +
           Field("runs", Array(activity.runs,
                               [](const RunView &run, std::size_t) { return RunJson(run); })) +
           "}\n";
}

std::string ErrorJson(const std::string &message) {
    return "{" + Field("error", Json(message)) + "}\n";
}

} // namespace rdcsm::http
