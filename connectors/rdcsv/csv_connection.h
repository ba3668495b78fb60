// SPDX-License-Identifier: Apache-2.0
// One connection of the delimited-text connector: its properties, the
// reader of a select and the file that inserts append to.
#pragma once

#include "connector_log.h"
#include "connector_values.h"
#include "csv_charset.h"
#include "csv_columns.h"
#include "csv_reader.h"
#include "declarations.h"
#include "file_marks.h"
#include "incremental_read.h"
#include "key_compare.h"
#include "list_fields.h"
#include "own_file.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rdcsv {

// The file and the form of its lines; its columns and the lines written.
// LastError has the kit's number (declarations.h).
enum PropertyNumber : uint32_t { kPath = 1, kDelimiter = 2, kQuote = 3, kHeader = 4, kCharset = 5 };
enum ColumnsNumber : uint32_t { kColumns = 6, kInferRows = 7, kLineEnd = 8, kCreate = 9 };
constexpr uint32_t kMetadata = 0x10005; // the built-in "Metadata": the same path
using rdxc::kLastError;

inline constexpr PropertyDeclaration kOwnDeclarations[] = {
    rdxc::Declare(kPath, RDTYPE_TEXT, "Path"),
    rdxc::Declare(kDelimiter, RDTYPE_TEXT, "Delimiter"),
    rdxc::Declare(kQuote, RDTYPE_TEXT, "Quote"),
    rdxc::Declare(kHeader, RDTYPE_INT, "Header"),
    rdxc::Declare(kCharset, RDTYPE_TEXT, "Charset"),
    rdxc::Declare(kColumns, RDTYPE_TEXT, "Columns"),
    rdxc::Declare(kInferRows, RDTYPE_INT, "InferRows"),
    rdxc::Declare(kLineEnd, RDTYPE_TEXT, "LineEnd"),
    rdxc::Declare(kCreate, RDTYPE_INT, "Create"),
};
// Where a read resumes, the file's identity and the last bad record.
inline constexpr PropertyDeclaration kReadDeclarations[] = {
    rdxc::Declare(rdxc::kReadPosition, RDTYPE_TEXT, "ReadPosition"),
    rdxc::Declare(rdxc::kIdentity, RDTYPE_TEXT, "Identity"),
    rdxc::Declare(rdxc::kRejectRecord, RDTYPE_TEXT, "RejectRecord"),
    rdxc::Declare(rdxc::kRejectLine, RDTYPE_INT, "RejectLine"),
};
// The built-in Metadata, answered without a name of its own.
inline constexpr PropertyDeclaration kBuiltInDeclarations[] = {
    PropertyDeclaration{kMetadata, RDTYPE_TEXT, 0, nullptr, 0},
};

// The object kind of create, drop and catalog: the file (kind 3, Metadata).
constexpr uint32_t kKindFile = 3;
// One record of a file may hold at most this many bytes.
constexpr size_t kMaxRecordBytes = 16u << 20;
// A bad record longer than that in the file is kept (RejectRecord) only up
// to this many bytes.
constexpr size_t kRejectCutBytes = 64u << 10;

struct Settings {
    std::string path;
    Dialect dialect;
    bool header = true;
    uint32_t charset = 65001;
    std::string columns;
    int32_t inferRows = 10000;
    bool inferAll = false; // InferRows "all": the whole file is read first
    std::string lineEnd;   // "CRLF", "LF", or empty: as the file has it
    bool create = false;
};

// Where a select starts reading records (ReadPosition), when set.
struct Position {
    bool set = false;
    uint64_t offset = 0, line = 1;
};

class Connection {
  public:
    static constexpr auto kDeclarations = rdxc::JoinDeclarations(
        kOwnDeclarations, rdxc::kLastErrorDeclarations, rdxc::kMarkDeclarations, kReadDeclarations,
        rdxc::kValueDeclarations, rdxc::kIncrementalDeclarations, kBuiltInDeclarations);
    uint32_t SetProperty(uint32_t number, uint32_t field);
    uint32_t GetProperty(uint32_t number, uint32_t field);
    uint32_t Connect();
    void Disconnect();
    uint32_t Select(uint32_t list, uint32_t *count);
    uint32_t Fetch(uint32_t list, uint32_t first, uint32_t count, uint32_t *fetched);
    uint32_t Insert(uint32_t list, uint32_t first, uint32_t count, uint32_t *done);
    uint32_t Create(uint32_t kind, uint32_t list);
    uint32_t Drop(uint32_t kind);
    uint32_t Catalog(uint32_t kind, uint32_t list, uint32_t *count);
    // kActionSaveMark stores the mark with the file's present length;
    // kActionRollback has nothing to discard.
    uint32_t Action(uint32_t action);
    uint32_t Unsupported(const char *operation);

