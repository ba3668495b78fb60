// SPDX-License-Identifier: Apache-2.0
// An activity that tells, as informational entries of its run's log, how
// its host asked it to start ("Asked: RDX_RESUME=1, RDX_FULL_REFRESH=-." where
// "-" is a variable that is not set), then the texts of its properties First
// and Last, each when set: the reports' tests give it the lines a copy logs
// at its start and end.
#include "activity_entries.h"
#include "property_value.h"
#include "rdxapi.h"

#include <cstdlib>
#include <string>

namespace {

constexpr uint32_t kFirst = 1, kLast = 2;

void Tell(const std::string &line) {
    RDStream text;
    RDStreamClear(&text);
    RDStreamDataSet(&text, RDCHARSET_DEFAULT, line.data(), static_cast<uint32_t>(line.size()));
    RDActivityLogStream(RDLOG_INFORMATIONAL, &text, 0);
    RDStreamDataFree(&text);
}

std::string Property(uint32_t number) {
    RDStream text;
    RDStreamClear(&text);
    std::string value;
    if (RDActivityGetPropertyStream(number, RDCHARSET_DEFAULT, &text) == 0 && text.data != nullptr)
        value.assign(reinterpret_cast<const char *>(text.data), text.length);
    RDStreamDataFree(&text);
    return value;
}

std::string Variable(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr ? value : "-";
}

struct Activity {
    static constexpr uint32_t kNameCharset = 65535;
    static constexpr PropertyDeclaration kDeclarations[] = {
        rdxc::Declare(kFirst, RDTYPE_TEXT, "First"),
        rdxc::Declare(kLast, RDTYPE_TEXT, "Last"),
        PropertyDeclaration{0, 0, 0, nullptr, 0},
    };

    static uint32_t Launch() {
        Tell("Asked: RDX_RESUME=" + Variable("RDX_RESUME") +
             ", RDX_FULL_REFRESH=" + Variable("RDX_FULL_REFRESH") + ".");
        for (uint32_t number : {kFirst, kLast})
            if (const std::string line = Property(number); !line.empty()) Tell(line);
        return 0;
    }
};

} // namespace

RDXC_ACTIVITY_CONNECTOR(Activity)
