// SPDX-License-Identifier: Apache-2.0
// The record behind a table handle.
#pragma once

#include "xcore.h"

#include <atomic>
#include <string>
#include <unicode/ucnv.h>
#include <unicode/ucol.h>

namespace xcore {

// How a table's text is encoded; UTF-8 and UTF-16LE take ICU's direct
// routines instead of the converter.
enum class Form { Utf16Le, Utf8, Other };

// kNoMemory for ICU's report of memory running short, else kFailed.
inline uint32_t FailureOf(UErrorCode status) {
    return status == U_MEMORY_ALLOCATION_ERROR ? kNoMemory : kFailed;
}

struct Table {
    uint32_t code = 0;
    Form form = Form::Other;
    uint32_t terminator = 1;
    uint32_t maxCharSize = 1;                   // bytes of the longest character
    UConverter *converter = nullptr;            // lent to one translation at a time
    std::atomic<bool> converterLent{false};     // converter is in use
    UConverter *prototype = nullptr;            // never converts; cloned when lent
    std::string locale;                         // collation locale; empty is the root
    std::atomic<UCollator *> collators[2] = {}; // case-sensitive, case-insensitive
};

// A converter of a table for one translation: the table's own when it is
// free, otherwise a clone of the table's prototype, closed afterwards, so
// that threads translating with one table never share a converter's state.
class ConverterUse {
  public:
    explicit ConverterUse(Table &table);
    ~ConverterUse();
    ConverterUse(const ConverterUse &) = delete;
    ConverterUse &operator=(const ConverterUse &) = delete;
    // Null when a clone could not be made; status() then tells why.
    UConverter *get() const { return converter_; }
    uint32_t status() const { return status_; }

  private:
    Table &table_;
    UConverter *converter_;
    bool clone_;
    uint32_t status_ = 0;
};

} // namespace xcore
