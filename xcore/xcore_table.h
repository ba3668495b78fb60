// The record behind a table handle.
#pragma once

#include "xcore.h"

#include <string>
#include <unicode/ucnv.h>
#include <unicode/ucol.h>

namespace xcore {

// How a table's text is encoded; UTF-8 and UTF-16LE take ICU's direct
// routines instead of the converter.
enum class Form { Utf16Le, Utf8, Other };

struct Table {
    uint32_t code = 0;
    Form form = Form::Other;
    UConverter *converter = nullptr;
    uint32_t terminator = 1;
    std::string locale;                           // collation locale; empty is the root
    UCollator *collators[2] = {nullptr, nullptr}; // case-sensitive, case-insensitive
};

} // namespace xcore
