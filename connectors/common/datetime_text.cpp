#include "datetime_text.h"

#include <cstdio>

namespace rdxc {
namespace {

// Exactly count digits at text[at...]; false otherwise.
bool Digits(std::string_view text, size_t at, size_t count, int32_t &out) {
    if (at + count > text.size()) return false;
    out = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

bool ParseDate(std::string_view text, RDDatetimeParts &parts) {
    return text.size() == 10 && text[4] == '-' && text[7] == '-' &&
           Digits(text, 0, 4, parts.year) && Digits(text, 5, 2, parts.month) &&
           Digits(text, 8, 2, parts.day) && parts.year >= 1;
}

// "HH:MM", "HH:MM:SS", "HH:MM:SS.h" or "HH:MM:SS.hh"; a longer fraction is
// accepted only when its further digits are zeros (nothing is lost).
bool ParseTime(std::string_view text, RDDatetimeParts &parts) {
    if (text.size() < 5 || text[2] != ':' || !Digits(text, 0, 2, parts.hour) ||
        !Digits(text, 3, 2, parts.minute))
        return false;
    parts.second = parts.hundredth = 0;
    if (text.size() == 5) return true;
    if (text.size() < 8 || text[5] != ':' || !Digits(text, 6, 2, parts.second)) return false;
    if (text.size() == 8) return true;
    if (text[8] != '.' || text.size() == 9) return false;
    int32_t scale = 10;
    for (size_t i = 9; i < text.size(); ++i) {
        int32_t digit = 0;
        if (!Digits(text, i, 1, digit)) return false;
        if (scale == 0 && digit != 0) return false;
        parts.hundredth += digit * scale;
        scale /= 10;
    }
    return true;
}

} // namespace

bool ParseDatetime(std::string_view text, RDDatetime &out) {
    RDDatetimeParts parts{-1, -1, -1, -1, -1, -1, -1, -1, 0, 0};
    bool ok = false;
    if (text.size() == 10) {
        ok = ParseDate(text, parts);
    } else if (text.size() > 10 && text[4] == '-' && (text[10] == ' ' || text[10] == 'T')) {
        ok = ParseDate(text.substr(0, 10), parts) && ParseTime(text.substr(11), parts);
    } else {
        ok = ParseTime(text, parts);
    }
    return ok && RDDatetimeSetParts(&out, &parts, 0) == 0;
}

bool FormatDatetime(const RDDatetime &value, std::string &out) {
    char text[48];
    const bool hasDate = value.date != RDDT_ABSENT, hasTime = value.ticks != RDDT_ABSENT;
    RDDatetimeParts parts{};
    if (hasDate) {
        if (RDDatetimeGetParts(&value, 0, &parts) != 0) return false;
    } else if (hasTime) {
        if (value.ticks >= RDDT_MAX_TICKS) return false;
        const uint32_t seconds = value.ticks / 100;
        parts.hour = static_cast<int32_t>(seconds / 3600);
        parts.minute = static_cast<int32_t>(seconds / 60 % 60);
        parts.second = static_cast<int32_t>(seconds % 60);
        parts.hundredth = static_cast<int32_t>(value.ticks % 100);
    }
    int n = 0;
    if (hasDate)
        n = std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.year, parts.month, parts.day);
    if (hasTime) {
        n += std::snprintf(text + n, sizeof text - n, "%s%02d:%02d:%02d", hasDate ? " " : "",
                           parts.hour, parts.minute, parts.second);
        if (parts.hundredth != 0)
            n += std::snprintf(text + n, sizeof text - n, ".%02d", parts.hundredth);
    }
    out.assign(text, static_cast<size_t>(n));
    return true;
}

} // namespace rdxc
