// SPDX-License-Identifier: Apache-2.0
#include "ini_lines.h"

#include "file_regular.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <strings.h>
#include <unistd.h>

namespace rdplat {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};

} // namespace

IniRead ReadIniFile(const std::string &path, IniLines &lines) {
    lines.clear();
    int fd = OpenRegularForReading(path.c_str());
    if (fd < 0) return errno == ENOENT ? IniRead::Missing : IniRead::Failed;
    std::unique_ptr<FILE, FileCloser> file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
        return IniRead::Failed;
    }
    IniLine line;
    for (int c; (c = std::getc(file.get())) != EOF;) {
        if (c != '\n') {
            line.text += static_cast<char>(c);
            continue;
        }
        line.ending = "\n";
        if (!line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.ending = "\r\n";
        }
        lines.push_back(std::move(line));
        line = IniLine{};
    }
    // A last line without a line feed is still a line: files saved by
    // editors that omit the final line feed read the same.
    if (!line.text.empty()) lines.push_back(std::move(line));
    return std::ferror(file.get()) != 0 ? IniRead::Failed : IniRead::Ok;
}

std::string SectionHeader(const char *section) {
    // Appended piece by piece: "[" + std::string(...) trips a false
    // -Wrestrict of GCC 12 at -O3 (inside std::string's insert).
    std::string header;
    header.reserve(std::strlen(section) + 2);
    header += '[';
    header += section;
    header += ']';
    return header;
}

bool IsSectionHeader(std::string_view line, std::string_view header) {
    return !line.empty() && !IsOverLong(line) && StartsWithNoCase(line, header);
}

bool MatchesKey(std::string_view line, std::string_view key) {
    if (IsOverLong(line) || !StartsWithNoCase(line, key)) return false;
    return line.size() == key.size() || line[key.size()] == '=';
}

std::optional<size_t> FindSection(const IniLines &lines, std::string_view header) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (IsSectionHeader(lines[i].text, header)) return i;
    return std::nullopt;
}

size_t SectionEnd(const IniLines &lines, size_t header) {
    size_t i = header + 1;
    while (i < lines.size() && !StartsSection(lines[i].text))
        ++i;
    return i;
}

} // namespace rdplat
