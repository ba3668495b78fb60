// SPDX-License-Identifier: Apache-2.0
// The message catalogue: every status number the public headers define has a
// text, the layout entries are there, and look-ups bound their writes.
#include "rdres.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>

namespace {

// The number a "#define RDSTATUS_NAME number" line defines, into found.
void ReadDefine(const std::string &line, std::map<std::string, uint32_t> &found) {
    std::istringstream words(line);
    std::string directive, name, value;
    words >> directive;
    if (directive == "#") {
        words >> directive;
        directive = "#" + directive;
    }
    if (directive != "#define" || !(words >> name >> value) || name.rfind("RDSTATUS_", 0) != 0)
        return;
    char *end = nullptr;
    const unsigned long number = std::strtoul(value.c_str(), &end, 0);
    EXPECT_NE(value.c_str(), end) << "unreadable: " << line;
    found[name] = static_cast<uint32_t>(number);
}

// Every status number the headers in the public folders define, by name.
std::map<std::string, uint32_t> DefinedStatuses() {
    std::map<std::string, uint32_t> found;
    for (const char *folder : {RDX_SOURCE_INCLUDE_DIR, RDX_GENERATED_INCLUDE_DIR}) {
        for (const auto &entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() != ".h") continue;
            std::ifstream in(entry.path());
            for (std::string line; std::getline(in, line);)
                ReadDefine(line, found);
        }
    }
    return found;
}

std::string Text(uint32_t number) {
    std::array<char, RDRES_TEXT_SIZE> buffer{};
    const uint32_t length = RDLibraryLoadString(number, buffer.data(), RDRES_TEXT_SIZE);
    EXPECT_EQ(std::strlen(buffer.data()), length) << number;
    return std::string(buffer.data(), length);
}

TEST(Catalogue, EveryDefinedStatusHasAText) {
    const auto statuses = DefinedStatuses();
    EXPECT_GT(statuses.size(), 60u); // the scan found the headers
    for (const auto &[name, number] : statuses)
        EXPECT_NE("", Text(number)) << name << " = " << number << " has no text";
}

TEST(Catalogue, LayoutEntriesAndNameRanges) {
    const uint32_t layout[] = {1473, 1474, 1475, 1476, 1477, 1478, 1480, 1636, 1637, 1638};
    for (uint32_t number : layout)
        EXPECT_NE("", Text(number)) << number;
    EXPECT_EQ("RDXIdentify", Text(1281));
    EXPECT_EQ("RDXAction", Text(1295));
    EXPECT_EQ("RDXDrop", Text(1298));
    for (uint32_t i = 0; i < 32; ++i) {
        EXPECT_NE("", Text(1344 + i)) << "action " << i;
        EXPECT_NE("", Text(1376 + i)) << "kind " << i;
        EXPECT_NE("", Text(1408 + i)) << "type " << i;
        EXPECT_NE("", Text(1440 + i)) << "non-text kind " << i;
    }
    // The templates take their values as %s, in the documented number.
    const std::pair<uint32_t, int> templates[] = {
        {1473, 1}, {1474, 1}, {1475, 2}, {1476, 2}, {1477, 1}};
    for (const auto &[number, count] : templates) {
        const std::string text = Text(number);
        int seen = 0;
        for (size_t at = text.find("%s"); at != std::string::npos; at = text.find("%s", at + 2))
            ++seen;
        EXPECT_EQ(count, seen) << number;
    }
}

TEST(Catalogue, LookUpsBoundTheirWrites) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(0u, RDLibraryLoadString(1, buffer, sizeof buffer)); // no text
    EXPECT_EQ('\0', buffer[0]);
    EXPECT_EQ(0u, RDLibraryLoadString(0x7FFFFFFF, buffer, sizeof buffer));
    EXPECT_EQ(0u, RDLibraryLoadString(258, nullptr, 512));
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(0u, RDLibraryLoadString(258, buffer, 0));
    EXPECT_EQ('x', buffer[0]);
    EXPECT_EQ(4u, RDLibraryLoadString(1281, buffer, 5)); // cut and terminated
    EXPECT_STREQ("RDXI", buffer);
    EXPECT_EQ('x', buffer[5]);
    EXPECT_EQ(0u, RDLibraryLoadString(1281, buffer, 1));
    EXPECT_STREQ("", buffer);
}

} // namespace
