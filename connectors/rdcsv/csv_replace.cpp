// SPDX-License-Identifier: Apache-2.0
// A copy's target file replaced (written anew with the header of the
// field list) or emptied (cut back to its header line). A file has no
// transaction: the copy's mark is stored first with the length the file is
// cut to, so that a run killed in between finds at its next connect a mark
// that cuts the file the same way, and resumes from an empty file.
#include "csv_connection.h"
#include "own_file.h"

#include "connector_actions.h"
#include "connector_log.h"
#include "rdx_status.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace rdcsv {
namespace {

std::string BaseName(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

// The length of the file's header line, line end included (0 for a link
// without a header or an empty file).
uint32_t Connection::HeaderLength(int fd, uint64_t &length) {
    length = 0;
    if (!settings_.header) return RDSTATUS_OK;
    const int copy = ::dup(fd);
    std::FILE *file = copy >= 0 ? ::fdopen(copy, "rb") : nullptr;
    if (file == nullptr) {
        if (copy >= 0) ::close(copy);
        return log_.Fail("the file " + settings_.path + " cannot be read to find its header");
    }
    Reader reader(file, settings_.dialect, kMaxRecordBytes);
    const Reader::Result result = reader.Next();
    if (result == Reader::Result::Error)
        return log_.Fail("the header of " + settings_.path + " cannot be read (" + reader.Error() +
                         "): the file is not emptied");
    if (result == Reader::Result::Record) length = reader.Offset();
    return RDSTATUS_OK;
}

uint32_t Connection::Rewrite(uint32_t kind, uint32_t list) {
    std::vector<rdxc::ListField> fields;
    if (kind == rdxc::kReplaceTable) {
        if (uint32_t status = rdxc::ListFieldsOf(list, fields); status != RDSTATUS_OK)
            return status;
        if (fields.empty()) return log_.Fail("a new file needs a field list with fields");
    }
    std::string error, header;
    bool missing = false;
    const int flags = O_RDWR | O_APPEND | (kind == rdxc::kReplaceTable ? O_CREAT : 0);
    rdxc::FileDescriptor file = rdxc::OpenOwnFile(settings_.path, flags, error, &missing);
    if (!file && missing) return log_.Fail("the file " + settings_.path + " is not there to empty");
    if (!file) return log_.Fail(error);
    uint64_t keep = 0;
    if (kind == rdxc::kEmptyTable) {
        if (uint32_t status = HeaderLength(file.get(), keep); status != RDSTATUS_OK) return status;
    } else if (settings_.header) {
        if (uint32_t status = HeaderLine(fields, header, LineEndFor(-1)); status != RDSTATUS_OK)
            return status;
    }
    const bool marking = marks_.Mark().Pending();
    const std::string change = kind == rdxc::kEmptyTable ? "emptying" : "replacement";
    if (marking)
        if (uint32_t status = marks_.Lock(file.get(), change); status != RDSTATUS_OK) return status;
    std::string why;
    if (bool lost = false; marking && !marks_.Store(keep, why, lost))
        return log_.Fail(lost ? marks_.Conflict(change)
                              : "the mark cannot be stored (" + why +
                                    "): the file was left as it was");
    if (::ftruncate(file.get(), static_cast<off_t>(keep)) != 0)
        return log_.Fail("the file " + settings_.path + " cannot be cut: " + std::strerror(errno));
    reader_.reset();
    checkedLayout_.clear();
    uint64_t end = keep;
    if (uint32_t status = marks_.AppendBytes(file.get(), header, marking ? &end : nullptr);
        status != RDSTATUS_OK)
        return status;
    if (bool lost = false; marking && end != keep && !marks_.Store(end, why, lost))
        return log_.Fail("the mark cannot be stored (" + why + ")");
    const std::string name = BaseName(settings_.path);
    rdxc::LogInformation(kind == rdxc::kEmptyTable
                             ? "Emptied file " + name + "."
                             : "Replaced file " + name + " (" + std::to_string(fields.size()) +
                                   (fields.size() == 1 ? " column)." : " columns)."));
    return RDSTATUS_OK;
}

} // namespace rdcsv
