// SPDX-License-Identifier: Apache-2.0
#include "copy_mark.h"

#include <charconv>
#include <string_view>

namespace rdcopy {
namespace {

constexpr std::string_view kPosition = "position=";

// Reads "key=N;" at the front of text; false when it is not there.
bool TakeNumber(std::string_view &text, std::string_view key, uint64_t &out) {
    if (text.substr(0, key.size()) != key || text.size() <= key.size() || text[key.size()] != '=')
        return false;
    text.remove_prefix(key.size() + 1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    if (error != std::errc() || end == text.data() || end == text.data() + text.size() ||
        *end != ';')
        return false;
    text.remove_prefix(static_cast<size_t>(end - text.data()) + 1);
    return true;
}

// "%" and ";" as %25 and %3B, so that a text cannot end its item early.
std::string Escaped(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '%')
            out += "%25";
        else if (c == ';')
            out += "%3B";
        else
            out += c;
    }
    return out;
}

// Reads "key=TEXT;" at the front of text, unescaping TEXT.
bool TakeText(std::string_view &text, std::string_view key, std::string &out) {
    if (text.substr(0, key.size()) != key || text.size() <= key.size() || text[key.size()] != '=')
        return false;
    text.remove_prefix(key.size() + 1);
    const size_t end = text.find(';');
    if (end == std::string_view::npos) return false;
    out.clear();
    for (size_t at = 0; at < end; ++at) {
        if (text[at] != '%') {
            out += text[at];
            continue;
        }
        const std::string_view code = text.substr(at, 3);
        if (code == "%25")
            out += '%';
        else if (code == "%3B")
            out += ';';
        else
            return false;
        at += 2;
    }
    text.remove_prefix(end + 1);
    return true;
}

} // namespace

std::string FormatMark(const CopyMark &mark) {
    return "v=2;base=" + std::to_string(mark.base) + ";extra=" + std::to_string(mark.extra) +
           ";written=" + std::to_string(mark.written) + ";skipped=" + std::to_string(mark.skipped) +
           ";bad=" + std::to_string(mark.bad) + ";rejects=" + std::to_string(mark.rejectBytes) +
           ";rejectlog=" + std::to_string(mark.rejectLogBytes) +
           ";done=" + (mark.done ? "1" : "0") + ";since=" + Escaped(mark.since) +
           ";bookmark=" + Escaped(mark.bookmark) + ";tie=" + Escaped(mark.tie) + ";" +
           std::string(kPosition) + mark.position;
}

std::optional<CopyMark> ParseMark(const std::string &text) {
    std::string_view rest = text;
    CopyMark mark;
    uint64_t version = 0, done = 0;
    if (!TakeNumber(rest, "v", version) || (version != 1 && version != 2) ||
        !TakeNumber(rest, "base", mark.base) || !TakeNumber(rest, "extra", mark.extra) ||
        !TakeNumber(rest, "written", mark.written) || !TakeNumber(rest, "skipped", mark.skipped) ||
        !TakeNumber(rest, "bad", mark.bad) || !TakeNumber(rest, "rejects", mark.rejectBytes) ||
        !TakeNumber(rest, "rejectlog", mark.rejectLogBytes) || !TakeNumber(rest, "done", done) ||
        done > 1)
        return std::nullopt;
    if (version == 2 &&
        (!TakeText(rest, "since", mark.since) || !TakeText(rest, "bookmark", mark.bookmark) ||
         !TakeText(rest, "tie", mark.tie)))
        return std::nullopt;
    if (rest.substr(0, kPosition.size()) != kPosition) return std::nullopt;
    if (mark.base > UINT64_MAX - mark.extra) return std::nullopt;
    mark.done = done == 1;
    mark.position = std::string(rest.substr(kPosition.size()));
    return mark;
}

std::string JoinTie(const std::vector<std::string> &values) {
    std::string out;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i != 0) out += ',';
        for (char c : values[i])
            out += c == '%'   ? std::string("%25")
                   : c == ',' ? std::string("%2C")
                              : std::string(1, c);
    }
    return out;
}

std::vector<std::string> SplitTie(const std::string &text) {
    std::vector<std::string> values(1);
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == ',') {
            values.emplace_back();
        } else if (text.compare(at, 3, "%25") == 0) {
            values.back() += '%';
            at += 2;
        } else if (text.compare(at, 3, "%2C") == 0) {
            values.back() += ',';
            at += 2;
        } else {
            values.back() += text[at];
        }
    }
    return values;
}

std::string Grouped(uint64_t value) {
    std::string digits = std::to_string(value);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits;
}

} // namespace rdcopy
