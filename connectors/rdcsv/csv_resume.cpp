// SPDX-License-Identifier: Apache-2.0
// Resuming copies out of a file: ReadPosition tells where the next record
// starts, and a select set to it goes on there. Into a file, the kit's
// FileMarks keep the copy's mark (file_marks.h).
#include "connector_actions.h"
#include "connector_resume.h"
#include "csv_connection.h"
#include "read_position.h"

#include "rdx_status.h"

#include <algorithm>
#include <sys/stat.h>

namespace rdcsv {
namespace {

// The file's size, -1 when it does not exist (or cannot be seen).
int64_t FileSize(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

} // namespace

uint32_t Connection::Action(uint32_t action) {
    if (action == rdxc::kActionRollback) return RDSTATUS_OK; // every batch is in the file
    if (action == rdxc::kActionSaveMark) return connected_ ? marks_.Save() : RDSTATUS_NOTCONNECTED;
    return Unsupported("this action");
}

uint32_t Connection::SetReadPosition(const std::string &text) {
    rdxc::ReadPositionValue read;
    if (!text.empty() && !rdxc::ParseReadPosition(text, read))
        return log_.Fail("ReadPosition is \"offset=BYTES;line=LINE\", not \"" + text + "\"");
    position_ = Position{!text.empty(), read.offset, read.line};
    return RDSTATUS_OK;
}

// Where the select's next record starts; before a select, the position set.
std::string Connection::ReadPosition() const {
    if (reader_) return rdxc::ReadPositionText(reader_->Offset(), reader_->NextLine());
    return position_.set ? rdxc::ReadPositionText(position_.offset, position_.line) : std::string();
}

// Moves a reader that stands at the first record to the position set. Only
// what is cheap is checked: that the position lies among the records and
// follows a line end (or is the end of the file).
uint32_t Connection::PositionReader(Reader &reader) {
    if (!position_.set) return RDSTATUS_OK;
    const std::string where =
        "ReadPosition " + rdxc::ReadPositionText(position_.offset, position_.line);
    const uint64_t first = reader.Offset();
    const int64_t size = FileSize(settings_.path);
    if (position_.offset < first || position_.line < reader.NextLine())
        return log_.Fail(where + " lies before the first record of " + settings_.path +
                         " (offset=" + std::to_string(first) +
                         ";line=" + std::to_string(reader.NextLine()) + ")");
    if (size < 0 || position_.offset > static_cast<uint64_t>(size))
        return log_.Fail(where + " lies beyond the end of " + settings_.path + " (" +
                         std::to_string(std::max<int64_t>(size, 0)) + " bytes)");
    int before = -1;
    if (!reader.Seek(position_.offset, position_.line, before))
        return log_.Fail("the file " + settings_.path + " cannot be read at " + where);
    // The end of the file follows any record, also one without a line end.
    if (position_.offset > first && before != '\n' &&
        position_.offset < static_cast<uint64_t>(size))
        return log_.Fail(where + " is not the start of a line of " + settings_.path);
    return RDSTATUS_OK;
}

} // namespace rdcsv
