#include "csv_reader.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/types.h>

namespace rdcsv {
namespace {
constexpr size_t kChunk = 64 * 1024;
} // namespace

Reader::Reader(std::FILE *file, Dialect dialect, size_t maxRecord)
    : file_(file), dialect_(dialect), maxRecord_(maxRecord), buffer_(kChunk) {
    Rewind();
}

Reader::~Reader() {
    if (file_ != nullptr) std::fclose(file_);
}

bool Reader::Rewind() {
    fileOffset_ = 0;
    pos_ = end_ = 0;
    eof_ = readError_ = false;
    line_ = startLine_ = 1;
    if (std::fseek(file_, 0, SEEK_SET) != 0) return false;
    if (Fill() && end_ - pos_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
    return true;
}

bool Reader::Seek(uint64_t offset, uint64_t line, int &before) {
    before = -1;
    const uint64_t from = offset == 0 ? 0 : offset - 1;
    if (from > static_cast<uint64_t>(INT64_MAX) ||
        fseeko(file_, static_cast<off_t>(from), SEEK_SET) != 0)
        return false;
    if (offset > 0 && (before = std::fgetc(file_)) == EOF) return false;
    fileOffset_ = offset;
    pos_ = end_ = 0;
    eof_ = readError_ = false;
    line_ = startLine_ = line;
    return true;
}

bool Reader::Fill() {
    if (pos_ < end_) return true;
    if (eof_) return false;
    fileOffset_ += end_;
    pos_ = 0;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (end_ == 0) {
        eof_ = true;
        readError_ = std::ferror(file_) != 0;
    }
    return end_ != 0;
}

int Reader::Peek() {
    return Fill() ? static_cast<unsigned char>(buffer_[pos_]) : -1;
}

void Reader::LineEnd(bool crlf) {
    ++line_;
    if (!sawLineEnd_) sawCrlf_ = crlf;
    sawLineEnd_ = true;
}

bool Reader::Append(std::string_view bytes) {
    if (record_.size() + bytes.size() > maxRecord_) return false;
    record_.append(bytes);
    return true;
}

Reader::Result Reader::Fail(std::string what) {
    error_ = std::move(what);
    SkipLine();
    return Result::Error;
}

// Drops the rest of the current line (a fault leaves its record behind).
void Reader::SkipLine() {
    for (int c = Peek(); c != -1; c = Peek()) {
        Advance();
        if (c == '\n') {
            LineEnd(false);
            return;
        }
    }
}

// A quoted field after its opening quote: up to the closing quote.
Reader::QuoteEnd Reader::ReadQuoted() {
    for (;;) {
        if (!Fill()) return QuoteEnd::Unclosed;
        const char *run = buffer_.data() + pos_;
        size_t n = 0;
        while (pos_ + n < end_ && run[n] != dialect_.quote) {
            if (run[n] == '\n') ++line_;
            ++n;
        }
        if (!Append(std::string_view(run, n))) return QuoteEnd::TooLong;
        pos_ += n;
        if (pos_ == end_) continue;
        Advance(); // a quote: doubled, or the end of the field
        if (Peek() != static_cast<unsigned char>(dialect_.quote)) return QuoteEnd::Closed;
        Advance();
        if (!Append(std::string_view(&dialect_.quote, 1))) return QuoteEnd::TooLong;
    }
}

// An unquoted field: up to the delimiter, the line end or a quote, not
// taken. A CR is kept; the caller drops it when the line end follows.
bool Reader::ReadPlain() {
    while (Fill()) {
        const char *run = buffer_.data() + pos_;
        size_t n = 0;
        while (pos_ + n < end_ && run[n] != dialect_.delimiter && run[n] != '\n' &&
               run[n] != dialect_.quote)
            ++n;
        if (!Append(std::string_view(run, n))) return false;
        pos_ += n;
        if (pos_ < end_) break;
    }
    return true;
}

Reader::Result Reader::Next() {
    record_.clear();
    spans_.clear();
    error_.clear();
    startLine_ = line_;
    if (Peek() == -1)
        return readError_ ? Fail("the file cannot be read: " + std::string(std::strerror(errno)))
                          : Result::End;
    const int quote = static_cast<unsigned char>(dialect_.quote);
    const int delimiter = static_cast<unsigned char>(dialect_.delimiter);
    for (;;) {
        const std::string number = std::to_string(spans_.size() + 1);
        FieldSpan span{record_.size(), 0, false};
        bool crlf = false;
        if (Peek() == quote) {
            Advance();
            span.quoted = true;
            const QuoteEnd quoted = ReadQuoted();
            if (quoted == QuoteEnd::TooLong) return Fail(TooLong());
            if (quoted == QuoteEnd::Unclosed)
                return Fail("the quoted field " + number + " is not closed");
            if (Peek() == '\r') Advance(), crlf = true;
            const int next = Peek();
            if (next != -1 && next != '\n' && (crlf || next != delimiter))
                return Fail("text follows the closing quote of field " + number);
        } else {
            if (!ReadPlain()) return Fail(TooLong());
            if (Peek() == quote)
                return Fail("field " + number + " holds a quote but does not start with one");
        }
        span.length = record_.size() - span.start;
        const int next = Peek();
        if (!span.quoted && next != delimiter && span.length > 0 && record_.back() == '\r') {
            record_.pop_back();
            --span.length;
            crlf = true;
        }
        spans_.push_back(span);
        if (next == delimiter) {
            Advance();
            continue;
        }
        if (next == '\n') {
            Advance();
            LineEnd(crlf);
        }
        return Result::Record;
    }
}

std::string Reader::TooLong() const {
    return "the record is longer than " + std::to_string(maxRecord_) + " bytes";
}

} // namespace rdcsv
