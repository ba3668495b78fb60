// The named fields of an activity: read (code 16, the value as text at 532,
// the answer grown in 2048-byte pieces), written (17) and filled from a
// file (19).
#include "requests.h"

#include "rdx_status.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rdcsm {

using namespace rdx::csmgr;

namespace {

struct FieldKey {
    int64_t activity;
    std::string_view name;
};

// The activity of the handle at 16 and the name at 20 (NUL inside its
// field, not empty); status on failure.
uint32_t KeyOf(Exchange &exchange, FieldKey &key) {
    auto name = TextAt(exchange.request, kFieldNameAt, kFieldNameSize);
    if (!name || name->empty()) return RDSTATUS_CSMBADREQUEST;
    auto resolved = exchange.store().Resolve(GetU32(exchange.request, kWord16));
    if (!resolved) return RDSTATUS_CSMNOHANDLE;
    key = {resolved->object, *name};
    return 0;
}

void SaveField(Exchange &exchange, const FieldKey &key, std::string_view value) {
    Statement write(exchange.store().Db(),
                    "INSERT INTO fields(activity, name, value) VALUES(?, ?, ?) "
                    "ON CONFLICT(activity, name) DO UPDATE SET value = excluded.value");
    write.Bind(1, key.activity)
        .Bind(2, key.name)
        .BindBlob(3, {reinterpret_cast<const uint8_t *>(value.data()), value.size()})
        .Run();
}

// Reads a regular file of at most kMaxFileField bytes; false otherwise.
bool ReadSmallFile(const char *path, std::string &contents) {
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
              static_cast<uint64_t>(info.st_size) <= kMaxFileField;
    char buffer[65536];
    while (ok) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        contents.append(buffer, static_cast<std::size_t>(got));
        ok = contents.size() <= kMaxFileField;
    }
    close(fd);
    return ok;
}

} // namespace

uint32_t HandleGetField(Exchange &exchange) {
    FieldKey key;
    if (uint32_t status = KeyOf(exchange, key); status != 0) return status;
    Statement read(exchange.store().Db(),
                   "SELECT value FROM fields WHERE activity = ? AND name = ?");
    read.Bind(1, key.activity).Bind(2, key.name);
    if (!read.Step()) return RDSTATUS_CSMNOFIELD;
    const std::string value = read.Blob(0);
    // The value up to a NUL it may hold: it travels as text.
    const std::size_t length = std::strlen(value.c_str());
    const std::size_t needed = kFieldValueAt + length + 1;
    std::size_t size = kFieldLength;
    if (needed > size) size += (needed - size + kPiece - 1) / kPiece * kPiece;
    exchange.answer.assign(size, 0);
    std::memcpy(exchange.answer.data() + kFieldValueAt, value.data(), length);
    return 0;
}

uint32_t HandlePutField(Exchange &exchange) {
    FieldKey key;
    if (uint32_t status = KeyOf(exchange, key); status != 0) return status;
    auto value = TextAt(exchange.request, kFieldValueAt, exchange.request.size() - kFieldValueAt);
    if (!value) return RDSTATUS_CSMBADREQUEST;
    SaveField(exchange, key, *value);
    return 0;
}

// The path is the server's: absolute, or relative to its working folder.
uint32_t HandleFileField(Exchange &exchange) {
    FieldKey key;
    if (uint32_t status = KeyOf(exchange, key); status != 0) return status;
    auto path = TextAt(exchange.request, kPathAt, kPathSize);
    if (!path || path->empty()) return RDSTATUS_CSMBADREQUEST;
    std::string contents;
    if (!ReadSmallFile(std::string(*path).c_str(), contents)) return RDSTATUS_CSMFILE;
    SaveField(exchange, key, contents);
    return 0;
}

} // namespace rdcsm
