#include "connection.h"

#include "rdxapi.h"

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

} // namespace rdcopy
