// SPDX-License-Identifier: Apache-2.0
// The layout of a file that records are appended to: a file with a header
// takes only records of the fields it names, in its order (names compared
// without ASCII case, as the SQL connectors compare columns), and a file
// without one only records of as many fields as its first record holds.
// Checked before the first batch is written, so that a file of another
// layout is refused once, as the target's fault, not record by record.
#include "csv_connection.h"

#include "property_value.h"
#include "rdx_status.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace rdcsv {
namespace {

std::string Joined(const std::vector<std::string> &names) {
    std::string text;
    for (const std::string &name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

} // namespace

// The file (device and inode) and the fields' names: a layout found to
// agree is not read again while both stay.
std::string Connection::LayoutKey(int fd, const std::vector<rdxc::ListField> &fields) const {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return std::string();
    std::string key = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) +
                      (settings_.header ? ":header" : ":plain");
    for (const rdxc::ListField &field : fields)
        key += "\n" + field.name;
    return key;
}

uint32_t Connection::CheckLayout(int fd, const std::vector<rdxc::ListField> &fields) {
    const std::string key = LayoutKey(fd, fields);
    if (!key.empty() && key == checkedLayout_) return RDSTATUS_OK;
    // Read through a descriptor of its own: the target's stays as it is.
    const int copy = ::dup(fd);
    std::FILE *file = copy >= 0 ? ::fdopen(copy, "rb") : nullptr;
    if (file == nullptr) {
        if (copy >= 0) ::close(copy);
        return log_.Fail("the file " + settings_.path + " cannot be read to check its columns");
    }
    Reader reader(file, settings_.dialect, kMaxRecordBytes);
    const Reader::Result result = reader.Next();
    if (result == Reader::Result::Error)
        return log_.Fail("the first line of " + settings_.path + " cannot be read (" +
                         reader.Error() +
                         "): records are not appended to a file of unknown columns");
    std::vector<std::string> names, columns;
    for (const rdxc::ListField &field : fields)
        names.push_back(field.name);
    bool same = result == Reader::Result::Record && reader.FieldCount() == fields.size();
    for (size_t i = 0;
         settings_.header && result == Reader::Result::Record && i < reader.FieldCount(); ++i) {
        bool valid = true;
        columns.emplace_back();
        if (uint32_t status = charset_.ToUtf8(reader.Field(i), columns.back(), valid);
            status != RDSTATUS_OK)
            return status;
        same = same && valid && i < names.size() && rdxc::SameWord(columns.back(), names[i]);
    }
    if (!same && settings_.header)
        return log_.Fail("the records have the fields " + Joined(names) + "; the header of " +
                         settings_.path + " names the columns " + Joined(columns) +
                         ": records are appended only under the header of their own fields");
    if (!same)
        return log_.Fail("the records have " + std::to_string(fields.size()) +
                         " fields; the lines of " + settings_.path + " have " +
                         std::to_string(reader.FieldCount()) +
                         ": records are appended only to a file of as many columns");
    checkedLayout_ = key;
    return RDSTATUS_OK;
}

} // namespace rdcsv
