// SPDX-License-Identifier: Apache-2.0
// The host sequence: CSMgrInit, CSMgrOpenActivity, RDActivityInit,
// RDActivityLaunch, RDActivityTerm, CSMgrDoneActivity, CSMgrTerm. The
// activity is opened by name, so it runs even while other runs are queued.
// While it runs, its progress goes to the server manager as samples.
#include "host_run.h"
#include "report.h"
#include "sampler.h"
#include "signals.h"

#include "rdres.h"
#include "rdxapi.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace rdrun {
namespace {

// The end code the server manager records for an activity that logged a
// failure; a stopped run's end code is the stop status itself, so that the
// server manager tells it from a failure.
constexpr uint32_t kEndFailed = 4148;
constexpr uint32_t kStopStatus = 1542, kStopNowStatus = 1543;

uint32_t EndCode(const RunResult &result) {
    if (result.status == kStopStatus || result.status == kStopNowStatus) return result.status;
    return result.status != 0 || result.statusWord != 0 ? kEndFailed : 0;
}

// What the activity's last log entry says in its own words (the free text
// without the sections the log adds), else the catalogue's text of the
// status. An activity ends with an entry that tells its outcome.
std::string MessageText(uint32_t message) {
    std::string text;
    RDStream formatted, own;
    RDStreamClear(&formatted);
    RDStreamClear(&own);
    uint32_t number = 0;
    const uint32_t last = RDActivityGetLogLast(&formatted, &number, &own);
    if (last != 0 && last != RDSTATUS_NOACTIVITY) {
        // The entry's own text is handed out only beside a number.
        const RDStream &words = number != 0 ? own : formatted;
        if (words.data != nullptr)
            text.assign(reinterpret_cast<const char *>(words.data), words.length);
        if (number == 0) text = OwnWords(text);
    }
    RDStreamDataFree(&formatted);
    RDStreamDataFree(&own);
    if (!text.empty() || message == 0) return text;
    return StatusText(message);
}

// Runs RDActivityLaunch on a thread of its own and, from this one until it
// ends, passes on a stop signal to the activity, reports progress and sends
// the server manager samples of it.
uint32_t LaunchWatched(ActivityBlock &block, const ProgressFn &progress, unsigned interval,
                       uint32_t *statistics) {
    Sampler sampler(block.handle);
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    uint32_t status = 0;
    std::thread worker([&] {
        const uint32_t result = RDActivityLaunch();
        std::lock_guard<std::mutex> lock(mutex);
        status = result;
        done = true;
        ended.notify_one();
    });
    std::unique_lock<std::mutex> lock(mutex);
    while (!ended.wait_for(lock, std::chrono::milliseconds(interval), [&] { return done; })) {
        PassStop(block);
        if (!progress && !sampler.Active()) continue;
        RDActivityGetStatistics(statistics, kStatisticsWords);
        if (progress) progress(statistics);
        sampler.Offer(statistics);
    }
    lock.unlock();
    worker.join();
    return status;
}

// Everything between a started activity and its end.
void RunStarted(RunResult &result, ActivityBlock &block, const ProgressFn &progress,
                unsigned interval) {
    result.status = LaunchWatched(block, progress, interval, result.statistics);
    RDActivityGetStatistics(result.statistics, kStatisticsWords);
    result.statusWord = RDActivityGetStatus();
    result.message = MessageText(result.status != 0 ? result.status : result.statusWord);
}

// Why the server manager did not record the run's end.
std::string EndFailureText(uint32_t status) {
    if (status == RDSTATUS_NOPIPE || status == RDSTATUS_EXCHANGE)
        return "the server manager did not answer";
    return "the server manager answered status " + std::to_string(status) + ": " +
           StatusText(status);
}

// A run whose end was not recorded has not ended well: its status becomes
// that failure unless the activity failed first, and its text tells it.
void NoteUnrecorded(RunResult &result, bool failed) {
    const std::string why =
        "the run's end could not be recorded: " + EndFailureText(result.endStatus);
    if (!failed) {
        result.status = result.endStatus;
        result.message = why;
        return;
    }
    if (result.message.empty()) result.message = "status " + std::to_string(result.status);
    result.message += "; " + why;
}

} // namespace

RunResult RunBlock(ActivityBlock &block, const ProgressFn &progress, unsigned interval) {
    RunResult result;
    result.status = RDActivityInit(&block);
    if (result.status == 0) {
        result.started = true;
        RunStarted(result, block, progress, interval);
        const uint32_t termStatus = RDActivityTerm();
        if (result.status == 0) result.status = termStatus;
    } else {
        result.message = MessageText(result.status);
    }
    const bool failed = result.status != 0 || result.statusWord != 0;
    result.endCode = EndCode(result);
    result.endStatus = CSMgrDoneActivity(block.handle, result.endCode);
    if (result.endStatus != 0) NoteUnrecorded(result, failed);
    return result;
}

RunResult HostRun(const std::string &name, const ProgressFn &progress, unsigned interval) {
    RunResult result;
    result.status = CSMgrInit(nullptr);
    if (result.status != 0) return result;
    RDStream text;
    RDStreamClear(&text);
    uint32_t handle = 0;
    result.status =
        RDStreamDataSet(&text, RDCHARSET_DEFAULT, name.data(), static_cast<uint32_t>(name.size()));
    if (result.status == 0) result.status = CSMgrOpenActivity(&handle, &text, 1);
    // A link's name is a common slip: told apart from a name nobody defined.
    uint32_t link = 0;
    if (result.status == RDSTATUS_CSMNONAME) result.namesLink = CSMgrGetID(&link, &text, 4) == 0;
    RDStreamDataFree(&text);
    if (result.status == 0) {
        ActivityBlock block{handle, 0, {0, 0, 0}};
        result = RunBlock(block, progress, interval);
    }
    CSMgrTerm();
    return result;
}

} // namespace rdrun
