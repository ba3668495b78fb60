// SPDX-License-Identifier: Apache-2.0
// Held log entries and counts of a second thread (see log_hold.h), and the
// exported functions that begin, release and end a hold.
#include "activity/log_hold.h"

#include "activity/log_step.h"
#include "activity/system_context.h"
#include "connect/connection.h"
#include "rdx_activity.h"
#include "rdx_connector.h"
#include "rdx_status.h"

#include <mutex>
#include <new>
#include <vector>

using namespace rdx;

// An entry with copies of its texts, so that it outlives the caller's.
struct HeldEntry {
    LogRecord record{};
    RDStream text{};
    RDStream streams[3]{};

    HeldEntry() = default;
    HeldEntry(const HeldEntry &) = delete;
    HeldEntry &operator=(const HeldEntry &) = delete;
    HeldEntry(HeldEntry &&other) noexcept : record(other.record), text(other.text) {
        for (int i = 0; i < 3; ++i)
            streams[i] = other.streams[i];
        other.Forget();
    }
    ~HeldEntry() {
        RDStreamDataFree(&text);
        for (RDStream &stream : streams)
            RDStreamDataFree(&stream);
    }
    void Forget() {
        text = RDStream{};
        for (RDStream &stream : streams)
            stream = RDStream{};
    }
    // The record pointing at the copies.
    LogRecord Record() {
        LogRecord out = record;
        if (record.text != nullptr) out.text = &text;
        for (int i = 0; i < 3; ++i)
            if (record.streams[i] != nullptr) out.streams[i] = &streams[i];
        return out;
    }
};

struct RDLogHold {
    LogState log{};  // the holding thread's own last entry and current operation
    std::mutex lock; // guards what follows: filled by the holder, emptied by the activity
    std::vector<HeldEntry> entries;
    uint64_t calls[RDXENTRY_COUNT]{};
    uint64_t records[RDXENTRY_COUNT]{};
    bool unknown[RDXENTRY_COUNT]{}; // a connector told an unknown count
};

namespace {

thread_local RDLogHold *t_hold = nullptr;

// Copies a text into out; a text that cannot be copied is kept empty.
void KeepText(RDStream &out, const RDStream *text) {
    if (text != nullptr && RDStreamDataCopy(&out, text) != RDSTATUS_OK) RDStreamDataFree(&out);
}

void Drop(RDLogHold &hold) {
    hold.entries.clear();
    for (uint32_t e = 0; e < RDXENTRY_COUNT; ++e) {
        hold.calls[e] = hold.records[e] = 0;
        hold.unknown[e] = false;
    }
}

void Replay(RDLogHold &hold) {
    for (uint32_t e = 0; e < RDXENTRY_COUNT; ++e) {
        for (uint64_t n = hold.calls[e]; n != 0; --n)
            CountCall(e);
        for (uint64_t left = hold.records[e]; left != 0;) {
            const uint32_t part = left < RDX_COUNT_UNKNOWN ? static_cast<uint32_t>(left) : 1;
            CountRecords(e, part);
            left -= part;
        }
        if (hold.unknown[e]) CountRecords(e, RDX_COUNT_UNKNOWN);
    }
    for (HeldEntry &entry : hold.entries) {
        LogRecord record = entry.Record();
        LogResolvedEntry(record);
    }
}

} // namespace

namespace rdx {

LogState &ThreadLog() {
    return t_hold != nullptr ? t_hold->log : Context()->log;
}

bool Holding() {
    return t_hold != nullptr;
}

void HoldEntry(const LogRecord &record) {
    HeldEntry entry;
    entry.record = record;
    KeepText(entry.text, record.text);
    for (int i = 0; i < 3; ++i)
        KeepText(entry.streams[i], record.streams[i]);
    const std::lock_guard guard(t_hold->lock);
    try {
        t_hold->entries.push_back(std::move(entry));
    } catch (const std::bad_alloc &) {
        // An entry that cannot be kept is lost; the status it returned to
        // its caller still tells the failure.
    }
}

void HoldCall(uint32_t entry) {
    const std::lock_guard guard(t_hold->lock);
    ++t_hold->calls[entry];
}

void HoldRecords(uint32_t entry, uint32_t count) {
    const std::lock_guard guard(t_hold->lock);
    if (count == RDX_COUNT_UNKNOWN)
        t_hold->unknown[entry] = true;
    else
        t_hold->records[entry] += count;
}

} // namespace rdx

extern "C" RD_EXPORT uint32_t RDActivityHoldBegin(RDLogHold **hold) {
    if (hold == nullptr) return RDSTATUS_NOSTREAM;
    *hold = nullptr;
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    if (t_hold != nullptr) return RDSTATUS_NOTREADY;
    RDLogHold *made = new (std::nothrow) RDLogHold;
    if (made == nullptr) return RDSTATUS_NOMEMORY;
    t_hold = *hold = made;
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT void RDActivityHoldEnd(void) {
    t_hold = nullptr;
}

extern "C" RD_EXPORT uint32_t RDActivityHoldRelease(RDLogHold *hold, uint32_t replay) {
    if (hold == nullptr) return RDSTATUS_NOSTREAM;
    if (const uint32_t status = ActivityCheck(); status != RDSTATUS_OK) return status;
    if (t_hold != nullptr) return RDSTATUS_NOTREADY; // only the activity's thread replays
    RDLogHold taken;
    {
        const std::lock_guard guard(hold->lock);
        taken.entries.swap(hold->entries);
        for (uint32_t e = 0; e < RDXENTRY_COUNT; ++e) {
            taken.calls[e] = hold->calls[e];
            taken.records[e] = hold->records[e];
            taken.unknown[e] = hold->unknown[e];
        }
        Drop(*hold);
    }
    if (replay != 0) Replay(taken);
    return RDSTATUS_OK;
}

extern "C" RD_EXPORT void RDActivityHoldFree(RDLogHold *hold) {
    if (hold == nullptr) return;
    if (t_hold == hold) t_hold = nullptr;
    RDStreamDataFree(&hold->log.lastLogText);
    RDStreamDataFree(&hold->log.lastLogStream);
    delete hold;
}
