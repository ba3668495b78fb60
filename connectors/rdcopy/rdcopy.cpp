// SPDX-License-Identifier: Apache-2.0
// rdcopy: an activity connector that copies the records of a source link
// into a target link in batches. Its properties name the two links, the
// source's select text, the target's table, the batch size, what a new run
// does to the target table (Mode), what a bad record does ("stop" or
// "skip"), whether the target rounds numbers with too many digits after the
// point, and whether the next batch is read while this one is written.
#include "activity_entries.h"
#include "copy_job.h"
#include "declarations.h"

namespace {

using rdxc::Declare;

struct Activity {
    static constexpr uint32_t kNameCharset = 65535; // the native set
    static constexpr PropertyDeclaration kDeclarations[] = {
        rdxc::DeclareLinkName(rdcopy::kSourceLink, "SourceLink"),
        rdxc::DeclareLinkName(rdcopy::kTargetLink, "TargetLink"),
        Declare(rdcopy::kSourceSelect, RDTYPE_TEXT, "SourceSelect"),
        Declare(rdcopy::kTargetTable, RDTYPE_TEXT, "TargetTable"),
        Declare(rdcopy::kBatchSize, RDTYPE_INT, "BatchSize"),
        Declare(rdcopy::kCreateTarget, RDTYPE_INT, "CreateTarget"),
        Declare(rdcopy::kOnError, RDTYPE_TEXT, "OnError"),
        Declare(rdcopy::kKeyColumn, RDTYPE_TEXT, "KeyColumn"),
        Declare(rdcopy::kRejects, RDTYPE_TEXT, "Rejects"),
        Declare(rdcopy::kRounding, RDTYPE_TEXT, "Rounding"),
        Declare(rdcopy::kMode, RDTYPE_TEXT, "Mode"),
        Declare(rdcopy::kIncrementalKey, RDTYPE_TEXT, "IncrementalKey"),
        Declare(rdcopy::kIncrementalBy, RDTYPE_TEXT, "IncrementalBy"),
        Declare(rdcopy::kKey, RDTYPE_TEXT, "Key"),
        Declare(rdcopy::kPipeline, RDTYPE_INT, "Pipeline"),
        PropertyDeclaration{0, 0, 0, nullptr, 0},
    };

    static uint32_t Launch() {
        rdcopy::CopyJob job;
        const uint32_t status = rdcopy::ReadJob(job);
        return status != 0 ? status : rdcopy::RunCopy(job);
    }
    static uint32_t CheckProperty(uint32_t number, uint32_t field) {
        return rdcopy::CheckProperty(number, field);
    }
};

} // namespace

RDXC_ACTIVITY_CONNECTOR(Activity)
