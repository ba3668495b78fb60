// SPDX-License-Identifier: Apache-2.0
#include "connection.h"

#include "copy_run.h"

#include "rdxapi.h"

#include <strings.h>

namespace rdcopy {
namespace {

struct Text {
    RDStream stream;
    explicit Text(const std::string &value) {
        RDStreamClear(&stream);
        RDStreamDataSet(&stream, RDCHARSET_DEFAULT, value.data(),
                        static_cast<uint32_t>(value.size()));
    }
    Text() { RDStreamClear(&stream); }
    ~Text() { RDStreamDataFree(&stream); }
};

} // namespace

Connection::~Connection() {
    if (handle_ == 0) return;
    RDConnectDisconnect(handle_);
    RDConnectFree(handle_);
}

uint32_t Connection::Open(const std::string &link, uint32_t number, const std::string &value) {
    Text name(link);
    uint32_t status = RDConnectAlloc(&handle_, 0, &name.stream);
    if (status != 0 || number == 0 || value.empty()) return status;
    return SetText(number, value);
}

bool Connection::Declares(uint32_t number) const {
    uint32_t listed = 0;
    for (uint32_t mode = RDLIST_FIRST;
         RDConnectListProperty(handle_, mode, &listed, nullptr, nullptr, nullptr) == 0;
         mode = RDLIST_NEXT) {
        if ((listed & 0x00FFFFFFu) == number) return true;
    }
    return false;
}

uint32_t Connection::NumberOf(const std::string &name) const {
    uint32_t listed = 0;
    Text text;
    for (uint32_t mode = RDLIST_FIRST;
         RDConnectListProperty(handle_, mode, &listed, nullptr, nullptr, &text.stream) == 0;
         mode = RDLIST_NEXT) {
        if (text.stream.data != nullptr && text.stream.length == name.size() &&
            strncasecmp(reinterpret_cast<const char *>(text.stream.data), name.c_str(),
                        name.size()) == 0)
            return listed;
    }
    return 0;
}

std::string Connection::LastError() const {
    if (lastError_ == UINT32_MAX) lastError_ = NumberOf("LastError");
    std::string text;
    if (lastError_ != 0 && GetText(lastError_, text) == 0 && !text.empty()) return text;
    return LastFailure();
}

uint32_t Connection::SetText(uint32_t number, const std::string &value) const {
    Text text(value);
    return RDConnectSetPropertyStream(handle_, number, &text.stream);
}

uint32_t Connection::GetText(uint32_t number, std::string &value) const {
    Text text;
    const uint32_t status =
        RDConnectGetPropertyStream(handle_, number, RDCHARSET_DEFAULT, &text.stream);
    value.clear();
    if (status == 0 && text.stream.data != nullptr)
        value.assign(reinterpret_cast<const char *>(text.stream.data), text.stream.length);
    return status;
}

FieldList::~FieldList() {
    if (handle_ != 0) RDFieldlistFree(handle_);
}

uint32_t FieldList::Alloc(uint32_t records) {
    return RDFieldlistAlloc(&handle_, records, 0);
}

uint32_t FieldList::CopyOf(uint32_t source) {
    return RDFieldlistCopy(&handle_, source);
}

} // namespace rdcopy
