// SPDX-License-Identifier: Apache-2.0
// Setting and removing keys of configuration files. The new content is built
// from the file's lines: an existing entry is replaced in place, a new entry
// lands after the last non-empty line of its section (empty lines that
// separate sections stay after it), and a missing section is appended.
#include "home_dir.h"
#include "ini_commit.h"
#include "ini_lines.h"

#include <cstring>
#include <new>
#include <unistd.h>

namespace rdplat {

namespace {

// "key=value\n".
std::string EntryLine(const char *key, const char *value) {
    std::string line = key;
    line += '=';
    line += value;
    line += '\n';
    return line;
}

class Rewriter {
  public:
    Rewriter(const IniLines &lines, const char *section, const char *key, const char *value)
        : lines_(lines), section_(section), key_(key), value_(value) {}

    // The new content, or nullopt when nothing changes.
    std::optional<std::string> Build() {
        std::optional<size_t> header = FindSection(lines_, SectionHeader(section_));
        if (!header) {
            if (value_ == nullptr) return std::nullopt;
            CopyLines(0, lines_.size());
            out_ += '\n';
            out_ += SectionHeader(section_);
            out_ += '\n';
            out_ += Entry();
            return out_;
        }
        CopyLines(0, *header + 1);
        return RewriteSection(*header + 1);
    }

  private:
    std::string Entry() const { return EntryLine(key_, value_); }

    // Copies lines [from, to); a last line without a line feed gets one when
    // anything follows it.
    void CopyLines(size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            out_ += lines_[i].text;
            out_ += lines_[i].ending.empty() ? "\n" : lines_[i].ending;
        }
    }

    void FlushEmpty() {
        for (; pendingEmpty_ > 0; --pendingEmpty_)
            out_ += "\n";
    }

    std::optional<std::string> RewriteSection(size_t first) {
        for (size_t i = first; i < lines_.size(); ++i) {
            const std::string &line = lines_[i].text;
            if (StartsSection(line)) {
                if (value_ == nullptr) return std::nullopt;
                out_ += Entry();
                FlushEmpty();
                CopyLines(i, lines_.size());
                return out_;
            }
            if (MatchesKey(line, key_)) {
                FlushEmpty();
                if (value_ != nullptr) out_ += Entry();
                CopyLines(i + 1, lines_.size());
                return out_;
            }
            if (line.empty()) {
                ++pendingEmpty_;
                continue;
            }
            FlushEmpty();
            CopyLines(i, i + 1);
        }
        if (value_ == nullptr) return std::nullopt;
        out_ += Entry();
        FlushEmpty();
        return out_;
    }

    const IniLines &lines_;
    const char *section_, *key_, *value_;
    std::string out_;
    size_t pendingEmpty_ = 0;
};

bool HasLineBreak(const char *text) {
    return std::strpbrk(text, "\r\n") != nullptr;
}

// Texts that cannot form a valid line: a line break would split the entry
// into lines of its own, an entry beginning with '[' would read as a section
// header, and an over-long line cannot be read back whole.
bool IsWritable(const char *section, const char *key, const char *value) {
    if (HasLineBreak(section) || HasLineBreak(key) || std::strchr(key, '=') != nullptr ||
        key[0] == '[')
        return false;
    if (std::strlen(section) + 2 > RDINI_LINE_MAX) return false;
    if (value == nullptr) return true;
    return !HasLineBreak(value) && std::strlen(key) + 1 + std::strlen(value) <= RDINI_LINE_MAX;
}

uint32_t SetString(const char *section, const char *key, const char *value, const char *file) {
    if (section == nullptr || key == nullptr || *key == '\0' || file == nullptr)
        return RDSTATUS_INIMISSING;
    if (!IsWritable(section, key, value)) return RDSTATUS_INIMISSING;
    std::string named = ResolveConfigName(file);
    if (named.size() >= kConfigPathSize) return RDSTATUS_INICREATE;
    std::string path;
    if (uint32_t status = RewriteTarget(named, path); status != RDSTATUS_OK) return status;
    IniLines lines;
    const IniRead read = ReadIniFile(path, lines);
    // A file that exists but cannot be read is never replaced.
    if (read == IniRead::Failed) return RDSTATUS_INIOPEN;
    std::optional<std::string> temp = ChooseTempName(path);
    if (!temp) return RDSTATUS_INITEMPNAME;
    if (read == IniRead::Missing) {
        if (value == nullptr) return RDSTATUS_OK;
        return CommitRewrite(path, *temp, SectionHeader(section) + '\n' + EntryLine(key, value));
    }
    std::optional<std::string> content = Rewriter(lines, section, key, value).Build();
    if (!content) return RDSTATUS_OK;
    return CommitRewrite(path, *temp, *content);
}

} // namespace

} // namespace rdplat

extern "C" {

RD_EXPORT uint32_t RDINISetString(const char *section, const char *key, const char *value,
                                  const char *file) {
    try {
        return rdplat::SetString(section, key, value, file);
    } catch (const std::bad_alloc &) {
        return RDSTATUS_NOMEMORY;
    }
}

RD_EXPORT uint32_t RDINIRemoveString(const char *section, const char *key, const char *file) {
    return RDINISetString(section, key, nullptr, file);
}

RD_EXPORT int RDINIDelete(const char *file) {
    if (file == nullptr) return 0;
    try {
        std::string path = rdplat::ResolveConfigName(file);
        if (path.size() >= RDPLAT_PATH_SIZE) return 0;
        return ::unlink(path.c_str()) == 0 ? 1 : 0;
    } catch (const std::bad_alloc &) {
        return 0;
    }
}

} // extern "C"
