// SPDX-License-Identifier: Apache-2.0
// Reading delimited text by RFC 4180: fields separated by the delimiter,
// records ended by LF or CRLF, fields in quotes holding delimiters, line
// ends and doubled quotes. A lone CR inside a field is data. The reader
// works on the file's bytes; the delimiter and the quote are single bytes,
// so the file's character set must keep ASCII bytes as they are.
//
// A malformed record is passed over whole: the reader goes on at its end as
// RFC 4180 reads it, where a quote opens a quoted field only at the start
// of a field (elsewhere it is data) and a quoted field ends at its closing
// quote, so that lines inside quotes never pass for records.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace rdcsv {

struct Dialect {
    char delimiter = ',';
    char quote = '"';
};

// One field of the current record: its bytes (quotes removed) and whether
// it was written in quotes (so "" is an empty text, nothing a null). The
// bytes lie in the reader's buffer when the record could be read in place,
// else in its copy of the record.
struct FieldSpan {
    size_t start = 0, length = 0;
    bool quoted = false;
};

class Reader {
  public:
    enum class Result { Record, End, Error };

    // Takes ownership of file. maxRecord bounds one record's bytes.
    Reader(std::FILE *file, Dialect dialect, size_t maxRecord);
    ~Reader();
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    // The next record. After an error the reader stands right after the
    // malformed record, so that reading can go on.
    Result Next();
    size_t FieldCount() const { return spans_.size(); }
    // Valid until the next call that reads.
    std::string_view Field(size_t i) const {
        return std::string_view(base_ + spans_[i].start, spans_[i].length);
    }
    bool Quoted(size_t i) const { return spans_[i].quoted; }
    // The line on which the current (or failed) record starts, from 1.
    uint64_t Line() const { return startLine_; }
    const std::string &Error() const { return error_; }
    // Whether the last error is the file's (it cannot be read) rather than
    // a record's.
    bool FileFault() const { return fileFault_; }
    // The current (or failed) record as the file holds it: its byte offset,
    // its length in bytes (line ends included), and at most `most` of its
    // bytes read again from the file. False when they cannot be read.
    uint64_t RecordOffset() const { return recordOffset_; }
    uint64_t RecordLength() const { return Offset() - recordOffset_; }
    bool RecordBytes(size_t most, std::string &out) const;
    // Whether the first line end seen was CRLF (false before any).
    bool SawCrlf() const { return sawCrlf_; }
    bool SawLineEnd() const { return sawLineEnd_; }
    // Back to the start of the file (a byte-order mark is skipped).
    bool Rewind();
    // Where the next record starts: its byte offset in the file and its line.
    uint64_t Offset() const { return fileOffset_ + pos_; }
    uint64_t NextLine() const { return line_; }
    // Goes on at offset, counting lines from line; before is the byte
    // before offset (-1 at the start of the file). The caller makes sure
    // that a record starts there.
    bool Seek(uint64_t offset, uint64_t line, int &before);

  private:
    int Peek();
    void Advance() { ++pos_; }
    bool Fill();
    void LineEnd(bool crlf);
    // Fails the record and passes over the rest of it, from inside a quoted
    // field or not.
    Result Fail(std::string what, bool inQuotes);
    void SkipRest(bool inQuotes);
    std::string ReadError() const;
    std::string Unclosed(const std::string &field, uint64_t opened) const;
    bool Append(std::string_view bytes);
    enum class QuoteEnd { Closed, Unclosed, TooLong };
    QuoteEnd ReadQuoted();
    std::string TooLong() const;
    bool ReadPlain();
    bool ReadInPlace();

    std::FILE *file_;
    Dialect dialect_;
    size_t maxRecord_;
    std::vector<char> buffer_;
    uint64_t fileOffset_ = 0; // of the buffer's first byte
    size_t pos_ = 0, end_ = 0;
    bool eof_ = false, readError_ = false;
    int readErrno_ = 0;
    int lastByte_ = -1; // of the bytes read before the buffer's
    std::string record_;
    const char *base_ = nullptr; // of the spans: the buffer, or record_
    bool stops_[256] = {};       // the delimiter, the quote and LF
    std::vector<FieldSpan> spans_;
    uint64_t line_ = 1, startLine_ = 1;
    uint64_t recordOffset_ = 0;
    bool sawCrlf_ = false, sawLineEnd_ = false;
    std::string error_;
    bool fileFault_ = false;
};

} // namespace rdcsv
