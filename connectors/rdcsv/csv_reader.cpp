// SPDX-License-Identifier: Apache-2.0
#include "csv_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/types.h>
#include <unistd.h>

namespace rdcsv {
namespace {
constexpr size_t kChunk = 64 * 1024;
} // namespace

Reader::Reader(std::FILE *file, Dialect dialect, size_t maxRecord)
    : file_(file), dialect_(dialect), maxRecord_(maxRecord), buffer_(kChunk) {
    stops_[static_cast<unsigned char>(dialect_.delimiter)] = true;
    stops_[static_cast<unsigned char>(dialect_.quote)] = true;
    stops_[static_cast<unsigned char>('\n')] = true;
    Rewind();
}

Reader::~Reader() {
    if (file_ != nullptr) std::fclose(file_);
}

bool Reader::Rewind() {
    fileOffset_ = 0;
    pos_ = end_ = 0;
    eof_ = readError_ = false;
    lastByte_ = -1;
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
    lastByte_ = before;
    line_ = startLine_ = line;
    return true;
}

bool Reader::Fill() {
    if (pos_ < end_) return true;
    if (eof_) return false;
    if (end_ > 0) lastByte_ = static_cast<unsigned char>(buffer_[end_ - 1]);
    fileOffset_ += end_;
    pos_ = 0;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (end_ == 0) {
        eof_ = true;
        readError_ = std::ferror(file_) != 0;
        readErrno_ = errno;
    }
    return end_ != 0;
}

int Reader::Peek() {
    return Fill() ? static_cast<unsigned char>(buffer_[pos_]) : -1;
}

std::string Reader::ReadError() const {
    return "the file cannot be read: " + std::string(std::strerror(readErrno_));
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

Reader::Result Reader::Fail(std::string what, bool inQuotes) {
    error_ = std::move(what);
    SkipRest(inQuotes);
    fileFault_ = readError_;
    if (fileFault_) error_ = ReadError();
    return Result::Error;
}

// Passes over the rest of a malformed record without keeping its bytes: a
// quoted field runs to its closing quote (a doubled quote is data), a quote
// elsewhere than at the start of a field is data, and the record ends at
// the first line end outside quotes, or at the end of the file.
void Reader::SkipRest(bool inQuotes) {
    const char quote = dialect_.quote, delimiter = dialect_.delimiter;
    while (Fill()) {
        const char *run = buffer_.data() + pos_;
        const size_t n = end_ - pos_;
        size_t i = 0;
        if (inQuotes) {
            for (; i < n && run[i] != quote; ++i) {
                if (run[i] == '\n') ++line_;
            }
            pos_ += i;
            if (i == n) continue;
            Advance();
            if (Peek() == static_cast<unsigned char>(quote))
                Advance();
            else
                inQuotes = false;
            continue;
        }
        while (i < n && run[i] != delimiter && run[i] != '\n')
            ++i;
        pos_ += i;
        if (i == n) continue;
        const bool lineEnd = run[i] == '\n', crlf = i > 0 && run[i - 1] == '\r';
        Advance();
        if (lineEnd) return LineEnd(crlf);
        if (Peek() == static_cast<unsigned char>(quote)) {
            Advance();
            inQuotes = true;
        }
    }
}

// The text of a quoted field that the end of the file leaves open: the
// line of its opening quote and the lines it took.
std::string Reader::Unclosed(const std::string &field, uint64_t opened) const {
    const uint64_t lines = line_ - opened + (lastByte_ == '\n' ? 0 : 1);
    return "the quoted field " + field + ", opened on line " + std::to_string(opened) +
           ", is not closed: it runs to the end of the file, " + std::to_string(lines) +
           (lines == 1 ? " line" : " lines");
}

bool Reader::RecordBytes(size_t most, std::string &out) const {
    const size_t size = static_cast<size_t>(std::min<uint64_t>(RecordLength(), most));
    out.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fileno(file_), out.data() + done, size - done,
                                  static_cast<off_t>(recordOffset_ + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    out.resize(done);
    return done == size;
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

// The frequent record: wholly in the buffer and ended there by a line end,
// well formed, without doubled quotes and not too long. Its fields are then
// read where they lie, without a copy. False, with the reader where it
// was, for any other record, which the copying path reads.
bool Reader::ReadInPlace() {
    const char *const base = buffer_.data();
    const char quote = dialect_.quote, delimiter = dialect_.delimiter;
    const size_t end = end_;
    size_t at = pos_;
    uint64_t lines = 0;
    for (;;) {
        FieldSpan span{at, 0, false};
        bool crlf = false;
        if (at < end && base[at] == quote) {
            const auto *close =
                static_cast<const char *>(std::memchr(base + at + 1, quote, end - at - 1));
            if (close == nullptr) return false;
            span.start = at + 1;
            span.length = static_cast<size_t>(close - base) - span.start;
            span.quoted = true;
            lines += static_cast<uint64_t>(std::count(base + span.start, close, '\n'));
            at = static_cast<size_t>(close - base) + 1;
            if (at < end && base[at] == quote) return false; // a doubled quote
            if (at < end && base[at] == '\r') ++at, crlf = true;
            if (at == end || (base[at] != '\n' && (crlf || base[at] != delimiter))) return false;
        } else {
            while (at < end && !stops_[static_cast<unsigned char>(base[at])])
                ++at;
            if (at == end || base[at] == quote) return false;
            span.length = at - span.start;
            if (base[at] == '\n' && span.length > 0 && base[at - 1] == '\r') {
                --span.length;
                crlf = true;
            }
        }
        spans_.push_back(span);
        if (base[at++] == delimiter) continue;
        if (at - pos_ > maxRecord_) return false;
        pos_ = at;
        line_ += lines;
        LineEnd(crlf);
        base_ = base;
        return true;
    }
}

Reader::Result Reader::Next() {
    record_.clear();
    spans_.clear();
    error_.clear();
    fileFault_ = false;
    startLine_ = line_;
    recordOffset_ = Offset();
    base_ = record_.data();
    if (Peek() == -1) {
        if (!readError_) return Result::End;
        error_ = ReadError();
        fileFault_ = true;
        return Result::Error;
    }
    if (ReadInPlace()) return Result::Record;
    spans_.clear();
    const int quote = static_cast<unsigned char>(dialect_.quote);
    const int delimiter = static_cast<unsigned char>(dialect_.delimiter);
    for (;;) {
        // The field's number, for the messages of a malformed record.
        const auto number = [this] { return std::to_string(spans_.size() + 1); };
        FieldSpan span{record_.size(), 0, false};
        bool crlf = false;
        if (Peek() == quote) {
            const uint64_t opened = line_;
            Advance();
            span.quoted = true;
            const QuoteEnd quoted = ReadQuoted();
            if (quoted == QuoteEnd::TooLong) return Fail(TooLong(), true);
            if (quoted == QuoteEnd::Unclosed) return Fail(Unclosed(number(), opened), false);
            if (Peek() == '\r') Advance(), crlf = true;
            const int next = Peek();
            if (next != -1 && next != '\n' && (crlf || next != delimiter))
                return Fail("text follows the closing quote of field " + number(), false);
        } else {
            if (!ReadPlain()) return Fail(TooLong(), false);
            if (Peek() == quote)
                return Fail("field " + number() + " holds a quote but does not start with one",
                            false);
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
        if (readError_) {
            error_ = ReadError();
            fileFault_ = true;
            return Result::Error;
        }
        base_ = record_.data();
        return Result::Record;
    }
}

std::string Reader::TooLong() const {
    return "the record is longer than " + std::to_string(maxRecord_) + " bytes";
}

} // namespace rdcsv
