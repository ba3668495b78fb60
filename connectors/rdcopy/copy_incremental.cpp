// SPDX-License-Identifier: Apache-2.0
// Incremental copies: a run that reads only what the earlier runs did not
// copy. The bookmark (the largest key copied, or where a file ended) is
// kept in the target's mark, committed with each batch, so that a run
// killed at any moment and run again neither loses nor repeats a record.
//
// A SQL source is read ordered by the key (then by KeyColumn or Key, so
// that records of one key value come in the same order every time) from
// `key >= bookmark`, and the records of the bookmark's value up to the tie
// values of the last one that earlier runs consumed are read past: a batch
// may end between records of one key value without losing the rest of
// them, and a record that moved to a later key value since is not counted
// among them. A file source is not ordered: it
// passes the records whose key is greater than the bookmark the run started
// from, and the bookmark grows to the largest key it copied.
#include "connector_incremental.h"
#include "connector_records.h"
#include "connector_resume.h"
#include "copy_run.h"
#include "key_compare.h"
#include "list_fields.h"
#include "order_by.h"
#include "property_value.h"
#include "value_text.h"

#include "rdxapi.h"

#include <algorithm>

namespace rdcopy {
namespace {

bool Orderable(uint32_t type) {
    return type == RDTYPE_INT || type == RDTYPE_FLOAT || type == RDTYPE_CURRENCY ||
           type == RDTYPE_NUMERIC || type == RDTYPE_DATETIME || type == RDTYPE_TEXT;
}

// "offset=1234;line=56" as "byte 1,234 (line 56)".
std::string FilePlace(const std::string &position) {
    const size_t offset = position.find("offset=");
    const size_t line = position.find(";line=");
    if (offset != 0 || line == std::string::npos) return "\"" + position + "\"";
    uint64_t bytes = 0;
    for (size_t at = 7; at < line; ++at)
        bytes = bytes * 10 + static_cast<uint64_t>(position[at] - '0');
    return "byte " + Grouped(bytes) + " (line " + position.substr(line + 6) + ")";
}

} // namespace

// The mark of the last run tells where this one starts: from its bookmark
// when it finished, after its last batch when it did not (whether asked to
// resume or not: an incremental copy always goes on where it stands).
uint32_t CopyRun::FollowMark(const std::optional<CopyMark> &mark, bool &resuming) {
    const bool byKey = job_.incremental == Incremental::Key;
    if (!byKey) {
        if (const uint32_t status = CheckSameFile(mark); status != 0) return status;
    }
    if (!mark || (mark->done && (byKey ? mark->bookmark : mark->position).empty())) {
        firstRun_ = !mark;
        Log(RDLOG_INFORMATIONAL,
            byKey ? "Incremental by " + job_.incrementalKey + ": first run, every record is copied."
                  : std::string("Incremental by offset: first run, the source is read from its "
                                "start."),
            0);
        return 0;
    }
    if (!mark->done) {
        resuming = true;
        ResumeAfter(*mark);
        since_ = positioned_ ? mark->since : mark->bookmark;
        if (!positioned_) sinceTie_ = mark->tie;
    } else if (byKey) {
        start_.since = start_.bookmark = since_ = mark->bookmark;
        start_.tie = sinceTie_ = mark->tie;
    } else {
        start_.position = mark->position;
    }
    Log(RDLOG_INFORMATIONAL,
        byKey && since_.empty()
            ? "Incremental by " + job_.incrementalKey +
                  ": going on with an unfinished first run, every record is copied."
        : byKey ? "Incremental from " + job_.incrementalKey + " > " + since_ + "."
                : "Incremental from " +
                      FilePlace(start_.position.empty() ? resumeFrom_.position : start_.position) +
                      " of the source.",
        0);
    return 0;
}

// A file read on from an offset must be the file that the offset was taken
// in: one replaced since (rotated, rewritten) would be read from the middle.
// Its identity (device and inode) is kept in the mark's `since`.
uint32_t CopyRun::CheckSameFile(const std::optional<CopyMark> &mark) {
    std::string identity;
    if (source_.Declares(rdxc::kIdentity)) {
        if (const uint32_t status = source_.GetText(rdxc::kIdentity, identity); status != 0)
            return status;
    }
    start_.since = identity;
    if (!mark || mark->since.empty() || identity.empty() || mark->since == identity) return 0;
    if (mark->done && mark->position.empty()) return 0;
    return Refuse("The source of " + job_.name +
                  " is not the file its last run read (it was replaced or rotated since): the "
                  "bookmark at " +
                  FilePlace(mark->position) +
                  " belongs to the other. Run it with --full-refresh to copy this file from its "
                  "start.");
}

// Before the select: the source told its key and where to read from.
uint32_t CopyRun::FilterSource() {
    if (job_.incremental == Incremental::Offset) {
        if (!positioned_)
            return Refuse("IncrementalBy = \"offset\" reads a file on from where the last run "
                          "ended; the source link " +
                          job_.sourceLink + " cannot be positioned.");
        if (!start_.position.empty() && !resuming_)
            return source_.SetText(rdxc::kReadPosition, start_.position);
        return 0;
    }
    if (!source_.Declares(rdxc::kIncrementalKey))
        return Refuse("The source link " + job_.sourceLink + " cannot read by IncrementalKey.");
    uint32_t status = source_.SetText(rdxc::kIncrementalKey, job_.incrementalKey);
    if (status != 0 || since_.empty()) return status;
    status = source_.SetText(rdxc::kIncrementalOp, positioned_ ? ">" : ">=");
    if (status == 0) status = source_.SetText(rdxc::kIncrementalFrom, since_);
    return status;
}

// The columns that order records of one key value: KeyColumn, else Key. A
// SQL source needs them to read past the records an earlier run consumed.
std::string CopyRun::TieOrder() const {
    return job_.keyColumn.empty() ? job_.key : job_.keyColumn;
}

// After the select: the key's field in the list, of a type that orders.
uint32_t CopyRun::FindKeyField() {
    std::vector<rdxc::ListField> fields;
    if (const uint32_t status = rdxc::ListFieldsOf(list_.handle(), fields); status != 0)
        return status;
    std::string names;
    for (const rdxc::ListField &field : fields) {
        if (rdxc::SameWord(field.name, job_.incrementalKey)) {
            if (!Orderable(field.type))
                return Refuse("IncrementalKey " + job_.incrementalKey +
                              " is a field of a type that has no order (binary); name an "
                              "integer, numeric, date-time or text field.");
            keyField_ = field;
            return FindTieFields(fields);
        }
        names += (names.empty() ? "" : ", ") + rdxc::ShownName(field.name);
    }
    return Refuse("The source of " + job_.name + " has no field " + job_.incrementalKey +
                  " (IncrementalKey); its fields are " + names + ".");
}

// The key texts of records 1..count of the list; a record without a key
// cannot be placed after a bookmark and fails the copy.
uint32_t CopyRun::ReadKeys(uint32_t from, uint32_t count) {
    if (job_.incremental != Incremental::Key) return 0;
    keys_.resize(count);
    ties_.resize(count);
    // The batch in the second list has fields of its own.
    const rdxc::ListField &keyField = inSpare_ ? spareKey_ : keyField_;
    const std::vector<rdxc::ListField> &tieFields = inSpare_ ? spareTies_ : tieFields_;
    for (uint32_t i = from; i <= count; ++i) {
        std::vector<std::string> tie(tieFields.size());
        for (size_t t = 0; t < tieFields.size(); ++t) {
            bool isNull = false;
            if (const uint32_t status =
                    rdxc::ValueToText(tieFields[t].field, tieFields[t].type, i, tie[t], isNull);
                status != 0)
                return status;
        }
        ties_[i - 1] = JoinTie(tie);
        bool isNull = false;
        const uint32_t status =
            rdxc::ValueToText(keyField.field, keyField.type, i, keys_[i - 1], isNull);
        if (status != 0) return status;
        if (isNull)
            return Refuse("Record " + Grouped(counts_.NextRecord() + i - 1) + " has no value in " +
                          job_.incrementalKey +
                          " (IncrementalKey): an incremental copy cannot place it after a "
                          "bookmark. Give it a value, or leave such records out in "
                          "SourceSelect.");
    }
    return 0;
}

// The bookmark once records 1..records of the batch are consumed as well.
void CopyRun::FoldKeys(CopyMark &mark, uint32_t records) const {
    if (job_.incremental != Incremental::Key) return;
    for (uint32_t i = 0; i < records && i < keys_.size(); ++i) {
        const std::string &key = keys_[i];
        if (positioned_) {
            int order = 1;
            if (mark.bookmark.empty() ||
                (rdxc::CompareKeyTexts(keyField_.type, key, mark.bookmark, order) && order > 0))
                mark.bookmark = key;
        } else {
            mark.bookmark = key;
            mark.tie = ties_[i];
        }
    }
}

// A SQL source read from `key >= bookmark` gives first the records of the
// bookmark's value that earlier runs consumed: they are read past, one at a
// time, up to the tie values of the last of them. The first record that is
// not one of them is kept in the list for the first batch.
uint32_t CopyRun::SkipEqual() {
    if (job_.incremental != Incremental::Key || positioned_ || since_.empty() || sinceTie_.empty())
        return 0;
    for (;;) {
        uint32_t fetched = 0;
        const uint32_t status = RDConnectFetch(source_.handle(), list_.handle(), 1, 1, &fetched);
        if (status == kEndOfData && fetched == 0) {
            sourceEnded_ = true;
            return 0;
        }
        if (status != 0 && status != kEndOfData) return status;
        if (Bounded(fetched, 1, job_.sourceLink) == 0) continue;
        if (const uint32_t read = ReadKeys(1, 1); read != 0) return read;
        if (keys_[0] != since_ || !TieAtMost(ties_[0], sinceTie_)) {
            carried_ = 1;
            sourceEnded_ = status == kEndOfData;
            return 0;
        }
        if (status == kEndOfData) {
            sourceEnded_ = true;
            return 0;
        }
    }
}

// The fields of the columns that order records of one key value (a SQL
// source only: a file keeps its order).
uint32_t CopyRun::FindTieFields(const std::vector<rdxc::ListField> &fields) {
    tieFields_.clear();
    if (positioned_) return 0;
    std::vector<std::string> names;
    std::string error;
    if (!rdxc::ParseOrderBy(TieOrder(), names, error)) return Refuse("KeyColumn: " + error + ".");
    for (const std::string &name : names) {
        const auto found = std::find_if(fields.begin(), fields.end(), [&](const auto &field) {
            return rdxc::SameWord(field.name, name);
        });
        if (found == fields.end())
            return Refuse("The source of " + job_.name + " has no field " + rdxc::ShownName(name) +
                          " (KeyColumn or Key), which orders records of one " +
                          job_.incrementalKey + " value.");
        tieFields_.push_back(*found);
    }
    return 0;
}

// Whether tie values order before or with bound, column by column, each by
// its field's type (as text where a value does not read as one).
bool CopyRun::TieAtMost(const std::string &tie, const std::string &bound) const {
    const std::vector<std::string> a = SplitTie(tie), b = SplitTie(bound);
    for (size_t i = 0; i < a.size() && i < b.size() && i < tieFields_.size(); ++i) {
        int order = 0;
        if (!rdxc::CompareKeyTexts(tieFields_[i].type, a[i], b[i], order))
            order = a[i].compare(b[i]);
        if (order != 0) return order < 0;
    }
    return true;
}

// The last line before the outcome: where the next run starts.
void CopyRun::LogBookmark() const {
    if (job_.incremental == Incremental::Key && !start_.bookmark.empty())
        Log(RDLOG_INFORMATIONAL, "Bookmark: " + job_.incrementalKey + " = " + start_.bookmark + ".",
            0);
    if (job_.incremental == Incremental::Offset && !start_.position.empty())
        Log(RDLOG_INFORMATIONAL, "Bookmark: " + FilePlace(start_.position) + ".", 0);
}

} // namespace rdcopy

namespace rdcopy {

// The key and tie fields of the second list: those at the places of the
// first list's. False when the lists do not match.
bool CopyRun::MapKeyFields() {
    if (job_.incremental != Incremental::Key) return true;
    std::vector<rdxc::ListField> first, second;
    if (rdxc::ListFieldsOf(list_.handle(), first) != 0 ||
        rdxc::ListFieldsOf(spare_.handle(), second) != 0 || first.size() != second.size())
        return false;
    auto mapped = [&](const rdxc::ListField &field, rdxc::ListField &out) {
        for (size_t i = 0; i < first.size(); ++i)
            if (first[i].field == field.field) {
                out = second[i];
                return true;
            }
        return false;
    };
    if (!mapped(keyField_, spareKey_)) return false;
    spareTies_.resize(tieFields_.size());
    for (size_t t = 0; t < tieFields_.size(); ++t)
        if (!mapped(tieFields_[t], spareTies_[t])) return false;
    return true;
}

} // namespace rdcopy
