// SPDX-License-Identifier: Apache-2.0
#include "mark_file.h"

#include "own_file.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace rdxc {
namespace {

constexpr std::string_view kFirstLine = "rdx-mark 1\n";
// Marks are short texts: a side file beyond this was not written here.
constexpr size_t kMostBytes = 1u << 20;

void Escape(std::string_view text, std::string &out) {
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
}

bool Unescape(std::string_view text, std::string &out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        default:
            return false;
        }
    }
    return true;
}

// One line "NAME<TAB>LENGTH<TAB>MARK" (without its line end).
bool ParseEntry(std::string_view line, MarkEntry &entry) {
    const size_t tab1 = line.find('\t');
    const size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos || line.find('\t', tab2 + 1) != std::string_view::npos)
        return false;
    const std::string_view length = line.substr(tab1 + 1, tab2 - tab1 - 1);
    const auto [end, failure] =
        std::from_chars(length.data(), length.data() + length.size(), entry.length);
    if (failure != std::errc() || end != length.data() + length.size() || length.empty())
        return false;
    return Unescape(line.substr(0, tab1), entry.name) && !entry.name.empty() &&
           Unescape(line.substr(tab2 + 1), entry.mark);
}

bool ParseMarks(std::string_view text, std::vector<MarkEntry> &entries) {
    if (text.substr(0, kFirstLine.size()) != kFirstLine) return false;
    text.remove_prefix(kFirstLine.size());
    while (!text.empty()) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos) return false;
        MarkEntry entry;
        if (!ParseEntry(text.substr(0, end), entry)) return false;
        for (const MarkEntry &seen : entries) {
            if (seen.name == entry.name) return false;
        }
        entries.push_back(std::move(entry));
        text.remove_prefix(end + 1);
    }
    return true;
}

std::string Failed(const std::string &what, int error) {
    return what + ": " + std::strerror(error);
}

bool WriteWhole(int fd, const std::string &bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Flushes the folder of path, so that a rename in it lasts.
void SyncFolder(const std::string &path) {
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

std::string MarkPath(const std::string &path) {
    return path + ".rdx-mark";
}

bool ReadMarks(const std::string &sidePath, std::vector<MarkEntry> &entries, std::string &error) {
    entries.clear();
    // Marks decide how far the target is cut back: only a side file of the
    // user's own is trusted, never one reached through a link.
    bool missing = false;
    const FileDescriptor file = OpenOwnFile(sidePath, O_RDONLY, error, &missing);
    if (!file) {
        if (missing) error.clear();
        return missing;
    }
    const int fd = file.get();
    std::string text;
    char chunk[8192];
    ssize_t n = 0;
    while (text.size() <= kMostBytes &&
           ((n = ::read(fd, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR))) {
        if (n > 0) text.append(chunk, static_cast<size_t>(n));
    }
    const int readError = n < 0 ? errno : 0;
    if (readError != 0) {
        error = Failed(sidePath + " cannot be read", readError);
        return false;
    }
    if (text.size() > kMostBytes) {
        error = sidePath + " holds more than " + std::to_string(kMostBytes) + " bytes";
        return false;
    }
    if (!ParseMarks(text, entries)) {
        entries.clear();
        error = sidePath + " is not a file of marks as this connector writes them";
        return false;
    }
    return true;
}

bool WriteMarks(const std::string &sidePath, const std::vector<MarkEntry> &entries,
                std::string &error) {
    std::string text(kFirstLine);
    for (const MarkEntry &entry : entries) {
        Escape(entry.name, text);
        text += '\t' + std::to_string(entry.length) + '\t';
        Escape(entry.mark, text);
        text += '\n';
    }
    if (text.size() > kMostBytes) {
        error = "the marks would take more than " + std::to_string(kMostBytes) + " bytes";
        return false;
    }
    // The process id makes the name unique among live writers; one left by
    // a process that was killed is replaced.
    const std::string temporary = sidePath + "." + std::to_string(::getpid()) + ".tmp";
    ::unlink(temporary.c_str());
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = Failed(temporary + " cannot be made", errno);
        return false;
    }
    const bool written = WriteWhole(fd, text) && ::fsync(fd) == 0;
    const int writeError = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), sidePath.c_str()) != 0) {
        error =
            Failed(written ? sidePath + " cannot be replaced" : temporary + " cannot be written",
                   written ? errno : writeError);
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolder(sidePath);
    return true;
}

} // namespace rdxc
