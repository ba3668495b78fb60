// SPDX-License-Identifier: Apache-2.0
// Insert, create and drop: records appended as lines (to a file of their
// layout, csv_layout.cpp), a new file with a header, the file removed. A
// value without a text form in the file fails its record; the batch is
// then not written. A batch is written with one call and taken
// back whole when the write fails, so no record is reported written that is
// not in the file; a copy's mark set before it is stored once its bytes are
// on disk, and the batch taken back when the mark cannot be.
#include "csv_connection.h"
#include "own_file.h"

#include "connector_actions.h"
#include "connector_log.h"
#include "data_file.h"
#include "property_value.h"
#include "rdx_field.h"
#include "rdx_status.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rdcsv {
namespace {

// Values with a delimiter, quote or line end need quotes; so do values that
// start or end with a space or tab, which many readers would trim.
// Whether any of the eight bytes of word is b (exact as a whole, though
// not byte by byte).
uint64_t HasByte(uint64_t word, char b) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
    const uint64_t x = word ^ (kOnes * static_cast<unsigned char>(b));
    return (x - kOnes) & ~x & kHighs;
}

// Eight bytes at a time: most values need no quotes.
bool NeedsQuotes(std::string_view bytes, const Dialect &d) {
    if (bytes.front() == ' ' || bytes.front() == '\t' || bytes.back() == ' ' ||
        bytes.back() == '\t')
        return true;
    size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        uint64_t word = 0;
        std::memcpy(&word, bytes.data() + at, 8);
        if (HasByte(word, d.delimiter) | HasByte(word, d.quote) | HasByte(word, '\n') |
            HasByte(word, '\r'))
            return true;
    }
    for (; at < bytes.size(); ++at) {
        const char c = bytes[at];
        if (c == d.delimiter || c == d.quote || c == '\n' || c == '\r') return true;
    }
    return false;
}

// One field as the file holds it: a null value as nothing, an empty text
// as two quotes, a text with a delimiter, quote or line end in quotes with
// its quotes doubled.
void AppendField(std::string &line, std::string_view bytes, bool isNull, const Dialect &d) {
    if (isNull) return;
    if (!bytes.empty() && !NeedsQuotes(bytes, d)) {
        line.append(bytes);
        return;
    }
    line += d.quote;
    // Runs up to and with each quote, which is then doubled.
    for (size_t at = 0; at < bytes.size();) {
        const size_t quote = bytes.find(d.quote, at);
        if (quote == std::string_view::npos) {
            line.append(bytes.substr(at));
            break;
        }
        line.append(bytes.substr(at, quote + 1 - at));
        line += d.quote;
        at = quote + 1;
    }
    line += d.quote;
}

// Size and last byte (-1 for none) of the open file.
off_t FileEnd(int fd, int &lastByte) {
    lastByte = -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0) return -1;
    unsigned char byte = 0;
    if (info.st_size > 0 && ::pread(fd, &byte, 1, info.st_size - 1) == 1) lastByte = byte;
    return info.st_size;
}

// Whether the file's first line ends in CRLF (false when it has no line end
// within its first megabyte).
bool FirstLineEndIsCrlf(int fd) {
    char chunk[4096];
    char previous = 0;
    for (off_t at = 0; at < (off_t{1} << 20);) {
        const ssize_t n = ::pread(fd, chunk, sizeof chunk, at);
        if (n <= 0) return false;
        for (ssize_t i = 0; i < n; ++i) {
            if (chunk[i] == '\n') return previous == '\r';
            previous = chunk[i];
        }
        at += n;
    }
    return false;
}

} // namespace

const char *Connection::LineEndFor(int fd) {
    if (rdxc::SameWord(settings_.lineEnd, "LF")) return "\n";
    if (rdxc::SameWord(settings_.lineEnd, "CRLF")) return "\r\n";
    if (fd >= 0) return FirstLineEndIsCrlf(fd) ? "\r\n" : "\n";
    return "\r\n";
}

uint32_t Connection::HeaderLine(const std::vector<rdxc::ListField> &fields, std::string &out,
                                const char *lineEnd) {
    std::string bytes;
    for (size_t i = 0; i < fields.size(); ++i) {
        bool representable = true;
        if (uint32_t status = charset_.FromUtf8(fields[i].name, bytes, representable);
            status != RDSTATUS_OK)
            return status;
        if (!representable)
            return log_.Fail("the name of field " + std::to_string(i + 1) +
                             " cannot be written in character set " +
                             std::to_string(settings_.charset));
        if (i > 0) out += settings_.dialect.delimiter;
        AppendField(out, bytes, false, settings_.dialect);
    }
    out += lineEnd;
    return RDSTATUS_OK;
}

