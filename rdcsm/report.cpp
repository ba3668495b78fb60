// SPDX-License-Identifier: Apache-2.0
// The reports of the command-line tool, read straight from the store.
#include "report.h"

#include "items.h"
#include "jobfile_value.h"
#include "live_text.h"
#include "names.h"
#include "plain_message.h"
#include "rdres.h"
#include "rdx_activity.h"
#include "rdx_stream.h"
#include "run_outcome.h"
#include "secret_mask.h"
#include "visible_text.h"

#include <cstdio>
#include <ctime>
#include <vector>

namespace rdcsm {

namespace {

constexpr uint32_t kTextType = 6, kRichTextType = 7;

// The item as it may be shown: a password as **** (an empty one as it is),
// and the passwords inside a connection text masked.
Item MaskedItem(const Item &item, const std::vector<NamedProperty> &declared) {
    const bool text = item.type == kTextType || item.type == kRichTextType;
    Item shown = item;
    if (IsSecretProperty(item, declared)) {
        if (text && item.value.size() <= 1) return shown;
        shown.type = kTextType;
        shown.charset = RDCHARSET_INTERCHANGE;
        shown.value = std::string(rdxc::kMaskedSecret) + '\0';
    } else if (text) {
        const std::string_view value(item.value.data(), item.value.size() - 1);
        const std::string masked = rdxc::MaskSecrets(value);
        if (masked != value) shown.value = masked + '\0';
    }
    return shown;
}

// Under an activity of the list, a line for each of its running runs with
// the progress its host last sampled.
void PrintLiveRuns(Store &store, int64_t activity, std::ostream &out) {
    Statement running(store.Db(), "SELECT id, coalesce(started_ms, queued_ms) FROM runs "
                                  "WHERE activity = ? AND state = ? ORDER BY id");
    running.Bind(1, activity).Bind(2, int64_t{kRunning});
    while (running.Step())
        if (const auto live = RunLiveText(store, running.Int(0), running.Int(1)))
            out << "  run " << running.Int(0) << " running  " << *live << "\n";
}

} // namespace

std::optional<int64_t> FindNamed(Store &store, const std::string &name) {
    if (auto handle = store.FindObject(kActivity, name)) return handle;
    return store.FindObject(kLink, name);
}

std::string TimeText(int64_t ms) {
    // Whole seconds rounded down, so that a time before 1970 keeps its
    // milliseconds between 0 and 999.
    int64_t seconds = ms / 1000, rest = ms % 1000;
    if (rest < 0) rest += 1000, --seconds;
    const auto whole = static_cast<time_t>(seconds);
    std::tm parts{};
    char text[96];
    if (gmtime_r(&whole, &parts) == nullptr) {
        std::snprintf(text, sizeof text, "%lld ms", static_cast<long long>(ms));
        return text;
    }
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d:%02d.%03d",
                  static_cast<long long>(parts.tm_year) + 1900, parts.tm_mon + 1, parts.tm_mday,
                  parts.tm_hour, parts.tm_min, parts.tm_sec, static_cast<int>(rest));
    return text;
}

// "SELECT o.kind, o.handle, o.name, <the count of each outcome> FROM ...".
std::string ListQuery() {
    std::string query = "SELECT o.kind, o.handle, o.name";
    for (int i = 0; i < kOutcomes; ++i)
        query += std::string(", (SELECT count(*) FROM runs r WHERE r.activity = o.handle AND ") +
                 OutcomeCondition(static_cast<Outcome>(i)) + ")";
    return query + " FROM objects o ORDER BY o.kind, o.name";
}

void PrintList(Store &store, std::ostream &out) {
    Statement all(store.Db(), ListQuery().c_str());
    while (all.Step()) {
        out << (all.Int(0) == kActivity ? "activity " : "link     ")
            << rdxc::VisibleText(all.Text(2)) << "  (handle " << all.Int(1) << ")";
        if (all.Int(0) == kActivity) {
            out << "  runs:";
            for (int i = 0; i < kOutcomes; ++i)
                out << (i == 0 ? " " : ", ") << all.Int(3 + i) << " "
                    << OutcomeWord(static_cast<Outcome>(i));
        }
        out << "\n";
        if (all.Int(0) == kActivity) PrintLiveRuns(store, all.Int(1), out);
    }
}

bool PrintDescription(Store &store, const std::string &name, bool showSecrets, std::ostream &out) {
    auto handle = FindNamed(store, name);
    if (!handle) return false;
    Statement read(store.Db(), "SELECT kind, description FROM objects WHERE handle = ?");
    read.Bind(1, *handle);
    if (!read.Step()) return false;
    out << (read.Int(0) == kActivity ? "activity " : "link ") << rdxc::VisibleText(name)
        << " (handle " << *handle << ")\n";
    const std::string description = read.Blob(1);
    std::vector<Item> items;
    ParseItems({reinterpret_cast<const uint8_t *>(description.data()), description.size()}, 0,
               items, false);
    const std::vector<NamedProperty> declared = ConnectorDeclarations(items);
    for (const Item &item : items) {
        char number[16];
        std::snprintf(number, sizeof number, "0x%08X", item.number);
        out << "  " << number;
        const std::string property = PropertyName(item, declared);
        if (!property.empty()) out << " " << rdxc::VisibleText(property);
        const std::string value = NaturalText(showSecrets ? item : MaskedItem(item, declared));
        out << " = " << rdxc::VisibleText(value) << "\n";
    }
    return true;
}

bool PrintLog(Store &store, const std::string &name, std::ostream &out) {
    auto handle = FindNamed(store, name);
    if (!handle) return false;
    Statement log(store.Db(), "SELECT time_ms, run, number, text FROM log WHERE activity = ? "
                              "ORDER BY id");
    log.Bind(1, *handle);
    while (log.Step()) {
        const auto number = static_cast<uint32_t>(log.Int(2));
        // The status without its flag bits; an informational entry says so.
        out << TimeText(log.Int(0)) << "  run " << log.Int(1) << "  " << (number & 0x0FFFFFFFu)
            << ((number & RDMESSAGE_INFORMATIONAL) != 0 ? " info" : "");
        // The record's own text is already formatted; a record without one
        // is told by its message's catalogue text.
        std::string text = log.Text(3);
        if (text.empty()) {
            char message[RDRES_TEXT_SIZE] = "";
            RDLibraryLoadString(number & 0x0FFFFFFFu, message, sizeof message);
            text = rdmessage::PlainMessage(message);
        }
        if (!text.empty()) out << "  " << rdxc::VisibleText(rdxc::MaskSecrets(text));
        out << "\n";
    }
    return true;
}

} // namespace rdcsm
