// SPDX-License-Identifier: Apache-2.0
// Properties, connect and disconnect of a JSON Lines connection, and where
// a select resumes reading.
#include "json_connection.h"

#include "connector_actions.h"
#include "connector_records.h"
#include "connector_resume.h"
#include "data_file.h"
#include "property_value.h"
#include "rdx_field.h"
#include "rdx_status.h"
#include "read_position.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace rdjson {
namespace {

bool EndsWith(const std::string &text, std::string_view end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

bool Connection::Gzip() const {
    if (settings_.compression == Compression::Auto) return EndsWith(settings_.path, ".gz");
    return settings_.compression == Compression::Gzip;
}

uint32_t Connection::SetText(uint32_t number, const std::string &text) {
    switch (number) {
    case kPath:
    case kMetadata:
        settings_.path = text;
        return RDSTATUS_OK;
    case kColumns: {
        // Parsed here too, so that a bad list is refused when the link is
        // defined rather than when it is first read.
        std::vector<Column> columns;
        std::string error;
        if (!ParseColumnList(text, columns, error)) return log_.Fail("Columns: " + error);
        settings_.columns = text;
        return RDSTATUS_OK;
    }
    case kUnknownKeys:
        if (rdxc::SameWord(text, "ignore") || text.empty()) {
            settings_.unknown = UnknownKeys::Ignore;
        } else if (rdxc::SameWord(text, "reject")) {
            settings_.unknown = UnknownKeys::Reject;
        } else if (rdxc::SameWord(text, "keep")) {
            settings_.unknown = UnknownKeys::Keep;
        } else {
            return log_.Fail("UnknownKeys must be \"ignore\", \"reject\" or \"keep\", not \"" +
                             text + "\"");
        }
        return RDSTATUS_OK;
    case kExtraField:
        if (text.empty()) return log_.Fail("ExtraField must name a field");
        settings_.extraField = text;
        return RDSTATUS_OK;
    case kCompression:
        if (rdxc::SameWord(text, "auto") || text.empty()) {
            settings_.compression = Compression::Auto;
        } else if (rdxc::SameWord(text, "gzip")) {
            settings_.compression = Compression::Gzip;
        } else if (rdxc::SameWord(text, "none")) {
            settings_.compression = Compression::None;
        } else {
            return log_.Fail("Compression must be \"auto\", \"gzip\" or \"none\", not \"" + text +
                             "\"");
        }
        return RDSTATUS_OK;
    case kInferRows: {
        if (rdxc::SameWord(text, "all")) {
            settings_.inferAll = true;
            return RDSTATUS_OK;
        }
        int32_t rows = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rows);
        if (error != std::errc() || end != text.data() + text.size() || rows < 0)
            return log_.Fail("InferRows must be a number of lines or \"all\", not \"" + text +
                             "\"");
        settings_.inferRows = rows;
        settings_.inferAll = false;
        return RDSTATUS_OK;
    }
    case rdxc::kReadPosition:
        return SetReadPosition(text);
    default:
        return RDSTATUS_BADPROPERTY;
    }
}

uint32_t Connection::SetProperty(uint32_t number, uint32_t field) {
    number = rdxc::PropertyIndex(number);
    switch (number) {
    case kCreate:
        return rdxc::GetFlag(field, settings_.create);
    case kMaxLineBytes: {
        int32_t bytes = 0;
        if (uint32_t status = rdxc::GetInt(field, bytes); status != RDSTATUS_OK) return status;
        if (bytes < 2)
            return log_.Fail("MaxLineBytes must be at least 2, not " + std::to_string(bytes));
        settings_.maxLine = bytes;
        return RDSTATUS_OK;
    }
    case kInferRows:
        if (RDFieldGetType(field) == RDTYPE_INT) {
            int32_t rows = 0;
            if (uint32_t status = rdxc::GetInt(field, rows); status != RDSTATUS_OK) return status;
            return SetText(number, rows < 0 ? "all" : std::to_string(rows));
        }
        break;
    case rdxc::kRounding:
    case rdxc::kDatetimeFormat:
        return values_.SetProperty(number, field, log_);
    case rdxc::kMarkName:
    case rdxc::kMark:
        return marks_.Mark().SetProperty(number, field, log_);
    case kLastError:
    case rdxc::kIdentity:
    case rdxc::kRejectRecord:
    case rdxc::kRejectLine:
        return RDSTATUS_BADPROPERTY; // read only
    default:
        break;
    }
    std::string text;
    if (uint32_t status = rdxc::GetText(field, text); status != RDSTATUS_OK) return status;
    return SetText(number, text);
}

uint32_t Connection::GetProperty(uint32_t number, uint32_t field) {
    switch (rdxc::PropertyIndex(number)) {
    case kPath:
    case kMetadata:
        return rdxc::PutText(field, settings_.path);
    case kColumns:
        return rdxc::PutText(field, settings_.columns);
    case kInferRows:
        if (RDFieldGetType(field) == RDTYPE_TEXT)
            return rdxc::PutText(field,
                                 settings_.inferAll ? "all" : std::to_string(settings_.inferRows));
        return rdxc::PutInt(field, settings_.inferAll ? -1 : settings_.inferRows);
    case kUnknownKeys:
        return rdxc::PutText(field, settings_.unknown == UnknownKeys::Reject ? "reject"
                                    : settings_.unknown == UnknownKeys::Keep ? "keep"
                                                                             : "ignore");
    case kExtraField:
        return rdxc::PutText(field, settings_.extraField);
    case kMaxLineBytes:
        return rdxc::PutInt(field, settings_.maxLine);
    case kCompression:
        return rdxc::PutText(field, settings_.compression == Compression::Auto   ? "auto"
                                    : settings_.compression == Compression::Gzip ? "gzip"
                                                                                 : "none");
    case kCreate:
        return rdxc::PutInt(field, settings_.create ? 1 : 0);
    case rdxc::kRounding:
    case rdxc::kDatetimeFormat:
        return values_.GetProperty(rdxc::PropertyIndex(number), field);
    case rdxc::kMarkName:
    case rdxc::kMark:
        return marks_.Mark().GetProperty(rdxc::PropertyIndex(number), field);
    case kLastError:
        return rdxc::PutText(field, log_.Last());
    case rdxc::kReadPosition:
        return rdxc::PutText(field, ReadPosition());
    case rdxc::kIdentity: {
        const std::string file = rdxc::FileIdentity(settings_.path);
        return rdxc::PutText(field, file.empty() ? file : "file:" + file);
    }
    case rdxc::kRejectRecord:
        return rdxc::PutBytes(field, rejectRecord_);
    case rdxc::kRejectLine:
        return rdxc::PutInt(field,
                            static_cast<int32_t>(std::min<uint64_t>(rejectLine_, INT32_MAX)));
    default:
        return RDSTATUS_BADPROPERTY;
    }
}

uint32_t Connection::Connect() {
    if (settings_.path.empty()) return log_.Fail("no file is named (property Path)");
    if (uint32_t status = rdxc::CheckDataFile(settings_.path, settings_.create, log_);
        status != RDSTATUS_OK)
        return status;
    if (uint32_t status = marks_.Resume(); status != RDSTATUS_OK) return status;
    connected_ = true;
    return RDSTATUS_OK;
}

void Connection::Disconnect() {
    values_.ReportRounded(log_, settings_.path);
    reader_.reset();
    selectedList_ = 0;
    fields_.clear();
    connected_ = false;
}

uint32_t Connection::Action(uint32_t action) {
    if (action == rdxc::kActionRollback) return RDSTATUS_OK; // every batch is in the file
    if (action == rdxc::kActionSaveMark) return connected_ ? marks_.Save() : RDSTATUS_NOTCONNECTED;
    return Unsupported("this action");
}

uint32_t Connection::Unsupported(const char *operation) {
    return log_.Keep(std::string("JSON Lines files do not support ") + operation,
                     RDSTATUS_BADPATTERN);
}

uint32_t Connection::SetReadPosition(const std::string &text) {
    rdxc::ReadPositionValue value;
    if (!text.empty() && !rdxc::ParseReadPosition(text, value))
        return log_.Fail("ReadPosition is \"offset=BYTES;line=LINE\", not \"" + text + "\"");
    position_.set = !text.empty();
    position_.offset = value.offset;
    position_.line = value.line;
    return RDSTATUS_OK;
}

// Where the select's next record starts; before a select, the position set.
std::string Connection::ReadPosition() const {
    if (reader_) return rdxc::ReadPositionText(reader_->Offset(), reader_->NextLine());
    return position_.set ? rdxc::ReadPositionText(position_.offset, position_.line) : std::string();
}

// Moves a reader that stands at the first line to the position set.
uint32_t Connection::PositionReader(LineReader &reader) {
    if (!position_.set) return RDSTATUS_OK;
    const std::string where =
        "ReadPosition " + rdxc::ReadPositionText(position_.offset, position_.line);
    if (!reader.Seek(position_.offset, position_.line))
        return log_.Fail(where + " is not the start of a line of " + settings_.path);
    return RDSTATUS_OK;
}

} // namespace rdjson