uint32_t Connection::FormatRecord(const std::vector<rdxc::ListField> &fields, uint32_t index,
                                  std::string &out, const char *lineEnd) {
    for (size_t i = 0; i < fields.size(); ++i) {
        const rdxc::ListField &field = fields[i];
        // Made only for a failure: this runs for every value of a batch.
        auto where = [&] {
            return "record " + std::to_string(index) + ", field " + std::to_string(i + 1) + " (" +
                   field.name + ")";
        };
        bool isNull = false, representable = true;
        uint32_t status =
            rdxc::ValueToText(field.field, field.type, index, scratch_, isNull, &values_);
        if (status == RDSTATUS_NOMEMORY) return status;
        if (status != RDSTATUS_OK)
            return log_.RecordFault(where() + ": the value has no text form", status);
        // A UTF-8 file takes the text as it is; another character set gets
        // its bytes.
        const std::string *bytes = &scratch_;
        if (!isNull && !charset_.IsUtf8()) {
            status = charset_.FromUtf8(scratch_, encoded_, representable);
            bytes = &encoded_;
        }
        if (status != RDSTATUS_OK) return status;
        if (!representable)
            return log_.RecordFault(where() + ": \"" + scratch_ +
                                    "\" holds characters that character set " +
                                    std::to_string(settings_.charset) + " cannot hold");
        if (i > 0) out += settings_.dialect.delimiter;
        AppendField(out, isNull ? std::string_view() : std::string_view(*bytes), isNull,
                    settings_.dialect);
    }
    out += lineEnd;
    return RDSTATUS_OK;
}

// The target opened for appending; a missing one is made only when the
// batch is ready, so that a batch that fails to format leaves no file.
uint32_t Connection::OpenTarget(bool create, rdxc::FileDescriptor &file) {
    std::string error;
    bool missing = false;
    const int flags = O_RDWR | O_APPEND | (create ? O_CREAT | O_EXCL : 0);
    file = rdxc::OpenOwnFile(settings_.path, flags, error, &missing);
    if (!file && !(missing && !create)) return log_.Fail(error);
    return RDSTATUS_OK;
}

uint32_t Connection::Insert(uint32_t list, uint32_t first, uint32_t count, uint32_t *done) {
    *done = 0;
    std::vector<rdxc::ListField> fields;
    if (uint32_t status = rdxc::ListFieldsOf(list, fields); status != RDSTATUS_OK) return status;
    if (fields.empty()) return log_.Fail("the field list has no fields to insert");
    rdxc::FileDescriptor file;
    if (uint32_t status = OpenTarget(false, file); status != RDSTATUS_OK) return status;
    int lastByte = -1;
    const off_t size = file ? FileEnd(file.get(), lastByte) : -1;
    if (size > 0)
        if (uint32_t status = CheckLayout(file.get(), fields); status != RDSTATUS_OK) return status;
    const char *lineEnd = LineEndFor(size > 0 ? file.get() : -1);
    std::string &batch = batch_; // keeps its room from batch to batch
    batch.clear();
    if (size <= 0 && settings_.header) {
        if (uint32_t status = HeaderLine(fields, batch, lineEnd); status != RDSTATUS_OK)
            return status;
    }
    if (size > 0 && lastByte != '\n') batch += lineEnd; // the last line had no line end
    for (uint32_t i = 0; i < count; ++i) {
        if (uint32_t status = FormatRecord(fields, first + i, batch, lineEnd);
            status != RDSTATUS_OK)
            return status;
    }
    if (!file)
        if (uint32_t status = OpenTarget(true, file); status != RDSTATUS_OK) return status;
    if (uint32_t status = marks_.Append(file.get(), batch); status != RDSTATUS_OK) return status;
    if (size <= 0) checkedLayout_ = LayoutKey(file.get(), fields); // the layout it was given
    *done = count;
    return RDSTATUS_OK;
}

uint32_t Connection::Create(uint32_t kind, uint32_t list) {
    if (kind == rdxc::kReplaceTable || kind == rdxc::kEmptyTable) return Rewrite(kind, list);
    if (kind != kKindFile) return Unsupported("this object kind");
    std::vector<rdxc::ListField> fields;
    if (uint32_t status = rdxc::ListFieldsOf(list, fields); status != RDSTATUS_OK) return status;
    if (fields.empty()) return log_.Fail("a new file needs a field list with fields");
    struct stat info {};
    if (::lstat(settings_.path.c_str(), &info) == 0)
        return log_.Fail("the file " + settings_.path + " exists already");
    std::string header;
    if (settings_.header) {
        if (uint32_t status = HeaderLine(fields, header, LineEndFor(-1)); status != RDSTATUS_OK)
            return status;
    }
    rdxc::FileDescriptor file;
    if (uint32_t status = OpenTarget(true, file); status != RDSTATUS_OK) return status;
    // A new file carries the copy's mark from the start.
    const bool marking = marks_.Mark().Pending();
    if (uint32_t status = marking ? marks_.Lock(file.get(), "new file") : RDSTATUS_OK;
        status != RDSTATUS_OK) {
        ::unlink(settings_.path.c_str());
        return status;
    }
    uint64_t end = 0;
    if (uint32_t status = marks_.AppendBytes(file.get(), header, marking ? &end : nullptr);
        status != RDSTATUS_OK)
        return status;
    std::string error;
    if (bool lost = false; marking && !marks_.Store(end, error, lost)) {
        ::unlink(settings_.path.c_str());
        return log_.Fail(lost ? marks_.Conflict("new file")
                              : "the mark cannot be stored (" + error + "): the file was not made");
    }
    const size_t slash = settings_.path.rfind('/');
    rdxc::LogInformation("Created file " + settings_.path.substr(slash + 1) + " (" +
                         std::to_string(fields.size()) +
                         (fields.size() == 1 ? " column)." : " columns)."));
    return RDSTATUS_OK;
}

uint32_t Connection::Drop(uint32_t kind) {
    if (kind != kKindFile) return Unsupported("this object kind");
    reader_.reset();
    return rdxc::RemoveDataFile(settings_.path, log_);
}

} // namespace rdcsv
