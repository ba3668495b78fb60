// SPDX-License-Identifier: Apache-2.0
// What one copy does, as its activity's properties describe it.
#pragma once

#include <cstdint>
#include <string>

namespace rdcopy {

// The activity properties rdcopy declares.
enum PropertyNumber : uint32_t {
    kSourceLink = 1,
    kTargetLink = 2,
    kSourceSelect = 3, // the source's select text (its Condition property)
    kTargetTable = 4,  // the target's table (its Metadata property)
    kBatchSize = 5,
    kCreateTarget = 6,
    kOnError = 7,         // "stop" or "skip"
    kKeyColumn = 8,       // columns that order the source, so that a rerun can resume
    kRejects = 9,         // the file that skipped records are written to
    kRounding = 10,       // "none" or "half-even", passed to the target connection
    kMode = 11,           // "append", "create", "replace", "truncate", "upsert" or "delete-insert"
    kIncrementalKey = 12, // the source column a run reads from the last run's bookmark
    kIncrementalBy = 13,  // "key" (default) or "offset" (a file read on from its last end)
    kKey = 14,            // the key columns an upsert merges by
    kPipeline = 15,       // 1 (default): the next batch is read while this one is written
};

// What a new run does to the target table before its first batch.
enum class Mode { Append, Create, Replace, Truncate, Upsert, DeleteInsert };
// "append", "create", "replace", "truncate", "upsert" or "delete-insert".
const char *ModeName(Mode mode);

// The environment variable by which a host asks a copy to go on after the
// last batch that an earlier run of it committed ("1").
inline constexpr const char *kResumeVariable = "RDX_RESUME";
// The environment variable by which a host asks a copy to start again from
// nothing: the bookmark of an incremental copy forgotten, the table replaced.
inline constexpr const char *kFullRefreshVariable = "RDX_FULL_REFRESH";

// How an incremental copy finds where the last run ended.
enum class Incremental {
    None,   // every run copies the whole source
    Key,    // the records whose IncrementalKey is past the last run's bookmark
    Offset, // a file read on from the byte where the last run ended
};

struct CopyJob {
    std::string name; // the activity's name: the name of the copy's mark
    std::string sourceLink, targetLink, sourceSelect, targetTable, keyColumn, rejects;
    std::string rounding; // empty: the target's own (none)
    std::string incrementalKey, key;
    Incremental incremental = Incremental::None;
    uint32_t batchSize = 1000;
    Mode mode = Mode::Append;
    bool skipBadRecords = false;
    bool resume = false;
    bool fullRefresh = false;
    bool pipeline = true; // read the next batch on a second thread while writing

    // Whether the target merges by Key rather than only inserting.
    bool Merges() const { return mode == Mode::Upsert || mode == Mode::DeleteInsert; }
};

// Reads the job from the activity's properties; logs and returns a status
// for a missing link name or a batch size of 0.
uint32_t ReadJob(CopyJob &job);

// Why rdcopy refuses a value of property number (text for the texts, integer
// for BatchSize), empty when it takes it.
std::string RefusedValue(uint32_t number, const std::string &text, int32_t integer);

// RDXCheckProperty: the value of field as RefusedValue judges it, the
// reason logged; a property without rules is always good.
uint32_t CheckProperty(uint32_t number, uint32_t field);

// Runs the copy; its status (the failures are logged as they happen).
uint32_t RunCopy(const CopyJob &job);

} // namespace rdcopy
