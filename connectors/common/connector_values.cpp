// SPDX-License-Identifier: Apache-2.0
#include "connector_values.h"

#include "property_value.h"
#include "rdx_status.h"

namespace rdxc {

bool ParseRounding(std::string_view text, Rounding &out) {
    if (text.empty() || SameWord(text, "none")) return out = Rounding::None, true;
    if (SameWord(text, "half-even") || SameWord(text, "half_even") || SameWord(text, "halfeven"))
        return out = Rounding::HalfEven, true;
    return false;
}

std::string TooManyDecimals(std::string_view value, int64_t digits, int64_t scale,
                            std::string_view holder) {
    return std::string(value) + " has more digits after the point (" + std::to_string(digits) +
           ") than the " + std::to_string(scale < 0 ? 0 : scale) + " " + std::string(holder) +
           " holds; set Rounding to half-even to round it";
}

uint32_t ValueRules::SetProperty(uint32_t number, uint32_t field, FailureLog &log) {
    std::string text;
    if (uint32_t status = GetText(field, text); status != RDSTATUS_OK) return status;
    if (number == kRounding) {
        if (!ParseRounding(text, rounding_))
            return log.Fail("Rounding must be \"none\" or \"half-even\", not \"" + text + "\"");
        return RDSTATUS_OK;
    }
    std::string error;
    if (!pattern_.Set(text, error)) return log.Fail(error);
    return RDSTATUS_OK;
}

uint32_t ValueRules::GetProperty(uint32_t number, uint32_t field) const {
    if (number == kRounding)
        return PutText(field, rounding_ == Rounding::HalfEven ? "half-even" : "none");
    return PutText(field, pattern_.text());
}

bool ValueRules::ReadDatetimeText(std::string_view text, DatetimeText &out) const {
    return (!pattern_.empty() && pattern_.Read(text, out)) || rdxc::ReadDatetimeText(text, out);
}

bool ValueRules::ReadDatetime(std::string_view text, RDDatetime &out) {
    DatetimeText parts;
    if (!ReadDatetimeText(text, parts)) return false;
    if (!DatetimeValue(parts, out)) return false;
    if (parts.rounded) ++rounded_;
    return true;
}

void ValueRules::ReportRounded(const FailureLog &log, const std::string &source) {
    if (rounded_ == 0) return;
    log.Inform(std::to_string(rounded_) + " date-time" + (rounded_ == 1 ? "" : "s") +
               " read from " + source +
               " had a fraction of a second finer than hundredths, which the engine keeps: "
               "rounded to the nearest hundredth");
    rounded_ = 0;
}

} // namespace rdxc
