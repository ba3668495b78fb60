// SPDX-License-Identifier: Apache-2.0
// The requests of the attachment and the server: shutdown, attach, detach,
// information, state, and the clock.
#include "clock.h"
#include "requests.h"

#include "rdplat_intl.h"
#include "rdx_status.h"

#include <cstring>
#include <unistd.h>

namespace rdcsm {

using namespace rdx::csmgr;

uint32_t HandleShutdown(Exchange &exchange) {
    exchange.server.stopping = true;
    return 0;
}

uint32_t HandleAttach(Exchange &exchange) {
    ++exchange.server.attached;
    return 0;
}

uint32_t HandleDetach(Exchange &exchange) {
    uint32_t attached = exchange.server.attached.load();
    while (attached > 0 &&
           !exchange.server.attached.compare_exchange_weak(attached, attached - 1)) {
    }
    return 0;
}

namespace {

int64_t Count(Store &store, const char *sql) {
    Statement count(store.Db(), sql);
    return count.Step() ? count.Int(0) : 0;
}

} // namespace

// Values 1-8: protocol level 1, process id, attached clients, the state
// value of the last state request, queued runs, running runs, activities,
// links.
uint32_t HandleInformation(Exchange &exchange) {
    Store &store = exchange.store();
    const uint32_t values[8] = {
        1,
        static_cast<uint32_t>(getpid()),
        exchange.server.attached.load(),
        static_cast<uint32_t>(store.Setting("server_state", 0)),
        static_cast<uint32_t>(Count(store, "SELECT count(*) FROM runs WHERE state = 0")),
        static_cast<uint32_t>(Count(store, "SELECT count(*) FROM runs WHERE state = 1")),
        static_cast<uint32_t>(Count(store, "SELECT count(*) FROM objects WHERE kind = 1")),
        static_cast<uint32_t>(Count(store, "SELECT count(*) FROM objects WHERE kind = 2")),
    };
    Bytes out = exchange.Out();
    std::memset(out.data() + kHeaderSize, 0, out.size() - kHeaderSize);
    for (std::size_t i = 0; i < 6; ++i)
        PutU32(out, kInfoValuesAt + 4 * i, values[i]);
    PutU32(out, kInfoModeAt, exchange.server.translationMode);
    for (std::size_t i = 0; i < 2; ++i)
        PutU32(out, kInfoValues2At + 4 * i, values[6 + i]);
    std::string_view text = exchange.server.text;
    if (text.size() >= kInfoTextSize) text = text.substr(0, kInfoTextSize - 1);
    PutText(out, kInfoTextAt, text);
    const RDIntlFormat *intl = RDPlatGetIntlFormat();
    if (intl == nullptr) return RDSTATUS_NOINTLFORMAT;
    static_assert(sizeof(RDIntlFormat) == kInfoLength - kInfoIntlAt);
    std::memcpy(out.data() + kInfoIntlAt, intl, sizeof *intl);
    return 0;
}

uint32_t HandleState(Exchange &exchange) {
    exchange.store().SetSetting("server_state", GetU32(exchange.request, kWord16));
    return 0;
}

uint32_t HandleTime(Exchange &exchange) {
    const WireDatetime now = DatetimeOfMs(exchange.store().NowMs());
    Bytes out = exchange.Out();
    PutU32(out, kWord16, now.ticks);
    PutU32(out, kWord20, now.date);
    return 0;
}

// The value moves the clock by that many seconds (a signed 32-bit number).
uint32_t HandleAdvanceClock(Exchange &exchange) {
    const auto seconds = static_cast<int32_t>(GetU32(exchange.request, kAdvanceAt));
    exchange.store().MoveClock(seconds * 1000LL);
    return 0;
}

} // namespace rdcsm