  private:
    uint32_t SetText(uint32_t number, const std::string &text);
    // csv_resume.cpp: the read position of a select.
    uint32_t SetReadPosition(const std::string &text);
    std::string ReadPosition() const;
    uint32_t PositionReader(Reader &reader);
    uint32_t OpenReader(std::unique_ptr<Reader> &reader);
    uint32_t ReadColumns(Reader &reader, std::vector<Column> &columns);
    uint32_t LayOut(uint32_t list, const std::vector<Column> &columns);
    // csv_incremental.cpp: the key column and bookmark of an incremental
    // select, found at select (list laid out, when given); whether record
    // index of the fields (filled) passes it.
    uint32_t PrepareFilter(uint32_t list, const std::vector<Column> &columns);
    uint32_t KeyPasses(const std::vector<rdxc::ListField> &fields, uint32_t index, bool &passes);
    uint32_t FillRecord(const std::vector<rdxc::ListField> &fields, uint32_t index);
    // The record's failure for field i's bytes that the file's set does not decode.
    uint32_t CharsetFailure(size_t i, const rdxc::ListField &field);
    // Why value i of the record does not go into its field (text in UTF-8,
    // status of the conversion), with a hint when its type was inferred.
    std::string ValueFailure(size_t i, const rdxc::ListField &field, std::string_view text,
                             uint32_t status) const;
    uint32_t SetInferRows(uint32_t field);
    // A fault of the file (what it holds before its records, or its
    // reading) and a fault of the record the reader stands after, whose
    // bytes are kept for RejectRecord.
    uint32_t LineFailure(uint64_t line, const std::string &what, uint32_t detail);
    uint32_t RecordFailure(const std::string &what, uint32_t detail = 0);
    uint32_t GetReject(uint32_t number, uint32_t field);
    // csv_layout.cpp: appended records must have the fields of the file's
    // header (without one, as many as its first record); fd is the open
    // file, holding data.
    uint32_t CheckLayout(int fd, const std::vector<rdxc::ListField> &fields);
    std::string LayoutKey(int fd, const std::vector<rdxc::ListField> &fields) const;
    uint32_t FormatRecord(const std::vector<rdxc::ListField> &fields, uint32_t index,
                          std::string &out, const char *lineEnd);
    // The file opened for appending (own_file.h), made with create; without
    // create a missing file leaves file empty.
    uint32_t OpenTarget(bool create, rdxc::FileDescriptor &file);
    // csv_replace.cpp: the file written anew (kReplaceTable) or cut back
    // to its header line (kEmptyTable), the copy's mark stored first.
    uint32_t Rewrite(uint32_t kind, uint32_t list);
    uint32_t HeaderLength(int fd, uint64_t &length);
    uint32_t HeaderLine(const std::vector<rdxc::ListField> &fields, std::string &out,
                        const char *lineEnd);
    // The line end of new lines; fd: the open file when it holds data.
    const char *LineEndFor(int fd);

    Settings settings_;
    rdxc::FailureLog log_;
    rdxc::ValueRules values_;
    // The copy's resume mark, kept beside the file.
    rdxc::FileMarks marks_{settings_.path, log_};
    rdxc::IncrementalRead incremental_;
    // The select's filter: records whose key does not pass are read past.
    struct KeyFilter {
        bool active = false;
        size_t column = 0;
        uint32_t type = 0;
        rdxc::KeyValue from, value; // value and text: reused for each record
        std::string text;
    } filter_;
    Position position_;
    Charset charset_;
    bool connected_ = false;
    std::unique_ptr<Reader> reader_;
    uint32_t selectedList_ = 0;
    std::vector<rdxc::ListField> selectedFields_;
    // Of the select's columns: whose types were inferred, and from how
    // many records (0: declared).
    std::vector<bool> inferred_;
    uint64_t inferredFrom_ = 0;
    std::string scratch_;
    std::string encoded_; // a value in the file's character set
    std::string batch_;   // the lines of an insert
    // The bad record of the last fetch and the line it began on (0: none).
    std::string rejectRecord_;
    uint64_t rejectLine_ = 0;
    // The file and fields whose layout was last found to agree.
    std::string checkedLayout_;
};

} // namespace rdcsv
