// SPDX-License-Identifier: Apache-2.0
// Insert, create and drop: records appended as lines of one JSON object
// each, keys the field names. A value without a JSON form fails its record;
// the batch is then not written. A batch is written with one call (one
// gzip member in a compressed file) and taken back whole when the write
// fails, so that no record is reported written that is not in the file.
#include "json_connection.h"
#include "json_text.h"

#include "connector_actions.h"
#include "connector_log.h"
#include "data_file.h"
#include "own_file.h"
#include "property_value.h"
#include "rdx_field.h"
#include "rdx_status.h"
#include "rdx_stream.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace rdjson {
namespace {

// Appends valid JSON text on one line: its line ends can only be white space
// between tokens (a string cannot hold one raw), which a JSON Lines file
// cannot hold inside a line.
void AppendOnOneLine(std::string &out, std::string_view json) {
    const size_t from = out.size();
    out += json;
    for (size_t i = from; i < out.size(); ++i)
        if (out[i] == '\n' || out[i] == '\r') out[i] = ' ';
}

// Whether a number text is zero ("0", "-0.00", "0E+5").
bool IsZero(std::string_view text) {
    for (char c : text) {
        if (c == 'e' || c == 'E') break;
        if (c >= '1' && c <= '9') return false;
    }
    return true;
}

// bytes as one gzip member.
bool Compress(const std::string &bytes, std::string &out) {
    if (bytes.size() > UINT_MAX / 2) return false;
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(deflateBound(&z, static_cast<uLong>(bytes.size())));
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return result == Z_STREAM_END;
}

} // namespace

uint32_t Connection::FormatRecord(const std::vector<rdxc::ListField> &fields,
                                  const std::vector<Form> &forms,
                                  const std::vector<std::string> &keys, uint32_t index,
                                  std::string &out) {
    const size_t start = out.size();
    out += '{';
    size_t spread = fields.size();
    for (size_t i = 0; i < fields.size(); ++i) {
        const rdxc::ListField &field = fields[i];
        if (forms[i] == Form::Spread) {
            spread = i;
            continue;
        }
        // Made only for a failure: this runs for every value of a batch.
        auto fault = [&](const std::string &what) {
            return log_.RecordFault("record " + std::to_string(index) + ", field " +
                                    std::to_string(i + 1) + " (" + rdxc::ShownName(field.name) +
                                    "): " + what);
        };
        out += keys[i];
        if (field.type == RDTYPE_BINARY) {
            void *value = nullptr;
            uint32_t *indicator = nullptr;
            if (uint32_t status = RDFieldGetBuffer(field.field, index, &value, &indicator);
                status != RDSTATUS_OK)
                return status;
            if (*indicator != 0) {
                out += "null";
                continue;
            }
            const RDStream &bytes = *static_cast<const RDStream *>(value);
            out += '"';
            AppendBase64(
                out, std::string_view(reinterpret_cast<const char *>(bytes.data), bytes.length));
            out += '"';
            continue;
        }
        bool isNull = false;
        const uint32_t status =
            rdxc::ValueToText(field.field, field.type, index, scratch_, isNull, &values_);
        if (status == RDSTATUS_NOMEMORY) return status;
        if (status != RDSTATUS_OK) return fault("the value has no text form");
        if (isNull) {
            out += "null";
            continue;
        }
        bool integer = false;
        switch (field.type) {
        case RDTYPE_INT:
        case RDTYPE_FLOAT:
        case RDTYPE_NUMERIC:
        case RDTYPE_CURRENCY:
            // Amounts below one unit come as ".5000": JSON wants the zero.
            if (!scratch_.empty() && scratch_[0] == '.') scratch_.insert(0, 1, '0');
            if (scratch_.size() > 1 && scratch_[0] == '-' && scratch_[1] == '.')
                scratch_.insert(1, 1, '0');
            if (!IsJsonNumber(scratch_, integer))
                return fault("\"" + scratch_ + "\" has no JSON form (JSON numbers are finite)");
            if (forms[i] == Form::Bool)
                out += IsZero(scratch_) ? "false" : "true";
            else
                out += scratch_;
            break;
        case RDTYPE_TEXT:
            if (forms[i] == Form::Bool && (scratch_ == "true" || scratch_ == "false")) {
                out += scratch_;
                break;
            }
            if (forms[i] == Form::Json) {
                if (!IsJsonValue(scratch_))
                    return fault("the text is not one JSON value (the field is declared json)");
                AppendOnOneLine(out, scratch_);
                break;
            }
            if (!AppendString(out, scratch_))
                return fault("the text holds bytes that are not UTF-8");
            break;
        default: // date-times as their ISO text
            if (!AppendString(out, scratch_))
                return fault("the text holds bytes that are not UTF-8");
        }
    }
    if (spread < fields.size())
        if (uint32_t status = SpreadMembers(fields, spread, index, out.size() > start + 1, out);
            status != RDSTATUS_OK)
            return status;
    out += "}\n";
    return RDSTATUS_OK;
}

