// SPDX-License-Identifier: Apache-2.0
// Internals of the text forms of values: storing a made text in a stream,
// reading the bytes of a stream in a given character set, and the
// datetime text writer and reader.
#pragma once

#include "rdx_datetime.h"
#include "rdx_stream.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rdx::text {

// What a reader of StreamBytes accepts.
enum class Syntax {
    Any,  // any character
    Ascii // ASCII characters only: it stops at any byte above 0x7F
};

// The bytes of a stream in charset: the stream's own bytes when it is in
// that set, else a converted copy (RDCONVERT_BORROW | RDCONVERT_KEEPFORMAT)
// released with the object. For a reader of ASCII syntax the bytes of
// UTF-8 text are read in place also when charset is another UTF-8 code:
// the copy would differ only in ill-formed parts replaced by U+FFFD, and
// the reader stops at both alike.
class StreamBytes {
  public:
    StreamBytes(const RDStream &stream, uint32_t charset, Syntax syntax = Syntax::Any);
    ~StreamBytes();
    StreamBytes(const StreamBytes &) = delete;
    StreamBytes &operator=(const StreamBytes &) = delete;
    uint32_t Status() const { return status_; }
    std::string_view View() const { return view_; }

  private:
    RDStream converted_{};
    std::string_view view_;
    uint32_t status_ = 0;
};

// Stores text, made in character set madeIn, into stream as charset.
uint32_t StoreText(RDStream *stream, std::string_view text, uint32_t madeIn, uint32_t charset);

// The checks shared by the RDStreamFrom* writers: 12320, 12808, 12300.
uint32_t CheckWriter(const RDStream *stream, uint32_t charset);

// The datetime text in the international formats: 0, 532 or 12807.
uint32_t WriteDatetime(const RDDatetime &datetime, std::string *text);
// A datetime from a text (up to its first NUL): 0, 532, 533 or 12807.
// *datetime is written on success only.
uint32_t ReadDatetime(std::string_view text, RDDatetime *datetime);

// The float text: 15 significant digits, three-digit exponents.
std::string FormatFloat(double value);
// The integer and float text readers on bytes in the default character
// set: white space, one optional sign, digits. 0, 12801 (saturated to the
// nearest limit) or 12803/12804 (value 0).
uint32_t ReadIntText(std::string_view text, int32_t *value);
uint32_t ReadFloatText(std::string_view text, double *value);

// Reads a decimal number at the start of text (digits, '.', exponent, no
// sign) like the C library's strtod. Returns the bytes used (0 for none);
// *outOfRange tells an overflow or underflow.
size_t ParseFloat(std::string_view text, double *value, bool *outOfRange);

// Character classes of the C locale, safe on any byte.
inline bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool IsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace rdx::text
