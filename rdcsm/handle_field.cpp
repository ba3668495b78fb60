// SPDX-License-Identifier: Apache-2.0
// The named fields of an activity: read (code 16, the value as text at 532,
// the answer grown in 2048-byte pieces), written (17) and filled from a
// file (19). A value is stored only when its answer can be sent back.
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

// The size of the answer that carries a value of length bytes.
std::size_t FieldAnswerSize(std::size_t length) {
    return GrownSize(kFieldValueAt + length + 1, kFieldLength);
}

enum class FileRead { Read, Unreadable, TooLarge };

// Reads a regular file whose contents can be answered as a field value.
FileRead ReadSmallFile(const char *path, std::string &contents) {
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return FileRead::Unreadable;
    struct stat info {};
    FileRead result =
        fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? FileRead::Read : FileRead::Unreadable;
    if (result == FileRead::Read && !Answerable(FieldAnswerSize(info.st_size)))
        result = FileRead::TooLarge;
    char buffer[65536];
    while (result == FileRead::Read) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got < 0) result = FileRead::Unreadable;
            break;
        }
        contents.append(buffer, static_cast<std::size_t>(got));
        // A file that grows while it is read.
        if (!Answerable(FieldAnswerSize(contents.size()))) result = FileRead::TooLarge;
    }
    close(fd);
    return result;
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
    const std::size_t size = FieldAnswerSize(length);
    if (!Answerable(size)) return RDSTATUS_CSMTOOLARGE;
    exchange.answer.assign(size, 0);
    std::memcpy(exchange.answer.data() + kFieldValueAt, value.data(), length);
    return 0;
}

uint32_t HandlePutField(Exchange &exchange) {
    FieldKey key;
    if (uint32_t status = KeyOf(exchange, key); status != 0) return status;
    auto value = TextAt(exchange.request, kFieldValueAt, exchange.request.size() - kFieldValueAt);
    if (!value) return RDSTATUS_CSMBADREQUEST;
    if (!Answerable(FieldAnswerSize(value->size()))) return RDSTATUS_CSMTOOLARGE;
    SaveField(exchange, key, *value);
    return 0;
}

// The path is the server's: absolute, or relative to its working folder. The
// file is read before the store's lock is taken.
uint32_t HandleFileField(Exchange &exchange) {
    auto name = TextAt(exchange.request, kFieldNameAt, kFieldNameSize);
    auto path = TextAt(exchange.request, kPathAt, kPathSize);
    if (!name || name->empty() || !path || path->empty()) return RDSTATUS_CSMBADREQUEST;
    std::string contents;
    const FileRead read = ReadSmallFile(std::string(*path).c_str(), contents);
    if (read != FileRead::Read)
        return read == FileRead::TooLarge ? RDSTATUS_CSMTOOLARGE : RDSTATUS_CSMFILE;
    return InTransaction(exchange.server, [&] {
        FieldKey key;
        if (uint32_t status = KeyOf(exchange, key); status != 0) return status;
        SaveField(exchange, key, contents);
        return 0u;
    });
}

} // namespace rdcsm
