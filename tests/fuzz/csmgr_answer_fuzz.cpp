// SPDX-License-Identifier: Apache-2.0
// The server manager's answers as the fuzzer's input: the first byte chooses
// a request, the rest is the answer the client receives (in pieces of the
// sizes it reads, as the pipe would deliver it). Whatever the answer, the
// client must stay within its buffers and leave bounded results.
#include "activity/property_set.h"
#include "csmgr/transport.h"
#include "fuzz_input.h"
#include "rdplat.h"
#include "rdxapi.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using rdxfuzz::Require;

// The answer being served and how much of it has been read.
struct Served {
    std::vector<uint8_t> bytes;
    std::size_t at = 0;
} g_served;

void *Open(const char *, uint32_t) {
    g_served.at = 0;
    return &g_served;
}

bool Read(void *, uint8_t *buffer, uint32_t size, uint32_t &got, bool &more) {
    const std::size_t left = g_served.bytes.size() - g_served.at;
    got = static_cast<uint32_t>(left < size ? left : size);
    if (got != 0) std::memcpy(buffer, g_served.bytes.data() + g_served.at, got);
    g_served.at += got;
    more = g_served.at < g_served.bytes.size();
    return !g_served.bytes.empty();
}

bool Transact(void *channel, const uint8_t *, uint32_t, uint8_t *answer, uint32_t size,
              uint32_t &got, bool &more) {
    return Read(channel, answer, size, got, more);
}

void Close(void *) {}

constexpr rdx::csmgr::Channel kServed{Open, Transact, Read, Close};

uint32_t g_field = 0;

void Start() {
    static bool started = false;
    if (started) return;
    started = true;
    setenv("LC_ALL", "C.UTF-8", 1);
    char dir[] = "/tmp/rdxfuzzXXXXXX";
    Require(mkdtemp(dir) != nullptr);
    std::ofstream(std::string(dir) + "/quarry.ini")
        << "[Configuration]\nDirectory=" << dir << "/\nKitType=2\n";
    Require(chdir(dir) == 0 && RDPlatInit(nullptr) == 0 && RDSystemInit() == 0);
    Require(RDFieldAlloc(&g_field, RDTYPE_TEXT, 1) == 0);
    rdx::csmgr::SetChannel(&kServed);
}

uint32_t Request(uint8_t choice) {
    RDStream name{0, 4, RDSTREAM_BORROWED, RDCHARSET_INTERCHANGE,
                  reinterpret_cast<uint8_t *>(const_cast<char *>("name"))};
    RDStream text{};
    uint32_t status = 0, word = 0;
    switch (choice % 9) {
    case 0: {
        ServerInfoRecord info{};
        info.text = &text;
        status = CSMgrServerInfo(&info);
        Require(text.length <= 512);
        break;
    }
    case 1: {
        NextActivityRecord next{};
        next.name = &text;
        status = CSMgrNextActivity(&next);
        Require(text.length <= 512);
        break;
    }
    case 2:
        status = CSMgrCheckSync(1, &word);
        Require(word <= 1);
        break;
    case 3:
        status = CSMgrOpenActivity(&word, &name, 1);
        break;
    case 4: {
        uint64_t time = 0;
        status = CSMgrTime(&time);
        break;
    }
    case 5:
        status = CSMgrGetField(1, &name, g_field);
        break;
    case 6: {
        PropertySet *set = nullptr;
        Require(rdx::PropertySetCreate(&set) == 0);
        status = CSMgrGetDescription(1, set);
        rdx::PropertySetFree(set);
        break;
    }
    case 7:
        status = CSMgrLog(1, 2, &name);
        break;
    default: {
        PropertySet *set = nullptr;
        Require(rdx::PropertySetCreate(&set) == 0);
        const int32_t value = 5;
        Require(rdx::PropertySetAdd(set, 0x30001, 1, &value) == 0);
        status = CSMgrPutDescription(1, set);
        rdx::PropertySetFree(set);
        break;
    }
    }
    RDStreamDataFree(&text);
    return status;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Start();
    rdxfuzz::Input input(data, size);
    const uint8_t choice = input.Byte();
    g_served.bytes = input.Rest();
    g_served.bytes.shrink_to_fit();
    const uint32_t status = Request(choice);
    // An answer shorter than the header never counts as a success.
    if (g_served.bytes.size() < 16) Require(status == 783);
    return 0;
}
