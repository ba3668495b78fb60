// SPDX-License-Identifier: Apache-2.0
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

uint32_t Refuse(const std::string &what) {
    RDStream text;
    RDStreamClear(&text);
    RDStreamDataSet(&text, RDCHARSET_DEFAULT, what.data(), static_cast<uint32_t>(what.size()));
    RDActivityLogStream(0, &text, kBadJob);
    RDStreamDataFree(&text);
    return kBadJob;
}

// Whether the host set the environment variable to "1" (asking the copy to
// resume, or to start again from nothing).
bool HostAsked(const char *variable) {
    RDStream name;
    RDStreamClear(&name);
    uint32_t number = 0;
    std::string value;
    uint32_t status = RDStreamDataSet(&name, RDCHARSET_DEFAULT, variable,
                                      static_cast<uint32_t>(strlen(variable)));
    if (status == 0) status = RDActivityAddProperty(&name, RDPROPERTY_ENVIRONMENT, &number);
    RDStreamDataFree(&name);
    return status == 0 && ReadText(number, value) == 0 && value == "1";
}

constexpr std::pair<const char *, Mode> kModes[] = {
    {"append", Mode::Append},     {"create", Mode::Create}, {"replace", Mode::Replace},
    {"truncate", Mode::Truncate}, {"upsert", Mode::Upsert}, {"delete-insert", Mode::DeleteInsert},
};

// The mode a word names (letter case ignored); false for no mode.
bool ModeOf(const std::string &word, Mode &mode) {
    for (auto [name, named] : kModes)
        if (strcasecmp(word.c_str(), name) == 0) {
            mode = named;
            return true;
        }
    return false;
}

// Mode, or CreateTarget = 1 for a job written before Mode: both may be
// given only when they agree.
uint32_t ChooseMode(const std::string &word, bool createTarget, CopyJob &job) {
    if (word.empty()) {
        job.mode = createTarget ? Mode::Create : Mode::Append;
        return 0;
    }
    ModeOf(word, job.mode);
    if (createTarget && job.mode != Mode::Create)
        return Refuse("rdcopy: Mode \"" + word +
                      "\" and CreateTarget = 1 disagree (CreateTarget = 1 means Mode "
                      "\"create\"); keep one of them.");
    return 0;
}

// The incremental way of IncrementalBy and IncrementalKey, and what goes
// with it: a bookmark lives in the target, so it cannot be taken away with
// each run's table change.
uint32_t ChooseIncremental(const std::string &by, CopyJob &job) {
    if (strcasecmp(by.c_str(), "offset") == 0) {
        if (!job.incrementalKey.empty())
            return Refuse("rdcopy: IncrementalBy = \"offset\" reads a file on from where the last "
                          "run ended and takes no IncrementalKey; keep one of them.");
        job.incremental = Incremental::Offset;
    } else if (!job.incrementalKey.empty()) {
        job.incremental = Incremental::Key;
    } else if (!by.empty()) {
        return Refuse("rdcopy: IncrementalBy = \"key\" needs the column in IncrementalKey.");
    }
    if (job.incremental != Incremental::None &&
        (job.mode == Mode::Replace || job.mode == Mode::Truncate))
        return Refuse("rdcopy: an incremental copy cannot use Mode \"" +
                      std::string(ModeName(job.mode)) +
                      "\": each run would take away what the earlier runs copied. Use "
                      "\"append\" or \"upsert\" (and --full-refresh to start again).");
    return 0;
}

// Upsert and delete-insert merge by Key.
uint32_t CheckKey(const CopyJob &job) {
    if (job.Merges() && job.key.empty())
        return Refuse("rdcopy: Mode \"" + std::string(ModeName(job.mode)) +
                      "\" needs the key columns in Key (for example Key = \"id\").");
    return 0;
}

} // namespace

const char *ModeName(Mode mode) {
    for (auto [name, named] : kModes)
        if (named == mode) return name;
    return "append";
}

