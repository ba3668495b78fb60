// SPDX-License-Identifier: Apache-2.0
#include "http_pages.h"

#include "http_charts.h"
#include "http_html.h"
#include "run_outcome.h"
#include "statistics_text.h"

namespace rdcsm::http {

namespace {

// The document around a page's main part; body carries the attributes
// that tell the script what the page shows.
std::string Page(const std::string &title, const std::string &bodyAttributes,
                 const std::string &main) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" +
           title +
           " - rdcsm</title><link rel=\"stylesheet\" href=\"/static/page.css\">"
           "<script src=\"/static/page.js\" defer></script></head>\n<body" +
           bodyAttributes + "><header><nav><a href=\"/\">Runs</a></nav></header>\n<main>" + main +
           "</main></body></html>\n";
}

std::string RunLink(int64_t run) {
    const std::string number = std::to_string(run);
    return "<a href=\"/runs/" + number + "\">" + number + "</a>";
}

std::string ActivityLink(const std::string &name) {
    return "<a href=\"/activities/" + UrlPart(name) + "\">" + Html(name) + "</a>";
}

// The row's attributes that the script and the tests read.
std::string RunAttributes(const RunView &run) {
    return " data-run=\"" + std::to_string(run.run) + "\" data-state=\"" + StateWord(run) +
           "\" data-outcome=\"" + OutcomeText(run) + "\"";
}

// The cells a run's figures fill, as the API's "shown" texts give them.
std::string LiveCells(const RunView &run) {
    return Cell("outcome", OutcomeText(run)) +
           Cell("started", run.startedMs ? ShownTime(*run.startedMs) : "") +
           Cell("duration", run.durationMs ? DurationText(*run.durationMs) : "") +
           Cell("records", run.state == kQueued ? "" : rdstats::Grouped(run.records)) +
           Cell("rate", RateText(run.rate)) + Cell("percent", PercentText(run.share)) +
           Cell("left", LeftText(run.secondsLeft));
}

std::string Option(const std::string &value, const std::string &chosen, const char *label) {
    return "<option value=\"" + value + "\"" + (value == chosen ? " selected" : "") + ">" + label +
           "</option>";
}

std::string FilterForm(const RunFilter &filter) {
    std::string form = "<form id=\"filters\" method=\"get\" action=\"/\">"
                       "<label>Activity <input name=\"activity\" value=\"" +
                       Html(filter.activity) +
                       "\"></label> <label>Outcome <select name=\"outcome\">" +
                       Option("", filter.outcome, "any");
    for (int i = 0; i < kOutcomes; ++i) {
        const char *word = OutcomeWord(static_cast<Outcome>(i));
        form += Option(word, filter.outcome, word);
    }
    return form + "</select></label> <label>Day <input type=\"date\" name=\"day\" value=\"" +
           Html(filter.day) + "\"></label> <button type=\"submit\">Show</button></form>";
}

std::string StatisticsTable(const std::vector<uint32_t> &words) {
    std::string rows;
    auto add = [&rows, &words](const char *kind, const char *const *names, int count,
                               std::size_t first) {
        for (int i = 0; i < count && first + i < words.size(); ++i) {
            const uint32_t word = words[first + i];
            if (word == 0) continue;
            rows += std::string("<tr><th scope=\"row\">") + kind + " " + names[i] + "</th><td>" +
                    (word == rdstats::kUnknownCount ? "unknown" : rdstats::Grouped(word)) +
                    "</td></tr>";
        }
    };
    add("calls:", rdstats::kCallNames, rdstats::kCallWords, 0);
    add("records:", rdstats::kRecordNames, rdstats::kRecordWords, rdstats::kCallWords);
    if (rows.empty()) rows = "<tr><td colspan=\"2\">none</td></tr>";
    return "<table id=\"statistics\"><caption>The run's last statistics</caption><thead>" +
           HeaderRow({"Count", "Value"}) + "</thead><tbody>" + rows + "</tbody></table>";
}

std::string LogTable(const RunDetail &detail) {
    std::string rows;
    for (std::size_t i = 0; i < detail.log.size(); ++i) {
        const LogLine &line = detail.log[i];
        rows += detail.failing == i ? "<tr class=\"failing\">" : "<tr>";
        rows += Cell("time", ShownTime(line.timeMs)) +
                Cell("number", std::to_string(line.number) + (line.informational ? " info" : "")) +
                Cell("text", Html(line.text)) + "</tr>";
    }
    if (rows.empty()) rows = "<tr><td colspan=\"3\">no log records</td></tr>";
    return "<table id=\"log\"><caption>Log records of the run</caption><thead>" +
           HeaderRow({"Time", "Number", "Message"}) + "</thead><tbody>" + rows + "</tbody></table>";
}

} // namespace

