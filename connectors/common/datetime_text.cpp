#include "datetime_text.h"

#include "calendar.h"

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

bool ParseDatetimeParts(std::string_view text, RDDatetimeParts &parts) {
    parts = RDDatetimeParts{-1, -1, -1, -1, -1, -1, -1, -1, 0, 0};
    bool ok = false;
    if (text.size() == 10) {
        ok = ParseDate(text, parts);
    } else if (text.size() > 10 && text[4] == '-' && (text[10] == ' ' || text[10] == 'T')) {
        ok = ParseDate(text.substr(0, 10), parts) && ParseTime(text.substr(11), parts);
    } else {
        ok = ParseTime(text, parts);
    }
    const bool date = parts.year < 0 ||
                      (parts.month >= 1 && parts.month <= 12 && parts.day >= 1 && parts.day <= 31);
    const bool time =
        parts.hour < 0 || (parts.hour <= 24 && parts.minute <= 59 && parts.second <= 59);
    return ok && date && time;
}

bool ParseDatetime(std::string_view text, RDDatetime &out) {
    RDDatetimeParts parts{};
    return ParseDatetimeParts(text, parts) && RDDatetimeSetParts(&out, &parts, 0) == 0;
}

std::string DatetimeCalendarProblem(std::string_view text) {
    RDDatetimeParts parts{};
    if (!ParseDatetimeParts(text, parts) || parts.year < 0) return std::string();
    return EngineDateProblem(parts.year, parts.month, parts.day);
}

bool FormatDatetime(const RDDatetime &value, std::string &out) {
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
    // Written digit by digit: this runs for every date-time of a batch.
    out.clear();
    auto put = [&out](int32_t number, int digits) {
        char text[8];
        for (int i = digits - 1; i >= 0; --i, number /= 10)
            text[i] = static_cast<char>('0' + number % 10);
        out.append(text, static_cast<size_t>(digits));
    };
    if (hasDate) {
        if (parts.year < 0 || parts.year > 99999) return false;
        put(parts.year, parts.year > 9999 ? 5 : 4);
        out += '-';
        put(parts.month, 2);
        out += '-';
        put(parts.day, 2);
    }
    if (hasTime) {
        if (hasDate) out += ' ';
        put(parts.hour, 2);
        out += ':';
        put(parts.minute, 2);
        out += ':';
        put(parts.second, 2);
        if (parts.hundredth != 0) {
            out += '.';
            put(parts.hundredth, 2);
        }
    }
    return true;
}

} // namespace rdxc
