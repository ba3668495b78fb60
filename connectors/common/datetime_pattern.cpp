// SPDX-License-Identifier: Apache-2.0
#include "datetime_pattern.h"

#include <cctype>
#include <cstring>

namespace rdxc {
namespace {

constexpr const char *kMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
constexpr const char *kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr const char kDirectives[] = "YymdebhBaAHIMSfpz%";

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

// Up to most digits (at least one) at at.
bool Number(std::string_view text, size_t &at, size_t most, int32_t &out) {
    out = 0;
    size_t count = 0;
    for (; count < most && at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]));
         ++count, ++at)
        out = out * 10 + (text[at] - '0');
    return count > 0;
}

// The index of the name (whole, else its first three letters) of names
// that the text has at at, any case; -1 when none.
int Name(std::string_view text, size_t &at, const char *const *names, int count) {
    for (size_t length : {size_t{0}, size_t{3}}) {
        for (int i = 0; i < count; ++i) {
            const size_t size = length == 0 ? std::strlen(names[i]) : length;
            if (at + size > text.size()) continue;
            bool same = true;
            for (size_t k = 0; k < size && same; ++k)
                same = std::tolower(static_cast<unsigned char>(text[at + k])) ==
                       std::tolower(static_cast<unsigned char>(names[i][k]));
            if (same) return at += size, i;
        }
    }
    return -1;
}

void Put(std::string &out, int32_t number, int digits, char pad = '0') {
    char text[12];
    int length = 0;
    do {
        text[length++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number > 0 && length < 11);
    for (int i = length; i < digits; ++i)
        out += pad;
    while (length > 0)
        out += text[--length];
}

// The offset of the value's zone byte, in minutes east of universal time.
int32_t ZoneMinutes(const RDDatetime &value) {
    if (value.date == RDDT_ABSENT) return 0;
    const uint32_t zone = value.date >> 24;
    int32_t minutes = static_cast<int32_t>((zone & 0x0F) * 60 + ((zone >> 4) & 0x03) * 15);
    if ((zone & RDDT_ZONE_EAST) == 0) minutes = -minutes;
    return minutes + ((zone & RDDT_ZONE_DST) != 0 ? 60 : 0);
}

} // namespace

bool DatetimePattern::Set(std::string_view pattern, std::string &error) {
    pattern_.clear();
    expanded_.clear();
    hasDate_ = hasTime_ = false;
    std::string expanded;
    bool year = false, month = false, day = false, hour = false, clock = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            expanded += pattern[i];
            continue;
        }
        const char c = i + 1 < pattern.size() ? pattern[++i] : '\0';
        const char *spelled = c == 'T'   ? "%H:%M:%S"
                              : c == 'R' ? "%H:%M"
                              : c == 'F' ? "%Y-%m-%d"
                              : c == 'D' ? "%m/%d/%y"
                                         : nullptr;
        if (spelled == nullptr && (c == '\0' || std::strchr(kDirectives, c) == nullptr)) {
            error = "the date-time pattern \"" + std::string(pattern) + "\" has an unknown " +
                    (c == '\0' ? std::string("% at its end") : "directive %" + std::string(1, c));
            return false;
        }
        expanded += spelled != nullptr ? spelled : std::string{'%', c};
    }
    for (size_t i = 0; i + 1 < expanded.size(); ++i) {
        if (expanded[i] != '%') continue;
        const char c = expanded[++i];
        year = year || c == 'Y' || c == 'y';
        month = month || c == 'm' || c == 'b' || c == 'h' || c == 'B';
        day = day || c == 'd' || c == 'e';
        hour = hour || c == 'H' || c == 'I';
        clock = clock || c == 'M' || c == 'S' || c == 'f';
    }
    if (expanded.empty()) return true;
    if ((year || month || day) && !(year && month && day)) {
        error = "the date-time pattern \"" + std::string(pattern) +
                "\" names part of a date: it needs the year, month and day";
        return false;
    }
    if ((clock && !hour) || !(year || hour)) {
        error = "the date-time pattern \"" + std::string(pattern) +
                "\" needs an hour (%H or %I) for a time, or a whole date";
        return false;
    }
    pattern_ = pattern;
    expanded_ = std::move(expanded);
    hasDate_ = year;
    hasTime_ = hour;
    return true;
}

