// SPDX-License-Identifier: Apache-2.0
// Properties, connect and disconnect of a delimited-text connection.
#include "csv_connection.h"

#include "connector_records.h"
#include "connector_resume.h"
#include "data_file.h"
#include "owned_stream.h"
#include "property_value.h"
#include "rdx_field.h"
#include "rdx_status.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace rdcsv {
namespace {

// One byte given as itself, or tab as "\t" or "tab".
bool OneByte(const std::string &text, char &out) {
    if (text == "\\t" || rdxc::SameWord(text, "tab")) return out = '\t', true;
    if (text.size() != 1) return false;
    out = text[0];
    return true;
}

} // namespace

uint32_t Connection::SetText(uint32_t number, const std::string &text) {
    switch (number) {
    case kPath:
    case kMetadata:
        settings_.path = text;
        return RDSTATUS_OK;
    case kDelimiter:
        if (!OneByte(text, settings_.dialect.delimiter))
            return log_.Fail("the delimiter must be one character, not \"" + text + "\"");
        return RDSTATUS_OK;
    case kQuote:
        if (!OneByte(text, settings_.dialect.quote))
            return log_.Fail("the quote must be one character, not \"" + text + "\"");
        return RDSTATUS_OK;
    case kCharset:
        if (!ParseCharset(text, settings_.charset))
            return log_.Fail("\"" + text + "\" names no character set");
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
    case kLineEnd:
        if (!text.empty() && !rdxc::SameWord(text, "CRLF") && !rdxc::SameWord(text, "LF"))
            return log_.Fail("the line end must be CRLF or LF, not \"" + text + "\"");
        settings_.lineEnd = text;
        return RDSTATUS_OK;
    default:
        return RDSTATUS_BADPROPERTY;
    }
}

// A number of records, or "all": the whole file is read to infer the
// types before the first record is handed out.
uint32_t Connection::SetInferRows(uint32_t field) {
    std::string text;
    if (uint32_t status = rdxc::GetText(field, text); status != RDSTATUS_OK) return status;
    if (rdxc::SameWord(text, "all")) {
        settings_.inferAll = true;
        return RDSTATUS_OK;
    }
    int32_t rows = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rows);
    if (error != std::errc() || end != text.data() + text.size() || rows < 0)
        return log_.Fail("InferRows must be a number of records or \"all\", not \"" + text + "\"");
    settings_.inferRows = rows;
    settings_.inferAll = false;
    return RDSTATUS_OK;
}

uint32_t Connection::SetProperty(uint32_t number, uint32_t field) {
    number = rdxc::PropertyIndex(number);
    if (rdxc::IncrementalRead::Handles(number))
        return incremental_.SetProperty(number, field, log_);
    switch (number) {
    case kHeader:
        return rdxc::GetFlag(field, settings_.header);
    case kCreate:
        return rdxc::GetFlag(field, settings_.create);
    case kInferRows:
        return SetInferRows(field);
    case rdxc::kRounding:
    case rdxc::kDatetimeFormat:
        return values_.SetProperty(number, field, log_);
    case kLastError:
    case rdxc::kIdentity:
    case rdxc::kRejectRecord:
    case rdxc::kRejectLine:
        return RDSTATUS_BADPROPERTY; // read only
    case rdxc::kMarkName:
    case rdxc::kMark:
        return marks_.Mark().SetProperty(number, field, log_);
    case rdxc::kReadPosition: {
        std::string text;
        if (uint32_t status = rdxc::GetText(field, text); status != RDSTATUS_OK) return status;
        return SetReadPosition(text);
    }
    default: {
        std::string text;
        if (uint32_t status = rdxc::GetText(field, text); status != RDSTATUS_OK) return status;
        return SetText(number, text);
    }
    }
}

