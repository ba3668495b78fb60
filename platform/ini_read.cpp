// SPDX-License-Identifier: Apache-2.0
// Reading configuration files: one key's value, or the listing of a section.
#include "home_dir.h"
#include "ini_lines.h"

#include <cstring>
#include <new>

namespace rdplat {

namespace {

// The value of the section's first entry for key: the text after '='.
// nullopt when the key has no entry.
std::optional<std::string_view> FindValue(const IniLines &lines, size_t header,
                                          std::string_view key) {
    for (size_t i = header + 1, end = SectionEnd(lines, header); i < end; ++i) {
        std::string_view line = lines[i].text;
        if (!MatchesKey(line, key)) continue;
        return line.size() > key.size() ? line.substr(key.size() + 1) : "";
    }
    return std::nullopt;
}

// Lists the section's entries into out (size bytes): NUL-terminated lines,
// ended by an empty string. With a null out only counts. Sets overflow when
// an entry did not fit; returns the number of entries listed.
size_t ListEntries(const IniLines &lines, size_t header, char *out, size_t size, bool &overflow) {
    size_t count = 0, pos = 0;
    overflow = false;
    for (size_t i = header + 1, end = SectionEnd(lines, header); i < end; ++i) {
        std::string_view line = lines[i].text;
        if (line.empty() || line[0] == ';' || IsOverLong(line)) continue;
        if (out != nullptr) {
            if (pos + line.size() + 2 > size) { // the entry, its NUL and the final NUL
                overflow = true;
                break;
            }
            std::memcpy(out + pos, line.data(), line.size());
            out[pos + line.size()] = '\0';
            pos += line.size() + 1;
        }
        ++count;
    }
    if (out != nullptr && pos < size) out[pos] = '\0';
    return count;
}

// Clears the start of an output as every read does before anything can fail.
void ClearOutput(char *out, size_t size, bool listing) {
    if (out == nullptr || size == 0) return;
    out[0] = '\0';
    if (listing && size > 1) out[1] = '\0';
}

uint32_t Read(const char *section, const char *key, char *out, size_t size, const char *file) {
    const bool listing = key == nullptr || *key == '\0';
    ClearOutput(out, size, listing);
    if (section == nullptr || file == nullptr) return RDSTATUS_INIMISSING;
    try {
        std::string path = ResolveConfigName(file);
        if (path.size() >= kConfigPathSize) return RDSTATUS_INIOPEN;
        IniLines lines;
        if (ReadIniFile(path, lines) != IniRead::Ok) return RDSTATUS_INIOPEN;
        std::optional<size_t> header = FindSection(lines, SectionHeader(section));
        if (!header) return RDSTATUS_INIMISSING;
        if (listing) {
            bool overflow = false;
            size_t count = ListEntries(lines, *header, out, size, overflow);
            if (overflow) return RDSTATUS_NOFIT;
            return count > 0 ? RDSTATUS_OK : RDSTATUS_INIMISSING;
        }
        std::optional<std::string_view> value = FindValue(lines, *header, key);
        if (!value || value->empty()) return RDSTATUS_INIMISSING;
        if (out != nullptr) {
            std::memcpy(out, value->data(), value->size());
            out[value->size()] = '\0';
        }
        return RDSTATUS_OK;
    } catch (const std::bad_alloc &) {
        return RDSTATUS_NOMEMORY;
    }
}

} // namespace

} // namespace rdplat

extern "C" {

RD_EXPORT uint32_t RDINIGetString(const char *section, const char *key, char *out,
                                  const char *file) {
    // A key's value is at most one line; a listing's room is the caller's.
    const bool listing = key == nullptr || *key == '\0';
    size_t size = listing ? SIZE_MAX : RDINI_LINE_MAX + 1;
    return rdplat::Read(section, key, out, out == nullptr ? 0 : size, file);
}

RD_EXPORT uint32_t RDINIGetSection(const char *section, char *out, uint32_t size,
                                   const char *file) {
    if (out != nullptr && size < 2) { // no room even for the empty list
        if (size == 1) out[0] = '\0';
        return RDSTATUS_NOFIT;
    }
    return rdplat::Read(section, nullptr, out, out == nullptr ? 0 : size, file);
}

} // extern "C"
