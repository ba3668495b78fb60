// SPDX-License-Identifier: Apache-2.0
#include "copy_lines.h"

#include "rdx_activity.h"

#include <cctype>

namespace rdcsm {

namespace {

// The most bytes of a log text read at all: more than any shown part needs.
constexpr int kReadBytes = 2 * kShownLineBytes + 64;

// A text read as at most kReadBytes bytes; cut when the stored one is longer.
struct ReadLine {
    std::string text;
    bool cut = false;
};

ReadLine Read(const Statement &row, int text, int length) {
    return {row.Blob(text), row.Int(length) > kReadBytes};
}

// text cut to kShownLineBytes at a character's start, marked by "...".
std::string Bounded(std::string text, bool cut) {
    if (text.size() > kShownLineBytes) {
        std::size_t at = kShownLineBytes;
        while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
            --at;
        text.resize(at);
        cut = true;
    }
    return cut ? text + "..." : text;
}

// A whole line loses its closing stop; a cut one has none to lose.
std::string WithoutStop(const ReadLine &line) {
    std::string text = line.text;
    if (!line.cut && !text.empty() && text.back() == '.') text.pop_back();
    return text;
}

} // namespace

std::map<int64_t, std::string> RunStartLines(Store &store, std::optional<int64_t> activity) {
    // Each store's own way to read at most ?2 bytes of a text and to
    // match its start case-sensitively.
    Statement rows(
        store.Db(),
        store.Db().IsPostgres()
            ? "SELECT run, substring(textsend(text) FROM 1 FOR ?2), octet_length(text) "
              "FROM log WHERE (?1 < 0 OR activity = ?1) AND (number & ?3) != 0 "
              "AND (text LIKE 'Incremental from %' OR text LIKE 'Incremental by %' OR "
              "text LIKE 'Full refresh: %') ORDER BY id"
            : "SELECT run, substr(CAST(text AS BLOB), 1, ?2), length(CAST(text AS BLOB)) "
              "FROM log WHERE (?1 < 0 OR activity = ?1) AND (number & ?3) != 0 AND "
              "(text GLOB 'Incremental from *' OR text GLOB 'Incremental by *' OR "
              "text GLOB 'Full refresh: *') ORDER BY id");
    rows.Bind(1, activity.value_or(-1)); // -1: every activity
    rows.Bind(2, int64_t{kReadBytes}).Bind(3, int64_t{RDMESSAGE_INFORMATIONAL});
    std::map<int64_t, std::string> lines;
    while (rows.Step()) {
        if (lines.count(rows.Int(0)) != 0) continue; // the run's first is its start
        const ReadLine line = Read(rows, 1, 2);
        std::string text = Bounded(WithoutStop(line), line.cut);
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
        lines.emplace(rows.Int(0), std::move(text));
    }
    return lines;
}

std::optional<Bookmark> LastBookmark(Store &store, int64_t activity) {
    Statement row(store.Db(),
                  store.Db().IsPostgres()
                      ? "SELECT substring(textsend(text) FROM 1 FOR ?2), octet_length(text) FROM "
                        "log WHERE activity = ?1 AND (number & ?3) != 0 AND text LIKE "
                        "'Bookmark: % = %' ORDER BY id DESC LIMIT 1"
                      : "SELECT substr(CAST(text AS BLOB), 1, ?2), length(CAST(text AS BLOB)) "
                        "FROM log WHERE activity = ?1 AND (number & ?3) != 0 AND text GLOB "
                        "'Bookmark: * = *' ORDER BY id DESC LIMIT 1");
    row.Bind(1, activity).Bind(2, int64_t{kReadBytes}).Bind(3, int64_t{RDMESSAGE_INFORMATIONAL});
    if (!row.Step()) return std::nullopt;
    const ReadLine line = Read(row, 0, 1);
    const std::string text = WithoutStop(line);
    constexpr std::size_t kKeyAt = sizeof "Bookmark: " - 1;
    const std::size_t equals = text.find(" = ", kKeyAt);
    // The key and " = " may lie past what was read of a huge line.
    if (equals == std::string::npos) return Bookmark{Bounded(text.substr(kKeyAt), true), ""};
    return Bookmark{Bounded(text.substr(kKeyAt, equals - kKeyAt), false),
                    Bounded(text.substr(equals + 3), line.cut)};
}

} // namespace rdcsm
