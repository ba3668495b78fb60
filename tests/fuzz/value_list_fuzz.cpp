// SPDX-License-Identifier: Apache-2.0
// Number and datetime lists on any bytes, both as list data and as text.
// A number text that parses must format, parse and format again to the
// same text (the first text may hold more digits than the 15 written).
#include "fuzz_input.h"
#include "rdplat.h"
#include "rdxapi.h"
#include "translate/value_list.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using Function = uint32_t (*)(const RDStream &, RDStream *);

// The platform and the system context, started once in a temporary home.
void Start() {
    static bool started = false;
    if (started) return;
    started = true;
    setenv("LC_ALL", "C.UTF-8", 1);
    char dir[] = "/tmp/rdxfuzzXXXXXX";
    rdxfuzz::Require(mkdtemp(dir) != nullptr);
    std::ofstream(std::string(dir) + "/quarry.ini")
        << "[Configuration]\nDirectory=" << dir << "/\n";
    rdxfuzz::Require(chdir(dir) == 0 && RDPlatInit(nullptr) == 0 && RDSystemInit() == 0);
}

// Runs a conversion; returns its status and, on success, its bytes.
uint32_t Run(Function f, const std::vector<uint8_t> &bytes, uint32_t from, std::string *out) {
    RDStream source{0, static_cast<uint32_t>(bytes.size()), RDSTREAM_BORROWED, from,
                    const_cast<uint8_t *>(bytes.data())};
    static uint8_t empty[8];
    if (source.data == nullptr) source.data = empty;
    RDStream destination{};
    const uint32_t status = f(source, &destination);
    if (status == 0 && destination.data != nullptr)
        out->assign(reinterpret_cast<char *>(destination.data), destination.length);
    RDStreamDataFree(&destination);
    return status;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Start();
    rdxfuzz::Input input(data, size);
    const bool datetimes = (input.Byte() & 1) != 0;
    const std::vector<uint8_t> bytes = input.Rest();
    const Function toText = datetimes ? rdx::DatetimeListToText : rdx::NumberListToText;
    const Function toList = datetimes ? rdx::TextToDatetimeList : rdx::TextToNumberList;
    const uint32_t kind = datetimes ? RDKIND_DATETIMELIST : RDKIND_NUMBERLIST;

    std::string text;
    const uint32_t formatted = Run(toText, bytes, kind, &text);
    rdxfuzz::Require(formatted == 0 || formatted == 12801 || formatted == 12807);

    std::string list;
    const uint32_t parsed = Run(toList, bytes, RDCHARSET_INTERCHANGE, &list);
    rdxfuzz::Require(parsed == 0 || parsed == 12801 || parsed == 12807);
    if (parsed != 0 || datetimes) return 0; // datetime texts depend on the settings
    std::string first, relist, second;
    rdxfuzz::Require(Run(toText, std::vector<uint8_t>(list.begin(), list.end()), kind, &first) ==
                     0);
    rdxfuzz::Require(Run(toList, std::vector<uint8_t>(first.begin(), first.end()),
                         RDCHARSET_INTERCHANGE, &relist) == 0);
    rdxfuzz::Require(
        Run(toText, std::vector<uint8_t>(relist.begin(), relist.end()), kind, &second) == 0);
    rdxfuzz::Require(first == second);
    return 0;
}
