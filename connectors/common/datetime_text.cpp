// SPDX-License-Identifier: Apache-2.0
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

bool IsDigit(std::string_view text, size_t at) {
    return at < text.size() && text[at] >= '0' && text[at] <= '9';
}

// "YYYY-MM-DD" (extended) or "YYYYMMDD" (compact) at the start; at is
// moved past it.
bool ReadDate(std::string_view text, size_t &at, bool &extended, RDDatetimeParts &parts) {
    if (!Digits(text, 0, 4, parts.year)) return false;
    extended = text.size() > 4 && text[4] == '-';
    const bool read = extended
                          ? text.size() >= 10 && text[7] == '-' &&
                                Digits(text, 5, 2, parts.month) && Digits(text, 8, 2, parts.day)
                          : Digits(text, 4, 2, parts.month) && Digits(text, 6, 2, parts.day);
    at = extended ? 10 : 8;
    return read && parts.year >= 1;
}

} // namespace

void ReadFraction(std::string_view text, size_t &at, DatetimeText &out) {
    int32_t hundredths = 0, micros = 0;
    size_t count = 0;
    bool finer = false, upHundredth = false, upMicro = false;
    for (; IsDigit(text, at); ++at, ++count) {
        const int32_t digit = text[at] - '0';
        if (count < 2) hundredths = hundredths * 10 + digit;
        if (count < 6) micros = micros * 10 + digit;
        if (count == 2) upHundredth = digit >= 5;
        if (count == 6) upMicro = digit >= 5;
        finer = finer || (count >= 2 && digit != 0);
    }
    for (size_t i = count; i < 2; ++i)
        hundredths *= 10;
    for (size_t i = count; i < 6; ++i)
        micros *= 10;
    out.hundredths = hundredths + (upHundredth ? 1 : 0);
    out.micros = micros + (upMicro ? 1 : 0);
    out.rounded = finer;
}

namespace {

// "HH:MM[:SS[.f]]" (extended) or "HHMM[SS[.f]]" (compact) at at.
bool ReadTime(std::string_view text, size_t &at, bool extended, DatetimeText &out) {
    RDDatetimeParts &parts = out.parts;
    const size_t step = extended ? 3 : 2;
    if (!Digits(text, at, 2, parts.hour)) return false;
    if (extended && (at + 2 >= text.size() || text[at + 2] != ':')) return false;
    if (!Digits(text, at + step, 2, parts.minute)) return false;
    at += step + 2;
    parts.second = 0;
    const bool more = extended ? at < text.size() && text[at] == ':' : IsDigit(text, at);
    if (!more) return true;
    if (!Digits(text, at + (extended ? 1 : 0), 2, parts.second)) return false;
    at += extended ? 3 : 2;
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        if (!IsDigit(text, ++at)) return false;
        ReadFraction(text, at, out);
    }
    return true;
}

} // namespace

bool ReadZone(std::string_view text, size_t &at, DatetimeText &out) {
    if (at >= text.size()) return false;
    out.zoned = true;
    if (text[at] == 'Z' || text[at] == 'z') return ++at, true;
    if (text[at] != '+' && text[at] != '-') return false;
    const int32_t sign = text[at] == '-' ? -1 : 1;
    int32_t hours = 0, minutes = 0;
    if (!Digits(text, at + 1, 2, hours)) return false;
    at += 3;
    const size_t colon = at < text.size() && text[at] == ':' ? 1 : 0;
    if (Digits(text, at + colon, 2, minutes))
        at += colon + 2;
    else if (colon != 0)
        return false;
    out.offsetMinutes = sign * (hours * 60 + minutes);
    return hours <= 18 && minutes <= 59;
}

bool PartsInRange(const DatetimeText &text) {
    const RDDatetimeParts &p = text.parts;
    const bool date =
        p.year < 0 || (p.year >= 1 && p.month >= 1 && p.month <= 12 && p.day >= 1 && p.day <= 31);
    const bool time = p.hour < 0 || (p.hour <= 24 && p.minute >= 0 && p.minute <= 59 &&
                                     p.second >= 0 && p.second <= 59 &&
                                     (p.hour < 24 || (p.minute == 0 && p.second == 0 &&
                                                      text.hundredths == 0 && text.micros == 0)));
    return date && time;
}

bool ReadDatetimeText(std::string_view text, DatetimeText &out) {
    out = DatetimeText{};
    RDDatetimeParts &parts = out.parts;
    size_t at = 0;
    bool extended = true, date = false;
    // A date begins with four digits, a time with two and ':'.
    int32_t year = 0;
    if (Digits(text, 0, 4, year)) {
        date = ReadDate(text, at, extended, parts);
        if (!date) return false;
    }
    if (date && at == text.size()) return PartsInRange(out);
    if (date) {
        if (text[at] != 'T' && text[at] != 't' && !(text[at] == ' ' && extended)) return false;
        ++at;
    }
    // A compact date takes a compact time; an extended one (or none) an
    // extended time.
    if (!ReadTime(text, at, extended, out)) return false;
    if (at < text.size() && (!ReadZone(text, at, out) || at != text.size())) return false;
    return PartsInRange(out);
}

bool DatetimeValue(const DatetimeText &text, RDDatetime &out) {
    RDDatetimeParts parts = text.parts;
    parts.hundredth = 0;
    if (RDDatetimeSetParts(&out, &parts, 0) != 0) return false;
    if (parts.hour < 0) return true;
    // The fraction (a rounded one may reach the next second) and the
    // offset, in hundredths.
    const int64_t shift = text.hundredths - int64_t{text.offsetMinutes} * 6000;
    if (shift == 0) return true;
    if (out.date == RDDT_ABSENT) {
        // A time of day alone has no day to round into (23:59:59.995 stays
        // 23:59:59.99); an offset moves it round the clock.
        int64_t ticks = int64_t{out.ticks} + shift;
        if (text.zoned)
            ticks = (ticks % kTicksPerDay + kTicksPerDay) % kTicksPerDay;
        else if (ticks >= kTicksPerDay && out.ticks < kTicksPerDay)
            ticks = kTicksPerDay - 1;
        out.ticks = static_cast<uint32_t>(ticks);
        return true;
    }
    const int64_t total = int64_t{out.date & RDDT_MAX_DAY} * kTicksPerDay + out.ticks + shift;
    const int64_t day = total / kTicksPerDay;
    if (day < kFirstDay || day > RDDT_MAX_DAY) return false;
    out.date = (out.date & ~RDDT_MAX_DAY) | static_cast<uint32_t>(day);
    out.ticks = static_cast<uint32_t>(total % kTicksPerDay);
    return true;
}

bool ParseDatetime(std::string_view text, RDDatetime &out, bool *rounded) {
    DatetimeText parts;
    if (!ReadDatetimeText(text, parts) || !DatetimeValue(parts, out)) return false;
    if (rounded != nullptr) *rounded = parts.rounded;
    return true;
}

std::string DatetimeCalendarProblem(std::string_view text) {
    DatetimeText parts;
    if (!ReadDatetimeText(text, parts) || parts.parts.year < 0) return std::string();
    return EngineDateProblem(parts.parts.year, parts.parts.month, parts.parts.day);
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
