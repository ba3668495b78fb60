// SPDX-License-Identifier: Apache-2.0
// Log records (kind 1: message number and text) and statistics (kind 2:
// the 19 words of a run), both stamped with the server's clock and the
// activity and run of the handle (0 for none). Statistics on a run's
// sample handle are its progress so far (samples.h).
#include "requests.h"
#include "samples.h"

#include "rdx_status.h"

namespace rdcsm {

using namespace rdx::csmgr;

uint32_t HandleLog(Exchange &exchange) {
    ConstBytes request = exchange.request;
    const uint32_t kind = GetU32(request, kWord16);
    uint32_t handle = GetU32(request, kWord20);
    const uint32_t sampled = RunOfSampleHandle(handle);
    if (sampled != 0) handle = sampled;
    Store &store = exchange.store();
    Resolved owner;
    if (handle != 0) {
        auto resolved = store.Resolve(handle);
        if (!resolved) return RDSTATUS_CSMNOHANDLE;
        owner = *resolved;
    }
    if (kind == kLogText) {
        if (request.size() < kLogExtra) return RDSTATUS_CSMBADREQUEST;
        auto text = TextAt(request, kLogTextAt, request.size() - kLogTextAt);
        if (!text) return RDSTATUS_CSMBADREQUEST;
        Statement insert(store.Db(), "INSERT INTO log(time_ms, activity, run, number, text) "
                                     "VALUES(?, ?, ?, ?, ?)");
        insert.Bind(1, store.NowMs())
            .Bind(2, owner.object)
            .Bind(3, owner.run)
            .Bind(4, int64_t{GetU32(request, kLogNumberAt)})
            .Bind(5, *text)
            .Run();
        return 0;
    }
    if (kind != kLogData || request.size() != kDataLogLength) return RDSTATUS_CSMBADREQUEST;
    if (sampled != 0) {
        uint32_t words[kStatisticsCount];
        for (uint32_t i = 0; i < kStatisticsCount; ++i)
            words[i] = GetU32(request, kStatisticsAt + 4 * i);
        RecordSample(store, owner.object, owner.run, words);
        return 0;
    }
    Statement insert(store.Db(),
                     "INSERT INTO stats(time_ms, activity, run, words) VALUES(?, ?, ?, ?)");
    insert.Bind(1, store.NowMs())
        .Bind(2, owner.object)
        .Bind(3, owner.run)
        .BindBlob(4, request.subspan(kStatisticsAt, 4 * kStatisticsCount))
        .Run();
    return 0;
}

} // namespace rdcsm