// The members of the JSON object in field i (null: none) after the others;
// a text that is no object, or a key that is also a field's or comes twice,
// fails the record.
uint32_t Connection::SpreadMembers(const std::vector<rdxc::ListField> &fields, size_t i,
                                   uint32_t index, bool after, std::string &out) {
    const rdxc::ListField &field = fields[i];
    auto fault = [&](const std::string &what) {
        return log_.RecordFault("record " + std::to_string(index) + ", field " +
                                std::to_string(i + 1) + " (" + rdxc::ShownName(field.name) +
                                "): " + what);
    };
    bool isNull = false;
    const uint32_t status =
        rdxc::ValueToText(field.field, field.type, index, scratch_, isNull, &values_);
    if (status == RDSTATUS_NOMEMORY) return status;
    if (status != RDSTATUS_OK) return fault("the value has no text form");
    if (isNull) return RDSTATUS_OK;
    std::vector<std::string> keys;
    if (!ObjectKeys(scratch_, keys))
        return fault("the text is not one JSON object (the field keeps the keys of no field)");
    if (keys.empty()) return RDSTATUS_OK;
    std::sort(keys.begin(), keys.end());
    for (size_t k = 0; k < keys.size(); ++k) {
        const bool twice = k + 1 < keys.size() && keys[k] == keys[k + 1];
        const bool isField = std::any_of(fields.begin(), fields.end(),
                                         [&](const auto &f) { return f.name == keys[k]; });
        if (twice || isField)
            return fault("the key \"" + rdxc::ShownName(keys[k]) + "\" " +
                         (twice ? "comes twice in it" : "is a field's too"));
    }
    // A valid object: its members lie between its first and last brace.
    const size_t open = scratch_.find('{'), close = scratch_.rfind('}');
    if (after) out += ',';
    AppendOnOneLine(out, std::string_view(scratch_).substr(open + 1, close - open - 1));
    return RDSTATUS_OK;
}

// Appends bytes (compressed first for a gzip file) to the file, made when
// missing, with the copy's mark when one waits to be stored; on any failure
// the file is cut back to its former size.
uint32_t Connection::AppendBatch(const std::string &bytes) {
    std::string error;
    const rdxc::FileDescriptor file =
        rdxc::OpenOwnFile(settings_.path, O_RDWR | O_APPEND | O_CREAT, error);
    if (!file) return log_.Fail(error);
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return log_.Fail("the file " + settings_.path +
                         " cannot be examined: " + std::strerror(errno));
    std::string changed;
    const std::string *data = &bytes;
    if (Gzip()) {
        if (!Compress(bytes, changed))
            return log_.Fail("the batch cannot be compressed: no record of it was written");
        data = &changed;
    } else if (info.st_size > 0) {
        // A last line without a line end gets one first.
        char last = 0;
        if (::pread(file.get(), &last, 1, info.st_size - 1) == 1 && last != '\n') {
            changed = "\n" + bytes;
            data = &changed;
        }
    }
    return marks_.Append(file.get(), *data);
}

