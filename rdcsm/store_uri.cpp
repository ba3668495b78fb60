// SPDX-License-Identifier: Apache-2.0
// Parsing, masking and identifying store URIs.
#include "store_uri.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

namespace rdcsm {

namespace {

constexpr const char *kMask = "****";

bool StartsWith(const std::string &text, const char *prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool IsPostgresUri(const std::string &text) {
    return StartsWith(text, "postgresql://") || StartsWith(text, "postgres://");
}

// Masks the value of each query parameter named password in [from, end).
void MaskQuery(std::string &text, std::size_t from) {
    while (from < text.size()) {
        std::size_t end = text.find('&', from);
        if (end == std::string::npos) end = text.size();
        if (text.compare(from, 9, "password=") == 0 && from + 9 <= end) {
            text.replace(from + 9, end - from - 9, kMask);
            end = from + 9 + std::strlen(kMask);
        }
        from = end + 1;
    }
}

std::string MaskUri(std::string text) {
    const std::size_t authority = text.find("://") + 3;
    std::size_t end = text.find_first_of("/?", authority);
    if (end == std::string::npos) end = text.size();
    const std::size_t at = text.rfind('@', end);
    if (at != std::string::npos && at >= authority) {
        const std::size_t colon = text.find(':', authority);
        if (colon < at) {
            text.replace(colon + 1, at - colon - 1, kMask);
            end = text.find_first_of("/?", authority);
            if (end == std::string::npos) end = text.size();
        }
    }
    const std::size_t query = text.find('?', end);
    if (query != std::string::npos) MaskQuery(text, query + 1);
    return text;
}

// The end of a keyword string's value starting at at: a quoted value with
// its backslash escapes, else up to white space.
std::size_t ValueEnd(const std::string &text, std::size_t at) {
    if (at < text.size() && text[at] == '\'') {
        for (++at; at < text.size() && text[at] != '\''; ++at)
            if (text[at] == '\\') ++at;
        return std::min(at + 1, text.size());
    }
    while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at])))
        at += text[at] == '\\' ? 2 : 1;
    return std::min(at, text.size());
}

std::string MaskKeywords(std::string text) {
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
        const std::size_t key = at;
        while (at < text.size() && text[at] != '=' &&
               !std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
        const std::string name = text.substr(key, at - key);
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
        if (at >= text.size() || text[at] != '=') continue;
        ++at;
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
        const std::size_t end = ValueEnd(text, at);
        if (name == "password") {
            text.replace(at, end - at, kMask);
            at += std::strlen(kMask);
        } else {
            at = end;
        }
    }
    return text;
}

// The value libpq would use for keyword: the string's own, else its
// default (the PG* environment variables), else the built-in one.
std::string Setting(PQconninfoOption *given, PQconninfoOption *defaults, const char *keyword) {
    for (PQconninfoOption *set : {given, defaults})
        for (PQconninfoOption *option = set; option != nullptr && option->keyword != nullptr;
             ++option)
            if (std::strcmp(option->keyword, keyword) == 0 && option->val != nullptr &&
                *option->val != '\0')
                return option->val;
    return {};
}

std::string UserName() {
    const passwd *user = getpwuid(geteuid());
    return user != nullptr ? user->pw_name : "";
}

std::string PostgresIdentity(const std::string &target) {
    PQconninfoOption *given = PQconninfoParse(target.c_str(), nullptr);
    if (given == nullptr) return {};
    PQconninfoOption *defaults = PQconndefaults();
    std::string host = Setting(given, defaults, "host");
    if (host.empty()) host = Setting(given, defaults, "hostaddr");
    std::string port = Setting(given, defaults, "port");
    std::string user = Setting(given, defaults, "user");
    if (user.empty()) user = UserName();
    std::string dbname = Setting(given, defaults, "dbname");
    if (dbname.empty()) dbname = user;
    PQconninfoFree(given);
    PQconninfoFree(defaults);
    return "postgresql host=" + host + " port=" + (port.empty() ? "5432" : port) +
           " dbname=" + dbname + " user=" + user;
}

} // namespace

// A URI of any scheme: "scheme://" before any '=' or space.
bool IsUri(const std::string &text) {
    const std::size_t scheme = text.find("://");
    return scheme != std::string::npos && scheme > 0 && text.find_first_of("= \t") > scheme;
}

std::string MaskPassword(const std::string &text) {
    return IsUri(text) ? MaskUri(text) : MaskKeywords(text);
}

std::string StoreUri::Shown() const {
    return kind == StoreKind::kSqlite ? "sqlite:" + target : MaskPassword(target);
}

std::string StoreUri::Identity() const {
    if (kind == StoreKind::kPostgres) return PostgresIdentity(target);
    char real[PATH_MAX];
    if (target.empty() || realpath(target.c_str(), real) == nullptr) return {};
    return std::string("sqlite:") + real;
}

bool ParseStoreUri(const std::string &text, StoreUri &store, std::string &error) {
    if (StartsWith(text, "sqlite:")) {
        store = {StoreKind::kSqlite, text.substr(7)};
        if (!store.target.empty()) return true;
        error = "the store sqlite: names no file";
        return false;
    }
    const bool uri = IsPostgresUri(text);
    if (!uri && text.find('=') == std::string::npos) {
        error = "unknown store " + MaskPassword(text) +
                " (sqlite:PATH, postgresql://..., postgres://... or a libpq keyword string)";
        return false;
    }
    // libpq's own complaint may quote the text, password and all.
    PQconninfoOption *options = PQconninfoParse(text.c_str(), nullptr);
    if (options == nullptr) {
        error = "not a valid PostgreSQL connection string: " + MaskPassword(text);
        return false;
    }
    PQconninfoFree(options);
    store = {StoreKind::kPostgres, text};
    return true;
}

} // namespace rdcsm
