// SPDX-License-Identifier: Apache-2.0
#include "report.h"

#include "rdcsm/plain_message.h"
#include "rdcsm/statistics_text.h"
#include "rdres.h"
#include "visible_text.h"

namespace rdrun {
namespace {

// The server manager's requests to stop.
constexpr uint32_t kStopStatus = 1542, kStopNowStatus = 1543;

void PrintCounts(std::FILE *out, const char *title, const char *const *names, int count,
                 const uint32_t *words) {
    std::fprintf(out, "  %-8s", title);
    bool any = false;
    for (int i = 0; i < count; ++i) {
        // 0xFFFFFFFF: a select that could not tell its count.
        if (words[i] == 0 || words[i] == rdstats::kUnknownCount) continue;
        std::fprintf(out, " %s %s", names[i], rdstats::Grouped(words[i]).c_str());
        any = true;
    }
    std::fputs(any ? "\n" : " none\n", out);
}

} // namespace

std::string StatusText(uint32_t status) {
    char buffer[RDRES_TEXT_SIZE];
    const uint32_t length = RDLibraryLoadString(status & 0x0FFFFFFFu, buffer, sizeof buffer);
    return rdmessage::PlainMessage({buffer, length});
}

std::string OwnWords(std::string text) {
    constexpr std::string_view kError = "ERROR: ";
    if (text.compare(0, kError.size(), kError) == 0) text.erase(0, kError.size());
    const size_t sections = text.find("; connection ");
    if (sections != std::string::npos) text.erase(sections);
    const size_t number = text.rfind("; number ");
    if (number != std::string::npos) text.erase(number);
    return text;
}

std::string OutcomeLine(const RunResult &result) {
    // The text may hold data (a value of a bad record): nothing in it may
    // drive the terminal.
    const std::string text = rdxc::VisibleText(result.message);
    if (result.status == 0 && result.statusWord == 0)
        return text.empty() ? "Ended successfully." : "Ended successfully: " + text;
    if (result.status == 0)
        return "Ended with problems: " + (text.empty() ? StatusText(result.statusWord) : text);
    const bool stopped = result.status == kStopStatus || result.status == kStopNowStatus;
    const std::string label = stopped ? "Stopped" : "Failed";
    const std::string status = label + " (status " + std::to_string(result.status) + ")";
    // "Stopped on request after ..." keeps its words after the status.
    if (text.compare(0, label.size() + 1, label + " ") == 0)
        return status + text.substr(label.size());
    return status + ": " + (text.empty() ? StatusText(result.status) : text);
}

int OutcomeStatus(const RunResult &result) {
    if (result.status == 0 && result.statusWord == 0) return 0;
    return result.status == 0 ? 2 : 1;
}

void PrintReport(std::FILE *out, const std::string &name, const RunResult &result) {
    std::fprintf(out, "Statistics of %s:\n", name.c_str());
    PrintCounts(out, "calls:", rdstats::kCallNames, rdstats::kCallWords, result.statistics);
    PrintCounts(out, "records:", rdstats::kRecordNames, rdstats::kRecordWords,
                result.statistics + rdstats::kCallWords);
    std::fprintf(out, "%s\n", OutcomeLine(result).c_str());
}

} // namespace rdrun
