// SPDX-License-Identifier: Apache-2.0
// Texts from outside the process (stored values, log records, failure texts
// holding data) made safe to print on a terminal: nothing in the result can
// move the cursor, change colours, end the line or reorder what follows.
// Plain C++ without the library, so that any program printing such texts
// can link it (the static library rdxvisible).
//
// Shown as escapes: C0 controls and DEL as \xHH (\n, \r and \t by those
// names), C1 controls and the Unicode line, paragraph and bidirectional
// controls as \uHHHH, and each byte that is not part of well-formed UTF-8
// (overlong forms, surrogates, code points past U+10FFFF, stray or missing
// continuation bytes) as \xHH. Every other character is kept, backslashes
// included.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rdxc {

// The length of the well-formed UTF-8 character at text[at] (1-4), or 0 when
// the bytes there are not one.
std::size_t Utf8CharLength(std::string_view text, std::size_t at);

// Whether all of text is well-formed UTF-8.
bool IsWellFormedUtf8(std::string_view text);

// text as it may be printed: see above.
std::string VisibleText(std::string_view text);

} // namespace rdxc