uint32_t ReadJob(CopyJob &job) {
    std::string onError, mode, incrementalBy;
    for (auto [number, text] : {std::pair{kSourceLink, &job.sourceLink},
                                {kTargetLink, &job.targetLink},
                                {kSourceSelect, &job.sourceSelect},
                                {kTargetTable, &job.targetTable},
                                {kOnError, &onError},
                                {kKeyColumn, &job.keyColumn},
                                {kRejects, &job.rejects},
                                {kRounding, &job.rounding},
                                {kMode, &mode},
                                {kIncrementalKey, &job.incrementalKey},
                                {kIncrementalBy, &incrementalBy},
                                {kKey, &job.key},
                                {static_cast<PropertyNumber>(kNameProperty), &job.name}}) {
        const uint32_t status = ReadText(number, *text);
        if (status != 0) return status;
    }
    int32_t batch = 0;
    const uint32_t status = RDActivityGetPropertyInt(kBatchSize, &batch);
    if (status != 0 && status != kNoProperty) return status;
    if (status == 0) {
        if (const std::string refused = RefusedValue(kBatchSize, "", batch); !refused.empty())
            return Refuse(refused);
        job.batchSize = static_cast<uint32_t>(batch);
    }
    // Pipeline is on unless set to 0.
    int32_t pipeline = 0;
    const uint32_t piped = RDActivityGetPropertyInt(kPipeline, &pipeline);
    if (piped != 0 && piped != kNoProperty) return piped;
    job.pipeline = piped == kNoProperty || pipeline != 0;
    job.skipBadRecords = strcasecmp(onError.c_str(), "skip") == 0;
    job.resume = HostAsked(kResumeVariable);
    job.fullRefresh = HostAsked(kFullRefreshVariable);

    if (job.sourceLink.empty() || job.targetLink.empty())
        return Refuse("rdcopy needs the properties SourceLink and TargetLink.");
    for (auto [number, text] : {std::pair{kOnError, &onError},
                                {kRounding, &job.rounding},
                                {kMode, &mode},
                                {kIncrementalBy, &incrementalBy}})
        if (const std::string refused = RefusedValue(number, *text, 0); !refused.empty())
            return Refuse(refused);
    if (const uint32_t status =
            ChooseMode(mode, RDActivityGetPropertyBoolean(kCreateTarget, 0) == 1, job);
        status != 0)
        return status;
    if (const uint32_t status = ChooseIncremental(incrementalBy, job); status != 0) return status;
    if (const uint32_t status = CheckKey(job); status != 0) return status;
    if (job.resume && job.fullRefresh)
        return Refuse("rdcopy: a run cannot both resume and start again from nothing (full "
                      "refresh); ask for one of them.");
    if (!job.rejects.empty() && !job.skipBadRecords)
        return Refuse("rdcopy: Rejects needs OnError = \"skip\" (a copy that stops at a bad "
                      "record rejects none).");
    return 0;
}

std::string RefusedValue(uint32_t number, const std::string &text, int32_t integer) {
    auto oneOf = [&](const char *a, const char *b) {
        return text.empty() || strcasecmp(text.c_str(), a) == 0 || strcasecmp(text.c_str(), b) == 0;
    };
    switch (number) {
    case kBatchSize:
        if (integer >= 1) return "";
        return "rdcopy: BatchSize must be 1 or more, not " + std::to_string(integer) + ".";
    case kOnError:
        if (oneOf("stop", "skip")) return "";
        return "rdcopy: OnError must be \"stop\" or \"skip\", not \"" + text + "\".";
    case kRounding:
        if (oneOf("none", "half-even")) return "";
        return "rdcopy: Rounding must be \"none\" or \"half-even\", not \"" + text + "\".";
    case kMode: {
        Mode mode = Mode::Append;
        if (text.empty() || ModeOf(text, mode)) return "";
        return "rdcopy: Mode must be \"create\", \"append\", \"replace\", \"truncate\", "
               "\"upsert\" or \"delete-insert\", not \"" +
               text + "\".";
    }
    case kIncrementalBy:
        if (oneOf("key", "offset")) return "";
        return "rdcopy: IncrementalBy must be \"key\" or \"offset\", not \"" + text + "\".";
    default:
        return "";
    }
}

uint32_t CheckProperty(uint32_t number, uint32_t field) {
    std::string text;
    int32_t integer = 0;
    uint32_t isNull = 0;
    uint32_t status = 0;
    if (number == kBatchSize) {
        status = RDFieldGetInt(field, 1, &integer, &isNull);
    } else if (number == kOnError || number == kRounding || number == kMode ||
               number == kIncrementalBy) {
        RDStream value;
        RDStreamClear(&value);
        status = RDFieldGetStream(field, 1, RDCHARSET_DEFAULT, &value, &isNull);
        if (status == 0 && value.data != nullptr)
            text.assign(reinterpret_cast<const char *>(value.data), value.length);
        RDStreamDataFree(&value);
    }
    if (status != 0) return status;
    const std::string refused = RefusedValue(number, text, integer);
    return refused.empty() ? 0 : Refuse(refused);
}

} // namespace rdcopy
