// SPDX-License-Identifier: Apache-2.0
// The bulk path taken with LoadData: the batch written as tab-separated
// lines into memory and sent with LOAD DATA LOCAL INFILE, whose file the
// client library reads from that memory (no file is made). One statement
// a batch, inside the batch's transaction; a batch the server warns about
// is rolled back and written again by the prepared statements.
#include "mysql_connection.h"
#include "mysql_dialect.h"

#include "owned_stream.h"

#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_status.h"
#include "rdx_stream.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <errmsg.h>

namespace rdmysql {
namespace {

int InfileInit(void **reader, const char *, void *batch) {
    static_cast<LoadBatchText *>(batch)->at = 0;
    *reader = batch;
    return 0;
}

int InfileRead(void *reader, char *buffer, unsigned int length) {
    LoadBatchText &batch = *static_cast<LoadBatchText *>(reader);
    const size_t count = std::min<size_t>(length, batch.bytes.size() - batch.at);
    std::memcpy(buffer, batch.bytes.data() + batch.at, count);
    batch.at += count;
    return static_cast<int>(count);
}

void InfileEnd(void *) {}

int InfileError(void *, char *message, unsigned int length) {
    std::snprintf(message, length, "the batch's lines cannot be read");
    return CR_UNKNOWN_ERROR;
}

// bytes with the escapes LOAD DATA reads: backslash, tab, line end, zero.
void AppendEscaped(std::string &out, const void *data, size_t length) {
    const char *bytes = static_cast<const char *>(data);
    for (size_t i = 0; i < length; ++i) {
        switch (bytes[i]) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\0':
            out += "\\0";
            break;
        default:
            out += bytes[i];
        }
    }
}

template <class T> void AppendNumber(std::string &out, T value) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    out.append(text, error == std::errc() ? end : text);
}

} // namespace

void Connection::InstallLoadHandler() {
    mysql_set_local_infile_handler(db_, InfileInit, InfileRead, InfileEnd, InfileError, &loadText_);
}

uint32_t Connection::LoadLines(uint32_t first, uint32_t count) {
    std::string &out = loadText_.bytes;
    out.clear();
    std::string scratch;
    for (uint32_t index = first; index < first + count; ++index) {
        for (size_t f = 0; f < writeFields_.size(); ++f) {
            if (f > 0) out += '\t';
            const rdxc::ListField &field = writeFields_[f];
            void *value = nullptr;
            uint32_t *indicator = nullptr;
            if (uint32_t status = RDFieldGetBuffer(field.field, index, &value, &indicator);
                status != RDSTATUS_OK)
                return status;
            if (*indicator != 0) {
                out += "\\N";
                continue;
            }
            switch (field.type) {
            case RDTYPE_INT:
                AppendNumber(out, *static_cast<const int32_t *>(value));
                break;
            case RDTYPE_FLOAT: // the shortest text that reads back the same
                AppendNumber(out, *static_cast<const double *>(value));
                break;
            case RDTYPE_BINARY:
            case RDTYPE_TEXT: {
                const RDStream &stream = *static_cast<const RDStream *>(value);
                if (field.type == RDTYPE_BINARY || stream.charset == RDCHARSET_INTERCHANGE ||
                    stream.data == nullptr) {
                    AppendEscaped(out, stream.data, stream.data == nullptr ? 0 : stream.length);
                    break;
                }
                if (uint32_t status = rdxc::Utf8Of(stream, scratch); status != RDSTATUS_OK)
                    return log_.RecordFault("record " + std::to_string(index) + ", field " +
                                                rdxc::ShownName(field.name) +
                                                ": the text has no UTF-8 form" + batchNote_,
                                            status);
                AppendEscaped(out, scratch.data(), scratch.size());
                break;
            }
            default:
                if (uint32_t status = NumberText(field, writeColumns_[f], index, scratch);
                    status != RDSTATUS_OK)
                    return status;
                out += scratch; // digits, signs, points, dashes, colons, blanks
            }
        }
        out += '\n';
    }
    return RDSTATUS_OK;
}

uint32_t Connection::LoadBatch(uint32_t first, uint32_t count, const std::string &rolledBack,
                               bool &again) {
    again = false;
    if (uint32_t status = LoadLines(first, count); status != RDSTATUS_OK) {
        RollBack();
        return status;
    }
    std::vector<std::string> names;
    for (const rdxc::ListField &field : writeFields_)
        names.push_back(field.name);
    // CHARACTER SET binary: the bytes go to the columns as they are (texts
    // are UTF-8 already).
    const std::string sql = "LOAD DATA LOCAL INFILE 'rdmysql-batch' INTO TABLE " +
                            kDialect.Quote(source_.table) +
                            " CHARACTER SET binary FIELDS TERMINATED BY '\\t' ESCAPED BY '\\\\' "
                            "LINES TERMINATED BY '\\n' (" +
                            rdxc::QuotedList(kDialect, names) + ")";
    const int failed = mysql_real_query(db_, sql.data(), sql.size());
    // The lines go to no other statement (the memory is kept for the next).
    loadText_.bytes.clear();
    if (failed != 0 && !RefusesRecord(mysql_errno(db_), mysql_sqlstate(db_))) {
        const uint32_t status = ServerFailure("the batch cannot be loaded" + rolledBack);
        RollBack();
        return status;
    }
    // LOCAL makes the server take errors of rows as warnings (it cannot
    // stop the client's sending): a duplicate key skipped, a value out of
    // range cut. A refusal, any warning or a row not loaded undoes the
    // batch; the statements then write it again, refusing what the load
    // let pass and naming the record.
    if (failed != 0 || mysql_affected_rows(db_) != count || mysql_warning_count(db_) > 0) {
        RollBack();
        again = true;
    }
    return RDSTATUS_OK;
}

} // namespace rdmysql
