// SPDX-License-Identifier: Apache-2.0
// The datetime text reader: a date (numeric in the settings' order, or with
// a month name) and a time (12- or 24-hour clock, hundredths), in either
// order. The text ends at its first NUL; nothing is read past it.
#include "rdplat_intl.h"
#include "rdx_status.h"
#include "values/datetime_internal.h"
#include "values/text_internal.h"

#include <algorithm>
#include <limits>

namespace rdx::text {
namespace {

constexpr const char *kMonths[12] = {"january",   "february", "march",    "april",
                                     "may",       "june",     "july",     "august",
                                     "september", "october",  "november", "december"};

std::string_view Setting(const char *text, uint32_t length) {
    return std::string_view(text, std::min<uint32_t>(length, RDINTL_TEXT_SIZE - 1));
}

struct Settings {
    explicit Settings(const RDIntlFormat &f)
        : order(f.dateOrder), am(Setting(f.amText, f.amTextLength)),
          pm(Setting(f.pmText, f.pmTextLength)),
          decimal(Setting(f.decimalSeparator, f.decimalSeparatorLength)),
          date(Setting(f.dateSeparator, f.dateSeparatorLength)),
          time(Setting(f.timeSeparator, f.timeSeparatorLength)) {}
    uint32_t order;
    std::string_view am, pm, decimal, date, time;
};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int32_t Clamp32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

class Cursor {
  public:
    explicit Cursor(std::string_view text) : text_(text) {}
    char Peek(size_t ahead = 0) const {
        return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0';
    }
    bool Next(std::string_view word) const {
        return !word.empty() && text_.substr(at_).starts_with(word);
    }
    void Skip(size_t count) { at_ = std::min(at_ + count, text_.size()); }
    void SkipSpace() {
        while (IsSpace(Peek()))
            ++at_;
    }
    size_t Mark() const { return at_; }
    void Reset(size_t mark) { at_ = mark; }
    // A decimal number with an optional sign (as strtol reads it), the
    // value saturated; false, with nothing consumed, when no digit follows.
    bool Number(int64_t *value) {
        const size_t sign = Peek() == '+' || Peek() == '-' ? 1 : 0;
        if (!IsDigit(Peek(sign))) return false;
        const bool negative = Peek() == '-';
        Skip(sign);
        int64_t number = 0;
        for (; IsDigit(Peek()); ++at_)
            number = std::min<int64_t>(number * 10 + (Peek() - '0'), int64_t{1} << 40);
        *value = negative ? -number : number;
        return true;
    }
    // Hundredths of a decimal fraction: the first two digits count.
    int64_t Fraction() {
        int64_t hundredths = 0, scale = 10;
        for (; IsDigit(Peek()); ++at_, scale /= 10)
            hundredths += (Peek() - '0') * scale;
        return hundredths;
    }
    // Length of the separator at the cursor, one of the characters given
    // or the settings' separator; 0 when there is none.
    size_t Separator(std::string_view characters, std::string_view setting) const {
        if (Peek() != '\0' && characters.find(Peek()) != std::string_view::npos) return 1;
        return Next(setting) ? setting.size() : 0;
    }