uint32_t Connection::Insert(uint32_t list, uint32_t first, uint32_t count, uint32_t *done) {
    *done = 0;
    std::vector<rdxc::ListField> fields;
    if (uint32_t status = rdxc::ListFieldsOf(list, fields); status != RDSTATUS_OK) return status;
    if (fields.empty()) return log_.Fail("the field list has no fields to insert");
    // Declared fields say which values are written as booleans or JSON.
    std::vector<Column> declared;
    std::string error;
    if (!ParseColumnList(settings_.columns, declared, error)) return log_.Fail("Columns: " + error);
    std::vector<Form> forms(fields.size(), Form::Plain);
    for (size_t i = 0; i < fields.size(); ++i) {
        for (const Column &column : declared)
            if (column.name == fields[i].name) forms[i] = column.form;
        if (settings_.unknown == UnknownKeys::Keep && fields[i].name == settings_.extraField)
            forms[i] = Form::Spread;
    }
    // Each key as it is written, with the comma before it (the members of
    // the extra field come after the others).
    std::vector<std::string> keys(fields.size());
    for (size_t i = 0, written = 0; i < fields.size(); ++i) {
        if (forms[i] == Form::Spread) continue;
        if (written++ > 0) keys[i] = ",";
        if (!AppendString(keys[i], fields[i].name))
            return log_.Fail("the name of field " + std::to_string(i + 1) + " is not UTF-8");
        keys[i] += ':';
    }
    batch_.clear();
    for (uint32_t i = 0; i < count; ++i) {
        if (uint32_t status = FormatRecord(fields, forms, keys, first + i, batch_);
            status != RDSTATUS_OK)
            return status;
    }
    if (uint32_t status = AppendBatch(batch_); status != RDSTATUS_OK) return status;
    *done = count;
    return RDSTATUS_OK;
}

// The file made (kind 3, or when missing), written anew (replace) or
// emptied. A file has no transaction: the copy's mark is stored first with
// the length of nothing, so that a run killed before its first batch finds
// a mark that agrees with the file it left.
uint32_t Connection::Rewrite(uint32_t kind) {
    const bool fresh = kind == kKindFile;
    struct stat info {};
    if (fresh && ::lstat(settings_.path.c_str(), &info) == 0)
        return log_.Fail("the file " + settings_.path + " exists already");
    const int flags = O_WRONLY | (kind == rdxc::kEmptyTable ? 0 : O_CREAT) | (fresh ? O_EXCL : 0);
    std::string error;
    bool missing = false;
    const rdxc::FileDescriptor file = rdxc::OpenOwnFile(settings_.path, flags, error, &missing);
    if (!file && missing) return log_.Fail("the file " + settings_.path + " is not there to empty");
    if (!file) return log_.Fail(error);
    reader_.reset();
    if (kind == rdxc::kEnsureTable) return RDSTATUS_OK;
    if (marks_.Mark().Pending()) {
        const std::string change = fresh                       ? "new file"
                                   : kind == rdxc::kEmptyTable ? "emptying"
                                                               : "replacement";
        uint32_t status = marks_.Lock(file.get(), change);
        if (bool lost = false; status == RDSTATUS_OK && !marks_.Store(0, error, lost))
            status = log_.Fail(lost ? marks_.Conflict(change)
                                    : "the mark cannot be stored (" + error +
                                          "): the file was left as it was");
        if (status != RDSTATUS_OK) {
            if (fresh) ::unlink(settings_.path.c_str());
            return status;
        }
    }
    if (!fresh && ::ftruncate(file.get(), 0) != 0)
        return log_.Fail("the file " + settings_.path + " cannot be cut: " + std::strerror(errno));
    return RDSTATUS_OK;
}

uint32_t Connection::Create(uint32_t kind, uint32_t) {
    if (kind != kKindFile && kind != rdxc::kReplaceTable && kind != rdxc::kEmptyTable &&
        kind != rdxc::kEnsureTable)
        return Unsupported("this object kind");
    return Rewrite(kind);
}

uint32_t Connection::Drop(uint32_t kind) {
    if (kind != kKindFile) return Unsupported("this object kind");
    reader_.reset();
    return rdxc::RemoveDataFile(settings_.path, log_);
}

} // namespace rdjson
