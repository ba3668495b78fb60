// SPDX-License-Identifier: Apache-2.0
// The file's character set: texts are read into UTF-8 and written back in
// the file's set through the library's stream conversion, with bytes that
// the set cannot decode, and characters it cannot hold, reported rather
// than replaced.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rdcsv {

// A code, or one of the names utf-8, latin1 (iso-8859-1), ascii, native.
bool ParseCharset(std::string_view text, uint32_t &code);
// How a message names a set: "utf-8 (65001)" for a named one, else its code.
std::string CharsetText(uint32_t code);
// The sets that keep ASCII bytes as they are; UTF-16 does not.
bool CharsetKeepsAscii(uint32_t code);
bool ValidUtf8(std::string_view bytes);

class Charset {
  public:
    explicit Charset(uint32_t code = 65001);
    uint32_t Code() const { return code_; }
    bool IsUtf8() const { return utf8_; }
    // 0 and valid false for undecodable bytes; another status when the
    // conversion itself fails.
    uint32_t ToUtf8(std::string_view bytes, std::string &out, bool &valid) const;
    // The same, without a copy when the bytes are UTF-8 already: text is
    // then bytes itself, else the conversion in scratch.
    uint32_t AsUtf8(std::string_view bytes, std::string &scratch, std::string_view &text,
                    bool &valid) const;
    uint32_t FromUtf8(std::string_view text, std::string &out, bool &representable) const;

  private:
    uint32_t code_;
    bool utf8_;
};

} // namespace rdcsv