  private:
    std::string_view text_;
    size_t at_ = 0;
};

// A month name: its first three letters in any case, then further letters
// while they spell the rest of the name in lower case, then one '.'.
int32_t MonthName(Cursor &c) {
    for (int32_t month = 0; month < 12; ++month) {
        const char *name = kMonths[month];
        if (Lower(c.Peek()) != name[0] || Lower(c.Peek(1)) != name[1] ||
            Lower(c.Peek(2)) != name[2])
            continue;
        c.Skip(3);
        if (IsAlpha(c.Peek()))
            for (const char *rest = name + 3; *rest != '\0' && c.Peek() == *rest; ++rest)
                c.Skip(1);
        if (c.Peek() == '.') c.Skip(1);
        return month + 1;
    }
    return 0;
}

struct Read {
    int64_t year = 0, month = 0, day = 0; // a missing year stays 0
    int64_t hour = 0, minute = 0, second = 0, hundredth = 0;
    bool date = false, time = false;
};

uint32_t NumericDate(Cursor &c, const Settings &s, int64_t first, Read &r) {
    if (first == 0) return RDSTATUS_NODATETIME;
    int64_t second = 0, third = 0;
    c.SkipSpace();
    c.Number(&second);
    c.SkipSpace();
    const size_t separator = c.Separator("/-", s.date);
    if (separator == 0) return RDSTATUS_NODATETIME;
    c.Skip(separator);
    c.SkipSpace();
    c.Number(&third);
    if (s.order == RDINTL_DMY) {
        r.day = first, r.month = second, r.year = third;
    } else if (s.order == RDINTL_YMD) {
        r.year = first, r.month = second, r.day = third;
    } else {
        r.month = first, r.day = second, r.year = third;
    }
    return RDSTATUS_OK;
}

// After the month name and the first number: a second number (unless it
// starts a time), giving day and year; one number is a day below 100 and
// otherwise a year.
void NamedDate(Cursor &c, const Settings &s, int64_t first, Read &r) {
    int64_t second = 0;
    bool two = false;
    if (first < 99) {
        c.SkipSpace();
        if (c.Peek() == ',') c.Skip(1);
        c.SkipSpace();
        const size_t mark = c.Mark();
        if (c.Number(&second)) {
            c.SkipSpace();
            two = c.Separator(":", s.time) == 0;
            if (!two) c.Reset(mark);
        }
    }
    if (two) {
        r.day = first, r.year = second;
    } else if (first < 100) {
        r.day = first;
    } else {
        r.year = first, r.day = 1;
    }
}

uint32_t ReadDate(Cursor &c, const Settings &s, Read &r) {
    c.SkipSpace();
    int64_t first = 0;
    if (c.Number(&first)) {
        c.SkipSpace();
        if (const size_t separator = c.Separator("/-", s.date); separator != 0) {
            c.Skip(separator);
            r.date = true;
            return NumericDate(c, s, first, r);
        }
        r.month = MonthName(c);
        if (r.month == 0) return RDSTATUS_NODATETIME;
    } else {
        r.month = MonthName(c);
        if (r.month == 0) return RDSTATUS_OK; // no date
        c.SkipSpace();
        if (c.Peek() == ',') c.Skip(1);
        c.SkipSpace();
        if (!c.Number(&first)) return RDSTATUS_NODATETIME;
    }
    r.date = true;
    NamedDate(c, s, first, r);
    return RDSTATUS_OK;
}

// The number after a time separator: a digit must follow.
uint32_t TimeNumber(Cursor &c, int64_t *value) {
    c.SkipSpace();
    if (!IsDigit(c.Peek())) return RDSTATUS_NODATETIME;
    c.Number(value);
    return RDSTATUS_OK;
}

uint32_t ReadTime(Cursor &c, const Settings &s, Read &r) {
    c.SkipSpace();
    if (!IsDigit(c.Peek())) return RDSTATUS_OK; // no time
    r.time = true;
    c.Number(&r.hour);
    c.SkipSpace();
    if (size_t separator = c.Separator(":", s.time); separator != 0) {
        c.Skip(separator);
        if (TimeNumber(c, &r.minute) != RDSTATUS_OK) return RDSTATUS_NODATETIME;
        c.SkipSpace();
        if (separator = c.Separator(":", s.time); separator != 0) {
            c.Skip(separator);
            if (TimeNumber(c, &r.second) != RDSTATUS_OK) return RDSTATUS_NODATETIME;
            c.SkipSpace();
            if (separator = std::max(c.Separator(":", s.decimal), c.Separator("", s.time));
                separator != 0) {
                c.Skip(separator);
                c.SkipSpace();
                if (!IsDigit(c.Peek())) return RDSTATUS_NODATETIME;
                r.hundredth = c.Fraction();
            }
        }
    }
    c.SkipSpace();
    if (c.Next(s.pm)) {
        c.Skip(s.pm.size());
        if (r.hour < 12) r.hour += 12;
    } else if (c.Next(s.am)) {
        c.Skip(s.am.size());
        if (r.hour == 12) r.hour = 0;
    }
    return r.hour < 24 && r.minute < 60 && r.second < 60 ? RDSTATUS_OK : RDSTATUS_NODATETIME;
}

// Which element comes first: the time when a ':' or the time separator
// comes before any date mark.
uint32_t TimeFirst(std::string_view text, const Settings &s, bool *timeFirst) {
    Cursor c(text);
    for (; c.Peek() != '\0'; c.Skip(1)) {
        *timeFirst = c.Separator(":", s.time) != 0;
        if (*timeFirst || IsAlpha(c.Peek()) || c.Separator("/-", s.date) != 0) return RDSTATUS_OK;
    }
    return RDSTATUS_NODATETIME;
}

RDDatetimeParts ToParts(const Read &r) {
    RDDatetimeParts p{-1, -1, -1, -1, -1, -1, -1, -1, 0, 0};
    if (r.date) {
        p.year = Clamp32(r.year);
        p.month = Clamp32(r.month);
        p.day = Clamp32(r.day);
    }
    if (r.time) {
        p.hour = static_cast<int32_t>(r.hour);
        p.minute = static_cast<int32_t>(r.minute);
        p.second = static_cast<int32_t>(r.second);
        p.hundredth = static_cast<int32_t>(r.hundredth);
    }
    return p;
}

} // namespace

uint32_t ReadDatetime(std::string_view text, RDDatetime *datetime) {
    const RDIntlFormat *f = RDPlatGetIntlFormat();
    if (f == nullptr) return RDSTATUS_NOINTLFORMAT;
    const Settings s(*f);
    text = text.substr(0, text.find('\0'));
    bool timeFirst = false;
    if (TimeFirst(text, s, &timeFirst) != RDSTATUS_OK) return RDSTATUS_NODATETIME;
    Cursor c(text);
    Read r;
    uint32_t status = timeFirst ? ReadTime(c, s, r) : ReadDate(c, s, r);
    if (status == RDSTATUS_OK && !(timeFirst ? r.time : r.date)) status = RDSTATUS_NODATETIME;
    if (status == RDSTATUS_OK) status = timeFirst ? ReadDate(c, s, r) : ReadTime(c, s, r);
    if (status != RDSTATUS_OK) return status;
    // Negative date numbers would read as absent parts: they are no date.
    if (r.date && (r.year < 0 || r.month < 0 || r.day < 0)) return RDSTATUS_NODATETIME;
    RDDatetimeParts p = ToParts(r);
    if (r.date && RDPlatGetTimeZone(&p.zone, &p.dst) != RDSTATUS_OK) return RDSTATUS_NOTIMEZONE;
    RDDatetime value;
    if (RDDatetimeSetParts(&value, &p, 0) != RDSTATUS_OK) return RDSTATUS_NODATETIME;
    *datetime = value;
    return RDSTATUS_OK;
}

} // namespace rdx::text
