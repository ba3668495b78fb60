#include "report.h"

#include "rdres.h"

namespace rdrun {
namespace {

constexpr uint32_t kUnknownCount = 0xFFFFFFFFu;

// Names of the statistics words: call counts of entry points 7-18, then
// record counts of 9-14 and 16.
constexpr const char *kCallNames[12] = {"connect", "disconnect", "execute", "select",
                                        "fetch",   "insert",     "update",  "remove",
                                        "action",  "catalog",    "create",  "drop"};
constexpr const char *kRecordNames[7] = {"execute", "select", "fetch",  "insert",
                                         "update",  "remove", "catalog"};

void PrintCounts(std::FILE *out, const char *title, const char *const *names, int count,
                 const uint32_t *words) {
    std::fprintf(out, "  %-8s", title);
    bool any = false;
    for (int i = 0; i < count; ++i) {
        // 0xFFFFFFFF: a select that could not tell its count.
        if (words[i] == 0 || words[i] == kUnknownCount) continue;
        std::fprintf(out, " %s %u", names[i], words[i]);
        any = true;
    }
    std::fputs(any ? "\n" : " none\n", out);
}

} // namespace

std::string StatusText(uint32_t status) {
    char buffer[RDRES_TEXT_SIZE];
    const uint32_t length = RDLibraryLoadString(status & 0x0FFFFFFFu, buffer, sizeof buffer);
    return std::string(buffer, length);
}

void PrintReport(std::FILE *out, const std::string &name, const RunResult &result) {
    std::fprintf(out, "Statistics of %s:\n", name.c_str());
    PrintCounts(out, "calls:", kCallNames, 12, result.statistics);
    PrintCounts(out, "records:", kRecordNames, 7, result.statistics + 12);
    const uint32_t shown = result.status != 0 ? result.status : result.statusWord;
    if (shown == 0) {
        std::fputs("Ended successfully.\n", out);
        return;
    }
    const std::string text = result.message.empty() ? StatusText(shown) : result.message;
    std::fprintf(out, "Ended with status %u: %s\n", shown, text.c_str());
}

} // namespace rdrun
