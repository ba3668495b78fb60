// SPDX-License-Identifier: Apache-2.0
// Properties that this project's link connectors share about the values
// they read and write, and the rules they make.
//
//   Rounding        text, "none" (the default) or "half-even": a number with
//                   more digits after the point than the column it is
//                   written to (or the field it is read into) holds is the
//                   record's fault (12330) with none, and is rounded half
//                   to even with half-even. A copy passes its own property
//                   Rounding to its target.
//   DatetimeFormat  text: a pattern of date-time texts (datetime_pattern.h)
//                   tried before the ISO forms when a text is read as a
//                   date-time, and the form of date-times written as text.
//                   Empty (the default): the ISO forms (datetime_text.h).
//
// The rules also count the date-times whose fraction was finer than the
// engine's hundredths and was rounded, and log the count once per select.
#pragma once

#include "connector_log.h"
#include "datetime_pattern.h"
#include "decimal_text.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rdxc {

inline constexpr uint32_t kRounding = 0x0F09;
inline constexpr uint32_t kDatetimeFormat = 0x0F0A;

bool ParseRounding(std::string_view text, Rounding &out);
// Why value (as shown) with `digits` digits after the point does not go
// into holder ("the column", "the field") of `scale` digits: the one text
// of every connector, naming the property that rounds.
std::string TooManyDecimals(std::string_view value, int64_t digits, int64_t scale,
                            std::string_view holder);

// Numeric(19,0) carries 64-bit integers between connectors: bigint,
// INTEGER, SQL_BIGINT, the delimited types bigint and int64.
inline constexpr uint32_t kBigintPrecision = 19;

class ValueRules {
  public:
    // Whether number is Rounding or DatetimeFormat.
    static bool Handles(uint32_t number) {
        return number == kRounding || number == kDatetimeFormat;
    }
    uint32_t SetProperty(uint32_t number, uint32_t field, FailureLog &log);
    uint32_t GetProperty(uint32_t number, uint32_t field) const;

    Rounding rounding() const { return rounding_; }
    const DatetimePattern &pattern() const { return pattern_; }

    // A date-time text taken apart by the pattern first, then in the ISO
    // forms.
    bool ReadDatetimeText(std::string_view text, DatetimeText &out) const;
    // Its value; the rounded ones counted.
    bool ReadDatetime(std::string_view text, RDDatetime &out);
    // A date-time read whose fraction was finer than hundredths.
    void CountRounded() { ++rounded_; }
    uint64_t Rounded() const { return rounded_; }
    // Logs the count of rounded date-times read from source (once: the
    // count starts again); nothing when there were none.
    void ReportRounded(const FailureLog &log, const std::string &source);

  private:
    Rounding rounding_ = Rounding::None;
    DatetimePattern pattern_;
    uint64_t rounded_ = 0;
};

} // namespace rdxc
