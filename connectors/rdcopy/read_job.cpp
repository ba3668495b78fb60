// Reading the copy's properties through the activity.
#include "copy_job.h"

#include "rdxapi.h"

#include <cstring>
#include <strings.h>
#include <utility>

namespace rdcopy {
namespace {

// A missing activity property (12555 with a null value) reads as empty.
constexpr uint32_t kNoProperty = 12555;
// The status of a job that names no link or no batch.
constexpr uint32_t kBadJob = 12555;
// The built-in activity property that holds the activity's name.
constexpr uint32_t kNameProperty = 0x30004;

uint32_t ReadText(uint32_t number, std::string &out) {
    RDStream text;
    RDStreamClear(&text);
    const uint32_t status = RDActivityGetPropertyStream(number, RDCHARSET_DEFAULT, &text);
    if (status == 0 && text.data != nullptr)
        out.assign(reinterpret_cast<const char *>(text.data), text.length);
    RDStreamDataFree(&text);
    return status == kNoProperty ? 0 : status;
}

uint32_t Refuse(const char *what) {
    RDStream text;
    RDStreamClear(&text);
    RDStreamDataSet(&text, RDCHARSET_DEFAULT, what, static_cast<uint32_t>(strlen(what)));
    RDActivityLogStream(0, &text, kBadJob);
    RDStreamDataFree(&text);
    return kBadJob;
}

// Whether the host asked the copy to resume (the environment variable is "1").
bool ResumeAsked() {
    RDStream name;
    RDStreamClear(&name);
    uint32_t number = 0;
    std::string value;
    uint32_t status = RDStreamDataSet(&name, RDCHARSET_DEFAULT, kResumeVariable,
                                      static_cast<uint32_t>(strlen(kResumeVariable)));
    if (status == 0) status = RDActivityAddProperty(&name, RDPROPERTY_ENVIRONMENT, &number);
    RDStreamDataFree(&name);
    return status == 0 && ReadText(number, value) == 0 && value == "1";
}

} // namespace

uint32_t ReadJob(CopyJob &job) {
    std::string onError;
    for (auto [number, text] : {std::pair{kSourceLink, &job.sourceLink},
                                {kTargetLink, &job.targetLink},
                                {kSourceSelect, &job.sourceSelect},
                                {kTargetTable, &job.targetTable},
                                {kOnError, &onError},
                                {kKeyColumn, &job.keyColumn},
                                {kRejects, &job.rejects},
                                {kRounding, &job.rounding},
                                {static_cast<PropertyNumber>(kNameProperty), &job.name}}) {
        const uint32_t status = ReadText(number, *text);
        if (status != 0) return status;
    }
    int32_t batch = 0;
    const uint32_t status = RDActivityGetPropertyInt(kBatchSize, &batch);
    if (status == 0 && batch != 0) job.batchSize = static_cast<uint32_t>(batch);
    if (status != 0 && status != kNoProperty) return status;
    job.createTarget = RDActivityGetPropertyBoolean(kCreateTarget, 0) == 1;
    job.skipBadRecords = strcasecmp(onError.c_str(), "skip") == 0;
    job.resume = ResumeAsked();

    if (job.sourceLink.empty() || job.targetLink.empty())
        return Refuse("rdcopy needs the properties SourceLink and TargetLink.");
    if (batch < 0 ||
        (!onError.empty() && !job.skipBadRecords && strcasecmp(onError.c_str(), "stop") != 0))
        return Refuse("rdcopy: BatchSize must be positive and OnError \"stop\" or \"skip\".");
    if (!job.rounding.empty() && strcasecmp(job.rounding.c_str(), "none") != 0 &&
        strcasecmp(job.rounding.c_str(), "half-even") != 0)
        return Refuse("rdcopy: Rounding must be \"none\" or \"half-even\".");
    if (!job.rejects.empty() && !job.skipBadRecords)
        return Refuse("rdcopy: Rejects needs OnError = \"skip\" (a copy that stops at a bad "
                      "record rejects none).");
    return 0;
}

} // namespace rdcopy