std::string RunsPage(const std::vector<RunView> &runs, const RunFilter &filter) {
    std::string rows;
    for (const RunView &run : runs)
        rows += "<tr" + RunAttributes(run) + ">" + Cell("run", RunLink(run.run)) +
                Cell("activity", ActivityLink(run.activity)) + LiveCells(run) + "</tr>\n";
    const std::string main = "<h1>Runs</h1>" + FilterForm(filter) +
                             "<table id=\"runs\"><caption>The newest runs, newest first (at most " +
                             std::to_string(kListedRuns) + ")</caption><thead>" +
                             HeaderRow({"Run", "Activity", "Outcome", "Started", "Duration",
                                        "Records", "Rate", "Done", "Time left"}) +
                             "</thead><tbody>\n" + rows + "</tbody></table>";
    return Page("Runs", " data-page=\"runs\"", main);
}

std::string RunPage(const RunDetail &detail) {
    const RunView &run = detail.run;
    const std::string number = std::to_string(run.run);
    const Throughput throughput =
        ThroughputOf(detail.samples, run.startedMs.value_or(run.queuedMs));
    std::string facts = "<p>Queued " + ShownTime(run.queuedMs);
    if (run.host) facts += ", host " + Html(*run.host);
    if (run.endedMs) facts += ", ended " + ShownTime(*run.endedMs);
    if (run.state >= kEnded) facts += ", end code " + std::to_string(run.endCode);
    facts += ".</p>";
    const std::string main =
        "<h1>Run " + number + " of " + ActivityLink(run.activity) + "</h1>" + facts +
        "<div id=\"live\" data-state=\"" + StateWord(run) + "\" data-outcome=\"" +
        OutcomeText(run) + "\"><table class=\"live\"><caption>Progress</caption><thead>" +
        HeaderRow({"Outcome", "Started", "Duration", "Records", "Rate", "Done", "Time left"}) +
        "</thead><tbody><tr" + RunAttributes(run) + ">" + LiveCells(run) +
        "</tr></tbody></table></div>"
        "<h2>Throughput</h2>" +
        ThroughputSvg(run.run, throughput) + "<p id=\"throughput-summary\">" +
        Html(throughput.summary) + "</p><h2>Statistics</h2>" + StatisticsTable(detail.statistics) +
        "<h2>Log</h2>" + LogTable(detail);
    return Page("Run " + number, " data-page=\"run\" data-run=\"" + number + "\"", main);
}

std::string ActivityPage(const ActivityDetail &activity) {
    const std::string main = "<h1>Activity " + Html(activity.name) +
                             "</h1><p><a href=\"/?activity=" + UrlPart(activity.name) +
                             "\">Its runs</a></p><h2>Definition</h2><pre id=\"definition\">" +
                             Html(activity.definition, true) + "</pre><h2>The last runs</h2>" +
                             HistorySvg(activity.runs) + "<p id=\"history-summary\">" +
                             Html(HistorySummary(activity.runs)) + "</p>";
    return Page("Activity " + Html(activity.name), " data-page=\"activity\"", main);
}

std::string ErrorPage(int status, const std::string &message) {
    return Page("Error " + std::to_string(status), " data-page=\"error\"",
                "<h1>Error " + std::to_string(status) + "</h1><p>" + Html(message) + "</p>");
}

} // namespace rdcsm::http
