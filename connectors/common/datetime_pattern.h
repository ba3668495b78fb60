// SPDX-License-Identifier: Apache-2.0
// Date-time texts of a pattern such as "%d/%m/%Y %H:%M", for texts that
// are not in the ISO forms (datetime_text.h). The directives:
//
//   %Y year (1-4 digits; written with 4)   %y year of two digits, 1969-2068
//   %m month (1-2 digits)                  %b %h %B month name (English,
//   %d day (1-2 digits)                       any case; written Jan, January)
//   %e day, a blank before one digit       %a %A weekday name (read and passed
//   %H hour 0-23 (1-2 digits)                 over; written Mon, Monday)
//   %I hour 1-12 with %p AM or PM          %f fraction of a second, any
//   %M minute   %S second (1-2 digits)        length (written as hundredths)
//   %z Z, +HH, +HHMM or +HH:MM             %T %H:%M:%S   %R %H:%M
//   %F %Y-%m-%d   %D %m/%d/%y              %% a percent sign
//
// A blank in the pattern stands for any run of blanks (also none); any
// other character stands for itself. Reading takes the whole text, written
// numbers have two digits. A pattern names a whole date (year, month, day),
// a time (at least the hour) or both.
#pragma once

#include "datetime_text.h"

#include <string>
#include <string_view>

namespace rdxc {

class DatetimePattern {
  public:
    // False with error set for a directive not listed or an incomplete
    // date; an empty text clears the pattern.
    bool Set(std::string_view pattern, std::string &error);
    bool empty() const { return pattern_.empty(); }
    const std::string &text() const { return pattern_; }

    bool Read(std::string_view text, DatetimeText &out) const;
    // False for a value that lacks a part the pattern writes (a date).
    bool Write(const RDDatetime &value, std::string &out) const;

  private:
    std::string pattern_;  // as given
    std::string expanded_; // %T, %R, %F and %D spelled out
    bool hasDate_ = false;
    bool hasTime_ = false;
};

} // namespace rdxc
