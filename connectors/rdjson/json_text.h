// SPDX-License-Identifier: Apache-2.0
// JSON texts of values: numbers checked against the JSON grammar, strings
// escaped, binary values as base64 (RFC 4648, with padding).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rdjson {

// Whether text is a JSON number: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
// integer: without fraction and exponent.
bool IsJsonNumber(std::string_view text, bool &integer);

// Appends text as a JSON string in quotes: quote, backslash and control
// characters escaped. False (out unchanged) when text is not valid UTF-8.
bool AppendString(std::string &out, std::string_view text);

void AppendBase64(std::string &out, std::string_view bytes);
// False for a text that is not base64 (padding required, no white space).
bool DecodeBase64(std::string_view text, std::string &out);

} // namespace rdjson

namespace rdjson {

// Whether text is one whole JSON value (for texts written unquoted).
bool IsJsonValue(std::string_view text);
// Whether text is one JSON object; its keys (unescaped) go to keys.
bool ObjectKeys(std::string_view text, std::vector<std::string> &keys);

} // namespace rdjson
