// SPDX-License-Identifier: Apache-2.0
// One connection of the JSON Lines connector: its properties, the reader of
// a select and the file that inserts append to.
#pragma once

#include "connector_log.h"
#include "connector_values.h"
#include "declarations.h"
#include "file_marks.h"
#include "json_columns.h"
#include "json_lines.h"
#include "list_fields.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace rdjson {

enum PropertyNumber : uint32_t {
    kPath = 1,
    kColumns = 2,
    kInferRows = 3,
    kUnknownKeys = 4,
    kMaxLineBytes = 5,
    kCompression = 6,
    kCreate = 7,
    kExtraField = 8,
};
constexpr uint32_t kMetadata = 0x10005; // the built-in "Metadata": the same path
using rdxc::kLastError;

inline constexpr PropertyDeclaration kOwnDeclarations[] = {
    rdxc::Declare(kPath, RDTYPE_TEXT, "Path"),
    rdxc::Declare(kColumns, RDTYPE_TEXT, "Columns"),
    rdxc::Declare(kInferRows, RDTYPE_INT, "InferRows"),
    rdxc::Declare(kUnknownKeys, RDTYPE_TEXT, "UnknownKeys"),
    rdxc::Declare(kMaxLineBytes, RDTYPE_INT, "MaxLineBytes"),
    rdxc::Declare(kCompression, RDTYPE_TEXT, "Compression"),
    rdxc::Declare(kCreate, RDTYPE_INT, "Create"),
    rdxc::Declare(kExtraField, RDTYPE_TEXT, "ExtraField"),
};
// Where a read resumes, the file's identity and the last bad record.
inline constexpr PropertyDeclaration kReadDeclarations[] = {
    rdxc::Declare(rdxc::kReadPosition, RDTYPE_TEXT, "ReadPosition"),
    rdxc::Declare(rdxc::kIdentity, RDTYPE_TEXT, "Identity"),
    rdxc::Declare(rdxc::kRejectRecord, RDTYPE_TEXT, "RejectRecord"),
    rdxc::Declare(rdxc::kRejectLine, RDTYPE_INT, "RejectLine"),
};
inline constexpr PropertyDeclaration kBuiltInDeclarations[] = {
    PropertyDeclaration{kMetadata, RDTYPE_TEXT, 0, nullptr, 0},
};

// The object kind of create, drop and catalog: the file (kind 3, Metadata).
constexpr uint32_t kKindFile = 3;
// A bad record is kept (RejectRecord) only up to this many bytes.
constexpr size_t kRejectCutBytes = 64u << 10;

enum class Compression { Auto, Gzip, None };
// Keys of no field: passed over, a bad record, or kept as one JSON object
// in the extra field.
enum class UnknownKeys { Ignore, Reject, Keep };

struct Settings {
    std::string path;
    std::string columns;
    int32_t inferRows = 1000;
    bool inferAll = false;
    UnknownKeys unknown = UnknownKeys::Ignore;
    std::string extraField = "_extra";
    int32_t maxLine = 16 << 20;
    Compression compression = Compression::Auto;
    bool create = false;
};

struct Position {
    bool set = false;
    uint64_t offset = 0, line = 1;
};

class Connection {
  public:
    static constexpr auto kDeclarations = rdxc::JoinDeclarations(
        kOwnDeclarations, rdxc::kLastErrorDeclarations, rdxc::kMarkDeclarations, kReadDeclarations,
        rdxc::kValueDeclarations, kBuiltInDeclarations);
    Connection();
    ~Connection();
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
    struct Parser; // the JSON parser (json_select.cpp)

    uint32_t SetText(uint32_t number, const std::string &text);
    uint32_t SetReadPosition(const std::string &text);
    std::string ReadPosition() const;
    bool Gzip() const;

    // json_select.cpp
    uint32_t OpenReader(std::unique_ptr<LineReader> &reader);
    uint32_t ReadColumns(LineReader &reader, std::vector<Column> &columns);
    uint32_t PositionReader(LineReader &reader);
    uint32_t LayOut(uint32_t list, const std::vector<Column> &columns);
    // The current line into value index of the fields.
    uint32_t FillRecord(uint32_t index);
    // The select's columns: those of the file, and with UnknownKeys keep
    // the extra field last.
    uint32_t AddExtraColumn(std::vector<Column> &columns);
    std::string ValueFailure(size_t column, std::string_view text, uint32_t status) const;
    uint32_t RecordFailure(const std::string &what);
    uint32_t LineFailure(uint64_t line, const std::string &what);

    // json_write.cpp
    // One line of record index; keys: each field's key text, the comma
    // before it included.
    uint32_t FormatRecord(const std::vector<rdxc::ListField> &fields,
                          const std::vector<Form> &forms, const std::vector<std::string> &keys,
                          uint32_t index, std::string &out);
    // The members of the extra field (field i) into the line: after, when
    // other members come before them.
    uint32_t SpreadMembers(const std::vector<rdxc::ListField> &fields, size_t i, uint32_t index,
                           bool after, std::string &out);
    uint32_t AppendBatch(const std::string &bytes);
    // The file made, emptied or made anew; a pending mark is stored first
    // with the length of nothing.
    uint32_t Rewrite(uint32_t kind);

    Settings settings_;
    rdxc::FailureLog log_;
    rdxc::ValueRules values_;
    // The copy's resume mark, kept beside the file.
    rdxc::FileMarks marks_{settings_.path, log_};
    Position position_;
    bool connected_ = false;
    std::unique_ptr<Parser> parser_;
    std::unique_ptr<LineReader> reader_;
    uint32_t selectedList_ = 0;
    std::vector<rdxc::ListField> fields_;
    std::vector<Column> columns_;
    std::unordered_map<std::string_view, size_t> keys_; // names of columns_
    // With UnknownKeys keep: the column of the kept keys (npos: none), the
    // object they make on the current line, and its keys.
    size_t extraColumn_ = std::string::npos;
    std::string extra_;
    std::unordered_set<std::string_view> extraKeys_;
    // The record each column last got a value in: a key seen twice, and
    // the columns whose key is missing (null).
    std::vector<uint64_t> filled_;
    uint64_t record_ = 0;
    std::vector<bool> inferred_;
    uint64_t inferredFrom_ = 0;
    std::string scratch_;
    std::string batch_;
    std::string rejectRecord_;
    uint64_t rejectLine_ = 0;
};

} // namespace rdjson