uint32_t Connection::GetProperty(uint32_t number, uint32_t field) {
    if (rdxc::IncrementalRead::Handles(rdxc::PropertyIndex(number)))
        return incremental_.GetProperty(rdxc::PropertyIndex(number), field);
    switch (rdxc::PropertyIndex(number)) {
    case kPath:
    case kMetadata:
        return rdxc::PutText(field, settings_.path);
    case kDelimiter:
        return rdxc::PutText(field, std::string(1, settings_.dialect.delimiter));
    case kQuote:
        return rdxc::PutText(field, std::string(1, settings_.dialect.quote));
    case kHeader:
        return rdxc::PutInt(field, settings_.header ? 1 : 0);
    case kCharset:
        return rdxc::PutInt(field, static_cast<int32_t>(settings_.charset));
    case kColumns:
        return rdxc::PutText(field, settings_.columns);
    case kInferRows:
        if (RDFieldGetType(field) == RDTYPE_TEXT)
            return rdxc::PutText(field,
                                 settings_.inferAll ? "all" : std::to_string(settings_.inferRows));
        return rdxc::PutInt(field, settings_.inferAll ? -1 : settings_.inferRows);
    case rdxc::kRounding:
    case rdxc::kDatetimeFormat:
        return values_.GetProperty(rdxc::PropertyIndex(number), field);
    case kLineEnd:
        return rdxc::PutText(field, settings_.lineEnd);
    case kCreate:
        return rdxc::PutInt(field, settings_.create ? 1 : 0);
    case kLastError:
        return rdxc::PutText(field, log_.Last());
    case rdxc::kMarkName:
    case rdxc::kMark:
        return marks_.Mark().GetProperty(rdxc::PropertyIndex(number), field);
    case rdxc::kReadPosition:
        return rdxc::PutText(field, ReadPosition());
    case rdxc::kIdentity: {
        const std::string file = rdxc::FileIdentity(settings_.path);
        return rdxc::PutText(field, file.empty() ? file : "file:" + file);
    }
    case rdxc::kRejectRecord:
    case rdxc::kRejectLine:
        return GetReject(rdxc::PropertyIndex(number), field);
    default:
        return RDSTATUS_BADPROPERTY;
    }
}

uint32_t Connection::Connect() {
    const Dialect &d = settings_.dialect;
    if (settings_.path.empty()) return log_.Fail("no file is named (property Path)");
    if (d.delimiter == d.quote || d.delimiter == '\n' || d.delimiter == '\r' || d.quote == '\n' ||
        d.quote == '\r')
        return log_.Fail("the delimiter and the quote must differ and be no line end");
    if (!CharsetKeepsAscii(settings_.charset))
        return log_.Fail("character set " + std::to_string(settings_.charset) +
                         " is not supported: delimited files must keep ASCII bytes as they are");
    {
        rdxc::OwnedStream probe, converted;
        uint8_t *data = nullptr;
        uint32_t length = 0;
        uint32_t status = probe.Set(settings_.charset, "A");
        if (status == RDSTATUS_OK)
            status = RDStreamDataConvert(converted.get(), probe.get(), 0, RDCHARSET_INTERCHANGE,
                                         &data, &length);
        if (status != RDSTATUS_OK)
            return log_.Fail("character set " + std::to_string(settings_.charset) +
                                 " cannot be converted",
                             status);
    }
    if (uint32_t status = rdxc::CheckDataFile(settings_.path, settings_.create, log_);
        status != RDSTATUS_OK)
        return status;
    if (uint32_t status = marks_.Resume(); status != RDSTATUS_OK) return status;
    charset_ = Charset(settings_.charset);
    connected_ = true;
    return RDSTATUS_OK;
}

void Connection::Disconnect() {
    values_.ReportRounded(log_, settings_.path);
    reader_.reset();
    selectedList_ = 0;
    selectedFields_.clear();
    connected_ = false;
}

uint32_t Connection::Unsupported(const char *operation) {
    return log_.Keep(std::string("delimited files do not support ") + operation,
                     RDSTATUS_BADPATTERN);
}

} // namespace rdcsv
