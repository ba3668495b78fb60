// SPDX-License-Identifier: Apache-2.0
// The lines of a file, plain or gzip-compressed (zlib tells them apart by
// their first bytes), read in large blocks. A line is handed out in place,
// without its LF and a CR before it, and followed in memory by at least
// kPadding readable bytes, as the JSON parser asks. Offsets count the
// file's bytes after decompression; a byte-order mark at the start is
// passed over.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rdjson {

class LineReader {
  public:
    enum class Result { Line, End, TooLong, Error };
    static constexpr size_t kPadding = 64;

    // maxLine bounds one line's bytes; longer lines are read past.
    explicit LineReader(size_t maxLine);
    ~LineReader();
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    // False with error set when the file cannot be opened.
    bool Open(const std::string &path, std::string &error);
    Result Next();
    // The current line; valid until the next call that reads.
    std::string_view Line() const { return line_; }
    // The bytes that may be read after Line() ends (its padding included).
    size_t Room() const;
    // The line number of the current line, from 1.
    uint64_t LineNumber() const { return lineNumber_; }
    // Whether the current line was the last one and had no line end.
    bool Unended() const { return unended_; }
    // Where the next line starts: its byte offset and its number.
    uint64_t Offset() const { return bufferOffset_ + pos_; }
    uint64_t NextLine() const { return nextLine_; }
    // The offset of the first line (past a byte-order mark).
    uint64_t FirstOffset() const { return firstOffset_; }
    // The current line's first bytes (at most `most`) as the file holds
    // them, its line end included; also of a line too long to be held.
    std::string Head(size_t most) const;
    // The reason of an Error result.
    const std::string &Error() const { return error_; }
    // Back to the first line.
    bool Rewind();
    // Goes on at offset, numbering lines from line; false when offset is
    // not the start of a line (or cannot be reached).
    bool Seek(uint64_t offset, uint64_t line);

  private:
    bool Fill();
    void Reset(uint64_t offset);
    Result SkipLong();

    void *file_ = nullptr; // a gzFile
    size_t maxLine_;
    std::vector<char> buffer_;
    uint64_t bufferOffset_ = 0; // of the buffer's first byte
    size_t pos_ = 0, scan_ = 0, end_ = 0;
    bool eof_ = false, unended_ = false;
    std::string_view line_;
    size_t lineEnd_ = 0;   // bytes of the line end after line_
    std::string longHead_; // of a line too long to hold
    uint64_t lineNumber_ = 0, nextLine_ = 1, firstOffset_ = 0;
    std::string error_;
};

} // namespace rdjson