bool DatetimePattern::Read(std::string_view text, DatetimeText &out) const {
    out = DatetimeText{};
    RDDatetimeParts &p = out.parts;
    if (hasTime_) p.hour = p.minute = p.second = 0;
    int32_t half = -1; // %p: 0 AM, 1 PM
    bool twelve = false;
    size_t at = 0;
    for (size_t i = 0; i < expanded_.size(); ++i) {
        const char c = expanded_[i];
        if (Blank(c)) {
            while (at < text.size() && Blank(text[at]))
                ++at;
            continue;
        }
        if (c != '%') {
            if (at >= text.size() || text[at] != c) return false;
            ++at;
            continue;
        }
        const char d = expanded_[++i];
        int32_t number = 0;
        bool ok = true;
        switch (d) {
        case 'Y':
            ok = Number(text, at, 4, p.year);
            break;
        case 'y':
            ok = Number(text, at, 2, number) &&
                 (p.year = number < 69 ? 2000 + number : 1900 + number);
            break;
        case 'm':
            ok = Number(text, at, 2, p.month);
            break;
        case 'e':
            if (at < text.size() && Blank(text[at])) ++at;
            ok = Number(text, at, 2, p.day);
            break;
        case 'd':
            ok = Number(text, at, 2, p.day);
            break;
        case 'b':
        case 'h':
        case 'B':
            ok = (p.month = Name(text, at, kMonths, 12) + 1) > 0;
            break;
        case 'a':
        case 'A':
            ok = Name(text, at, kWeekdays, 7) >= 0;
            break;
        case 'H':
            ok = Number(text, at, 2, p.hour);
            break;
        case 'I':
            ok = Number(text, at, 2, p.hour) && p.hour >= 1 && p.hour <= 12;
            twelve = true;
            break;
        case 'M':
            ok = Number(text, at, 2, p.minute);
            break;
        case 'S':
            ok = Number(text, at, 2, p.second);
            break;
        case 'f':
            ok = at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]));
            if (ok) ReadFraction(text, at, out);
            break;
        case 'p': {
            static constexpr const char *kHalves[] = {"AM", "PM"};
            const size_t before = at;
            half = Name(text, at, kHalves, 2);
            ok = half >= 0 && at == before + 2;
            break;
        }
        case 'z':
            ok = ReadZone(text, at, out);
            break;
        default: // '%'
            ok = at < text.size() && text[at++] == '%';
            break;
        }
        if (!ok) return false;
    }
    if (twelve && half >= 0) p.hour = p.hour % 12 + 12 * half;
    return at == text.size() && PartsInRange(out);
}

bool DatetimePattern::Write(const RDDatetime &value, std::string &out) const {
    out.clear();
    const bool hasDate = value.date != RDDT_ABSENT;
    if (hasDate_ && !hasDate) return false;
    RDDatetimeParts p{};
    if (hasDate) {
        if (RDDatetimeGetParts(&value, 0, &p) != 0) return false;
    } else if (value.ticks != RDDT_ABSENT) {
        if (value.ticks >= RDDT_MAX_TICKS) return false;
        p.hour = static_cast<int32_t>(value.ticks / 360000);
        p.minute = static_cast<int32_t>(value.ticks / 6000 % 60);
        p.second = static_cast<int32_t>(value.ticks / 100 % 60);
        p.hundredth = static_cast<int32_t>(value.ticks % 100);
    }
    if (value.ticks == RDDT_ABSENT) p.hour = p.minute = p.second = p.hundredth = 0;
    for (size_t i = 0; i < expanded_.size(); ++i) {
        if (expanded_[i] != '%') {
            out += expanded_[i];
            continue;
        }
        switch (expanded_[++i]) {
        case 'Y':
            Put(out, p.year, 4);
            break;
        case 'y':
            Put(out, p.year % 100, 2);
            break;
        case 'm':
            Put(out, p.month, 2);
            break;
        case 'd':
            Put(out, p.day, 2);
            break;
        case 'e':
            Put(out, p.day, 2, ' ');
            break;
        case 'b':
        case 'h':
            out.append(kMonths[(p.month + 11) % 12], 3);
            break;
        case 'B':
            out += kMonths[(p.month + 11) % 12];
            break;
        case 'a':
            if (hasDate) out.append(kWeekdays[(p.weekday + 6) % 7], 3);
            break;
        case 'A':
            if (hasDate) out += kWeekdays[(p.weekday + 6) % 7];
            break;
        case 'H':
            Put(out, p.hour, 2);
            break;
        case 'I':
            Put(out, (p.hour + 11) % 12 + 1, 2);
            break;
        case 'M':
            Put(out, p.minute, 2);
            break;
        case 'S':
            Put(out, p.second, 2);
            break;
        case 'f':
            Put(out, p.hundredth, 2);
            break;
        case 'p':
            out += p.hour < 12 ? "AM" : "PM";
            break;
        case 'z': {
            const int32_t minutes = ZoneMinutes(value);
            out += minutes < 0 ? '-' : '+';
            Put(out, (minutes < 0 ? -minutes : minutes) / 60, 2);
            out += ':';
            Put(out, (minutes < 0 ? -minutes : minutes) % 60, 2);
            break;
        }
        default:
            out += '%';
            break;
        }
    }
    return true;
}

} // namespace rdxc
