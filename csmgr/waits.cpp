// SPDX-License-Identifier: Apache-2.0
// The client's waits for the server manager, as the environment or
// quarry.ini sets them.
#include "csmgr/transport.h"

#include "rdplat_ini.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace rdx::csmgr {

namespace {

// Whole seconds within [low, high]; anything else is no setting.
std::optional<uint32_t> Seconds(const char *text, uint32_t low, uint32_t high) {
    const char *end = text + std::strlen(text);
    uint32_t value = 0;
    auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end || value < low || value > high) return std::nullopt;
    return value;
}

// The environment variable when it is set, else the key of quarry.ini.
std::optional<uint32_t> Setting(const char *variable, const char *key, uint32_t low,
                                uint32_t high) {
    if (const char *value = std::getenv(variable); value != nullptr && *value != '\0')
        return Seconds(value, low, high);
    char text[RDINI_LINE_MAX + 1] = "";
    if (RDINIGetString("Configuration", key, text, "quarry.ini") != 0) return std::nullopt;
    return Seconds(text, low, high);
}

} // namespace

void ReadWaits() {
    if (auto seconds = Setting("RD_CSMGR_TIMEOUT", "AnswerTimeout", 1, 3600))
        SetAnswerMs(*seconds * 1000);
    if (auto seconds = Setting("RD_CSMGR_PIPE_WAIT", "PipeWait", 0, 600)) SetPipeSeconds(*seconds);
}

} // namespace rdx::csmgr
