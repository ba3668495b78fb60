// SPDX-License-Identifier: Apache-2.0
#include "http_routes.h"

#include "http_api.h"
#include "http_pages.h"
#include "http_static.h"

#include <charconv>
#include <mutex>
#include <optional>

namespace rdcsm::http {

namespace {

constexpr const char *kHtml = "text/html; charset=utf-8";
constexpr const char *kJson = "application/json";

bool StartsWith(const std::string &text, const std::string &prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// A run number: digits only, within range.
std::optional<int64_t> RunNumber(const std::string &text) {
    int64_t number = 0;
    const char *end = text.data() + text.size();
    const auto read = std::from_chars(text.data(), end, number);
    if (text.empty() || read.ec != std::errc() || read.ptr != end || text[0] == '-' || number <= 0)
        return std::nullopt;
    return number;
}

// Reads under the lock; a store that cannot be read is told as 503.
template <class Read> auto Locked(ServerState &state, Read read) {
    std::lock_guard guard(state.lock);
    return read(state.store);
}

Reply Refused(bool api, int status, const std::string &message) {
    if (api) return {status, kJson, ErrorJson(message)};
    return {status, kHtml, ErrorPage(status, message)};
}

std::string Value(const std::map<std::string, std::string> &query, const char *key) {
    const auto found = query.find(key);
    return found == query.end() ? std::string() : found->second;
}

Reply Runs(ServerState &state, bool api, const std::map<std::string, std::string> &query) {
    const RunFilter filter{Value(query, "activity"), Value(query, "outcome"), Value(query, "day")};
    std::string error;
    if (!ValidFilter(filter, error)) return Refused(api, 400, error);
    const auto runs = Locked(state, [&filter](Store &store) { return ReadRuns(store, filter); });
    if (api) return {200, kJson, RunsJson(runs)};
    return {200, kHtml, RunsPage(runs, filter)};
}

Reply OneRun(ServerState &state, bool api, const std::string &number) {
    const auto run = RunNumber(number);
    if (!run) return Refused(api, 404, "no such run");
    const auto detail = Locked(state, [run](Store &store) { return ReadRun(store, *run); });
    if (!detail) return Refused(api, 404, "no run " + number);
    if (api) return {200, kJson, RunDetailJson(*detail)};
    return {200, kHtml, RunPage(*detail)};
}

Reply OneActivity(ServerState &state, bool api, const std::string &name) {
    const auto activity =
        Locked(state, [&name](Store &store) { return ReadActivity(store, name); });
    if (!activity) return Refused(api, 404, "no activity " + name);
    if (api) return {200, kJson, ActivityJson(*activity)};
    return {200, kHtml, ActivityPage(*activity)};
}

Reply Answer(ServerState &state, const std::string &path,
             const std::map<std::string, std::string> &query) {
    const bool api = StartsWith(path, "/api/");
    const std::string rest = api ? path.substr(4) : path;
    if (path == "/static/page.js") return {200, "text/javascript; charset=utf-8", kPageJs};
    if (path == "/static/page.css") return {200, "text/css; charset=utf-8", kPageCss};
    if (path == "/" || path == "/api/runs") return Runs(state, api, query);
    if (StartsWith(rest, "/runs/")) return OneRun(state, api, rest.substr(6));
    if (rest == "/activities" && api)
        return {200, kJson, ActivitiesJson(Locked(state, ReadActivities))};
    if (StartsWith(rest, "/activities/") && rest.size() > 12)
        return OneActivity(state, api, rest.substr(12));
    return Refused(api, 404, "nothing here");
}

} // namespace

Reply Route(ServerState &state, const std::string &path,
            const std::map<std::string, std::string> &query) {
    try {
        return Answer(state, path, query);
    } catch (const DbError &) {
        return Refused(StartsWith(path, "/api/"), 503, "the store cannot be read");
    }
}

} // namespace rdcsm::http
