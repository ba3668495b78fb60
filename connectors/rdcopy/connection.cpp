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
    Text text(value);
    return RDConnectSetPropertyStream(handle_, number, &text.stream);
}

FieldList::~FieldList() {
    if (handle_ != 0) RDFieldlistFree(handle_);
}

uint32_t FieldList::Alloc(uint32_t records) {
    return RDFieldlistAlloc(&handle_, records, 0);
}

} // namespace rdcopy
