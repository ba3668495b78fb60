// SPDX-License-Identifier: Apache-2.0
// The line model of configuration files: reading a file into lines, and the
// section and key matching rules shared by reading and rewriting.
#pragma once

#include "rdplat_ini.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rdplat {

struct IniLine {
    std::string text; // without its line end
    // "\n", "\r\n", or "" for a last line without a line feed (static texts:
    // no allocation per line).
    std::string_view ending;
};

using IniLines = std::vector<IniLine>;

// How reading a whole file went.
enum class IniRead { Ok, Missing, Failed };

// Reads a whole file into lines. Missing: the file does not exist; Failed:
// it exists but cannot be opened or read, or is no regular file (a rewrite
// must then leave it be).
IniRead ReadIniFile(const std::string &path, IniLines &lines);

// "[" + section + "]".
std::string SectionHeader(const char *section);

// True when the line is the header of the section: it begins, without regard
// to case, with the bracketed name.
bool IsSectionHeader(std::string_view line, std::string_view header);

// Lines longer than RDINI_LINE_MAX are outside the format: reading never
// takes them for a header, an entry or a listed line, and rewriting copies
// them unchanged. (Cutting them would hand out a wrong value.)
inline bool IsOverLong(std::string_view line) {
    return line.size() > RDINI_LINE_MAX;
}

// True when a line starts the next section.
inline bool StartsSection(std::string_view line) {
    return !line.empty() && line[0] == '[' && !IsOverLong(line);
}

// True when the line is an entry of key: it begins, without regard to case,
// with the key, followed by '=' or the end of the line.
bool MatchesKey(std::string_view line, std::string_view key);

// Index of the section's header line, or nullopt.
std::optional<size_t> FindSection(const IniLines &lines, std::string_view header);

// Index one past the section's last line: the next line that starts a
// section, or the end.
size_t SectionEnd(const IniLines &lines, size_t header);

} // namespace rdplat
