// rdcopy: an activity connector that copies the records of a source link
// into a target link in batches. Its properties name the two links, the
// source's select text, the target's table, the batch size, whether the
// target table is created, what a bad record does ("stop" or "skip") and
// whether the target rounds numbers with too many digits after the point.
#include "copy_job.h"

#include "rdx_connector.h"

namespace {

constexpr uint32_t kText = 6, kInt = 1;
constexpr uint32_t kNativeCharset = 65535;

#define RDCOPY_PROPERTY(number, type, name)                                                        \
    { number, type, 0, name, sizeof(name) - 1 }
#define RDCOPY_LINK_PROPERTY(number, name)                                                         \
    { number, kText, RDX_ATTRIBUTE_LINKNAME, name, sizeof(name) - 1 }

constexpr PropertyDeclaration kDeclarations[] = {
    RDCOPY_LINK_PROPERTY(rdcopy::kSourceLink, "SourceLink"),
    RDCOPY_LINK_PROPERTY(rdcopy::kTargetLink, "TargetLink"),
    RDCOPY_PROPERTY(rdcopy::kSourceSelect, kText, "SourceSelect"),
    RDCOPY_PROPERTY(rdcopy::kTargetTable, kText, "TargetTable"),
    RDCOPY_PROPERTY(rdcopy::kBatchSize, kInt, "BatchSize"),
    RDCOPY_PROPERTY(rdcopy::kCreateTarget, kInt, "CreateTarget"),
    RDCOPY_PROPERTY(rdcopy::kOnError, kText, "OnError"),
    RDCOPY_PROPERTY(rdcopy::kKeyColumn, kText, "KeyColumn"),
    RDCOPY_PROPERTY(rdcopy::kRejects, kText, "Rejects"),
    RDCOPY_PROPERTY(rdcopy::kRounding, kText, "Rounding"),
    {0, 0, 0, nullptr, 0},
};

} // namespace

RDX_ENTRY uint32_t RDXIdentify(IdentifyRecord *record) {
    record->version = RDX_INTERFACE_VERSION;
    record->kind = RDX_KIND_ACTIVITY;
    record->nameCharset = kNativeCharset;
    record->declarations = kDeclarations;
    return 0;
}

RDX_ENTRY uint32_t RDXLaunch(void) {
    rdcopy::CopyJob job;
    const uint32_t status = rdcopy::ReadJob(job);
    return status != 0 ? status : rdcopy::RunCopy(job);
}

RDX_ENTRY uint32_t RDXCheckProperty(uint32_t number, uint32_t field) {
    return rdcopy::CheckProperty(number, field);
}
