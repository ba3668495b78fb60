// SPDX-License-Identifier: Apache-2.0
// The log entry as sentences for the server manager's log: what happened in
// words, the status number left to the log's own column.
#include "activity/log_format.h"

#include "activity/log_format_texts.h"
#include "activity/log_hooks.h"
#include "rdx_connector.h"
#include "rdx_status.h"

#include <string>

namespace rdx {

namespace {

// What a connection was doing during each entry point, in words.
std::string_view Doing(uint32_t entry) {
    switch (entry) {
    case RDXENTRY_GETPROPERTY:
        return "reading a property";
    case RDXENTRY_SETPROPERTY:
        return "setting a property";
    case RDXENTRY_CONNECT:
        return "connecting";
    case RDXENTRY_DISCONNECT:
        return "disconnecting";
    case RDXENTRY_EXECUTE:
        return "executing";
    case RDXENTRY_SELECT:
        return "selecting";
    case RDXENTRY_FETCH:
        return "fetching records";
    case RDXENTRY_INSERT:
        return "inserting records";
    case RDXENTRY_UPDATE:
        return "updating records";
    case RDXENTRY_REMOVE:
        return "removing records";
    case RDXENTRY_ACTION:
        return "running an action";
    case RDXENTRY_CATALOG:
        return "reading a catalog";
    case RDXENTRY_CREATE:
        return "creating";
    case RDXENTRY_DROP:
        return "dropping";
    default:
        return "";
    }
}

bool EndsSentence(std::string_view text) {
    return !text.empty() && (text.back() == '.' || text.back() == '!' || text.back() == '?');
}

// Blanks and separators left at the end of a text.
void TrimEnd(TextBuffer &text) {
    while (text.Size() > 0 && (text.View().back() == ' ' || text.View().back() == ';'))
        text.Cut(text.Size() - 1);
}

// text with its sentence's final stop taken off, so that more can follow.
void OpenSentence(TextBuffer &text) {
    TrimEnd(text);
    if (text.Size() > 0 && text.View().back() == '.') text.Cut(text.Size() - 1);
}

void CloseSentence(TextBuffer &text) {
    TrimEnd(text);
    if (text.Size() > 0 && !EndsSentence(text.View())) text.Append(".");
}

// " (connection NAME, fetching records)" of an error during an operation.
void AppendWhere(const LogRecord &record, TextBuffer &text) {
    const StreamText name(record.connection != nullptr && g_logHooks.connectionName != nullptr
                              ? g_logHooks.connectionName(record.connection)
                              : nullptr);
    const std::string_view doing = Doing(record.entry);
    if (name.View().empty() && doing.empty()) return;
    OpenSentence(text);
    text.Append(" (");
    if (!name.View().empty()) {
        text.Append("connection ");
        text.Append(name.View());
        if (!doing.empty()) text.Append(", ");
    }
    text.Append(doing);
    text.Append(")");
}

} // namespace

uint32_t LogColumnNumber(const LogRecord &record) {
    const bool freeText =
        record.message == kFreeTextMessage || record.message == RDMESSAGE_INFOTEXT;
    return freeText && record.number != 0 ? record.number : record.message;
}

uint32_t FormatLogSentence(const LogRecord &record, RDStream *out) {
    RDStream words{};
    uint32_t status = FormatLogRecord(record, false, &words);
    if (status != RDSTATUS_OK) return status;
    const StreamText plain(&words);
    TextBuffer text;
    text.Append(plain.View());
    RDStreamDataFree(&words);
    const bool freeText =
        record.message == kFreeTextMessage || record.message == RDMESSAGE_INFOTEXT;
    const StreamText extra(freeText ? nullptr : record.text);
    if (!extra.View().empty()) {
        CloseSentence(text);
        text.Append(" ");
        text.Append(extra.View());
        // A catalogue message's number goes with its free text.
        if (record.number != 0) {
            char number[12];
            OpenSentence(text);
            text.Append(" (");
            text.Append({number, WriteNumber(record.number, number)});
            text.Append(")");
        }
    }
    if (!IsInformational(record.message)) AppendWhere(record, text);
    CloseSentence(text);
    if (text.Failed()) return RDSTATUS_NOMEMORY;
    return RDStreamDataSet(out, RDCHARSET_INTERCHANGE, text.View().data(),
                           static_cast<uint32_t>(text.Size()));
}

} // namespace rdx
