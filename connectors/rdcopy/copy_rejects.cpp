// SPDX-License-Identifier: Apache-2.0
#include "copy_rejects.h"

#include "copy_run.h"
#include "list_fields.h"
#include "value_text.h"

#include "rdxapi.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace rdcopy {
namespace {

// Opens a file of the user's own: never through a link, a regular file
// that the user owns, created 0600.
int OpenOwn(const std::string &path, bool empty, std::string &why) {
    const int fd = open(path.c_str(),
                        O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (empty ? O_TRUNC : 0), 0600);
    if (fd < 0) {
        why = errno == ELOOP ? "it is a symbolic link" : std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        why = "it is not a regular file of the user running the copy";
        close(fd);
        return -1;
    }
    return fd;
}

// Cuts a file back to length (when longer) and moves to its end.
bool CutTo(int fd, uint64_t length, uint64_t &at) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    if (static_cast<uint64_t>(info.st_size) > length &&
        ftruncate(fd, static_cast<off_t>(length)) != 0)
        return false;
    const off_t end = lseek(fd, 0, SEEK_END);
    if (end < 0) return false;
    at = static_cast<uint64_t>(end);
    return true;
}

std::string Quoted(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos && !text.empty()) return text;
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

} // namespace

Rejects::~Rejects() {
    if (fd_ >= 0) close(fd_);
    if (logFd_ >= 0) close(logFd_);
}

uint32_t Rejects::Open(const std::string &path, bool resume, uint64_t length, uint64_t logLength) {
    path_ = path;
    const std::string logPath = path + ".log";
    std::string why;
    fd_ = OpenOwn(path, !resume, why);
    if (fd_ >= 0) logFd_ = OpenOwn(logPath, !resume, why);
    if (fd_ < 0 || logFd_ < 0)
        return Refuse("The reject file " + (fd_ < 0 ? path : logPath) +
                      " cannot be written: " + why + ".");
    if (!CutTo(fd_, resume ? length : 0, length_) ||
        !CutTo(logFd_, resume ? logLength : 0, logLength_))
        return Refuse("The reject file " + path + " cannot be cut back: " + std::strerror(errno) +
                      ".");
    return 0;
}

uint32_t Rejects::Append(int fd, const std::string &bytes, uint64_t &length,
                         const std::string &path) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            const std::string why = wrote < 0 ? std::strerror(errno) : "nothing was written";
            // What was written of the record is cut off again.
            if (ftruncate(fd, static_cast<off_t>(length)) == 0)
                lseek(fd, static_cast<off_t>(length), SEEK_SET);
            return Refuse("The reject file " + path + " cannot be written: " + why + ".");
        }
        done += static_cast<size_t>(wrote);
    }
    length += bytes.size();
    return 0;
}

uint32_t Rejects::Write(std::string record, const std::string &where, const std::string &reason) {
    if (!Active()) return 0;
    if (record.empty() || record.back() != '\n') record += '\n';
    std::string line = where + ": " + reason;
    for (char &c : line)
        if (c == '\n' || c == '\r') c = ' ';
    if (const uint32_t status = Append(fd_, record, length_, path_); status != 0) return status;
    return Append(logFd_, line + "\n", logLength_, path_ + ".log");
}

std::string DelimitedRecord(uint32_t list, uint32_t index) {
    std::vector<rdxc::ListField> fields;
    if (rdxc::ListFieldsOf(list, fields) != 0) return std::string();
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        std::string text;
        bool isNull = false;
        if (rdxc::ValueToText(fields[i].field, fields[i].type, index, text, isNull) != 0)
            isNull = true;
        if (i != 0) line += ',';
        line += isNull ? std::string() : (text.empty() ? std::string("\"\"") : Quoted(text));
    }
    return line;
}

} // namespace rdcopy
