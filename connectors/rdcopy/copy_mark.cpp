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

} // namespace

std::string FormatMark(const CopyMark &mark) {
    return "v=1;base=" + std::to_string(mark.base) + ";extra=" + std::to_string(mark.extra) +
           ";written=" + std::to_string(mark.written) + ";skipped=" + std::to_string(mark.skipped) +
           ";bad=" + std::to_string(mark.bad) + ";rejects=" + std::to_string(mark.rejectBytes) +
           ";rejectlog=" + std::to_string(mark.rejectLogBytes) +
           ";done=" + (mark.done ? "1" : "0") + ";" + std::string(kPosition) + mark.position;
}

std::optional<CopyMark> ParseMark(const std::string &text) {
    std::string_view rest = text;
    CopyMark mark;
    uint64_t version = 0, done = 0;
    if (!TakeNumber(rest, "v", version) || version != 1 || !TakeNumber(rest, "base", mark.base) ||
        !TakeNumber(rest, "extra", mark.extra) || !TakeNumber(rest, "written", mark.written) ||
        !TakeNumber(rest, "skipped", mark.skipped) || !TakeNumber(rest, "bad", mark.bad) ||
        !TakeNumber(rest, "rejects", mark.rejectBytes) ||
        !TakeNumber(rest, "rejectlog", mark.rejectLogBytes) || !TakeNumber(rest, "done", done) ||
        done > 1 || rest.substr(0, kPosition.size()) != kPosition)
        return std::nullopt;
    if (mark.base > UINT64_MAX - mark.extra) return std::nullopt;
    mark.done = done == 1;
    mark.position = std::string(rest.substr(kPosition.size()));
    return mark;
}

std::string Grouped(uint64_t value) {
    std::string digits = std::to_string(value);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits;
}

} // namespace rdcopy
