// SPDX-License-Identifier: Apache-2.0
// The layout of a copy: the source's fields as its connector reads them
// (types inferred over the sample a run uses) and the target's CREATE TABLE,
// through the public connection calls inside an activity of this process's
// own, so that no server manager is asked and nothing is stored.
#include "layout.h"

#include "report.h"
#include "visible_text.h"

#include "rdxapi.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace rdrun {
namespace {

// The most a description file may hold.
constexpr size_t kMostBytes = 1 << 20;
// The built-in Condition: a source's select text.
constexpr uint32_t kCondition = 0x1000B;
// A SQL link's CreateText: set to a field list's handle, read as the
// CREATE TABLE it would run for those fields.
constexpr uint32_t kCreateText = 0x0F0B;
// numeric(19,0) carries the 64-bit integers.
constexpr uint32_t kBigintPrecision = 19;

struct End {
    bool given = false;
    std::string connector;
    std::vector<std::pair<std::string, std::string>> values;
};

struct Ends {
    End source, target;
};

bool ReadFile(const std::string &path, std::string &text, std::string &error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<size_t>(info.st_size) > kMostBytes) {
        error = "cannot read " + path + (fd < 0 ? std::string(": ") + std::strerror(errno) : "");
        if (fd >= 0) close(fd);
        return false;
    }
    // Read up to the size it had when opened, whatever it grows to since.
    text.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t got = read(fd, text.data() + done, text.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    close(fd);
    text.resize(done);
    return true;
}

bool ParseEnds(const std::string &text, Ends &ends, std::string &error) {
    End *end = nullptr;
    size_t number = 0;
    for (size_t at = 0; at < text.size();) {
        size_t stop = text.find('\n', at);
        if (stop == std::string::npos) stop = text.size();
        const std::string line = text.substr(at, stop - at);
        at = stop + 1;
        ++number;
        const size_t equals = line.find('=');
        if (line.empty() || line[0] == '#') continue;
        if (line == "[source]" || line == "[target]") {
            end = line == "[source]" ? &ends.source : &ends.target;
            end->given = true;
        } else if (end == nullptr || equals == std::string::npos || equals == 0) {
            error =
                "line " + std::to_string(number) + " is not KEY=VALUE under [source] or [target]";
            return false;
        } else if (line.compare(0, equals, "connector") == 0) {
            end->connector = line.substr(equals + 1);
        } else {
            end->values.emplace_back(line.substr(0, equals), line.substr(equals + 1));
        }
    }
    if (ends.source.connector.empty()) error = "the [source] names no connector";
    if (ends.target.given && ends.target.connector.empty())
        error = "the [target] names no connector";
    return error.empty();
}

class Text {
  public:
    Text() { RDStreamClear(&stream_); }
    explicit Text(const std::string &value) : Text() {
        RDStreamDataSet(&stream_, RDCHARSET_DEFAULT, value.data(),
                        static_cast<uint32_t>(value.size()));
    }
    ~Text() { RDStreamDataFree(&stream_); }
    Text(const Text &) = delete;
    Text &operator=(const Text &) = delete;
    RDStream *get() { return &stream_; }
    std::string str() const {
        return stream_.data == nullptr
                   ? std::string()
                   : std::string(reinterpret_cast<const char *>(stream_.data), stream_.length);
    }

  private:
    RDStream stream_;
};

// Why the last call failed: the log's last entry in its own words, else the
// catalogue's text of status.
std::string Reason(uint32_t status) {
    Text formatted, own;
    uint32_t number = 0;
    std::string text;
    if (RDActivityGetLogLast(formatted.get(), &number, own.get()) != 0)
        text = number != 0 ? own.str() : OwnWords(formatted.str());
    return text.empty() ? StatusText(status) : text;
}

// A connection made by the connector's name, never described by a server
// manager.
class Direct {
  public:
    ~Direct() {
        if (handle_ == 0) return;
        RDConnectDisconnect(handle_);
        RDConnectFree(handle_);
    }
    uint32_t Open(const End &end, std::string &error) {
        Text name(end.connector);
        if (uint32_t status = RDConnectAlloc(&handle_, RDLINK_DIRECT, name.get()); status != 0) {
            error = "the connector " + end.connector + " gives no connection: " + Reason(status);
            return status;
        }
        for (const auto &[key, value] : end.values)
            if (uint32_t status = Set(key, value, error); status != 0) return status;
        return 0;
    }
    uint32_t handle() const { return handle_; }

  private:
    uint32_t Set(const std::string &key, const std::string &value, std::string &error) {
        uint32_t number = 0, type = 0;
        if (strcasecmp(key.c_str(), "select") == 0)
            number = kCondition, type = RDTYPE_TEXT;
        else
            Find(key, number, type);
        if (number == 0) {
            error = "the connector has no property " + key;
            return RDSTATUS_BADPROPERTY;
        }
        uint32_t status = 0;
        char *stop = nullptr;
        errno = 0;
        const long whole = std::strtol(value.c_str(), &stop, 10);
        if (type == RDTYPE_INT && !value.empty() && *stop == '\0' && errno == 0 &&
            whole == static_cast<int32_t>(whole)) {
            const int32_t v = static_cast<int32_t>(whole);
            status = RDConnectSetPropertyInt(handle_, number, &v);
        } else {
            Text text(value);
            status = RDConnectSetPropertyStream(handle_, number, text.get());
        }
        if (status != 0) error = key + " is refused: " + Reason(status);
        return status;
    }
    // The declared property of that name, in any letter case.
    void Find(const std::string &key, uint32_t &number, uint32_t &type) const {
        uint32_t listed = 0, listedType = 0;
        for (uint32_t mode = RDLIST_FIRST;; mode = RDLIST_NEXT) {
            Text name;
            if (RDConnectListProperty(handle_, mode, &listed, &listedType, nullptr, name.get()) !=
                0)
                return;
            if (strcasecmp(name.str().c_str(), key.c_str()) == 0) {
                number = listed, type = listedType;
                return;
            }
        }
    }

    uint32_t handle_ = 0;
};

std::string TypeName(uint32_t field) {
    static const char *const kNames[] = {"?",       "int",      "float", "currency",
                                         "numeric", "datetime", "text",  "binary"};
    const uint32_t type = RDFieldGetType(field);
    std::string name = type <= RDTYPE_BINARY ? kNames[type] : "type " + std::to_string(type);
    uint32_t precision = 0, scale = 0;
    if (type != RDTYPE_NUMERIC ||
        RDFieldGetFormatNumber(field, nullptr, nullptr, &precision, &scale) != 0 || precision == 0)
        return name;
    if (precision == kBigintPrecision && scale == 0) return "bigint";
    return name + "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
}

void PrintFields(uint32_t list, std::FILE *out) {
    const uint32_t count = RDFieldlistGetCount(list);
    std::vector<std::pair<std::string, std::string>> rows;
    size_t widest = 0;
    for (uint32_t position = 1; position <= count; ++position) {
        uint32_t field = 0;
        RDStream *name = nullptr;
        if (RDFieldlistGetField(list, position, RDCHARSET_INTERCHANGE, &field, &name) != 0)
            continue;
        std::string shown =
            name == nullptr || name->data == nullptr
                ? std::string()
                : std::string(reinterpret_cast<const char *>(name->data), name->length);
        shown = rdxc::VisibleText(shown);
        widest = std::max(widest, shown.size());
        rows.emplace_back(shown, TypeName(field));
    }
    std::fprintf(out, "The source gives %u field%s:\n", count, count == 1 ? "" : "s");
    for (const auto &[name, type] : rows)
        std::fprintf(out, "  %-*s  %s\n", static_cast<int>(widest), name.c_str(), type.c_str());
}

// The source connected and selected into list.
uint32_t ReadSource(const End &end, Direct &source, uint32_t list, std::string &error) {
    if (uint32_t status = source.Open(end, error); status != 0) return status;
    uint32_t status = RDConnectConnect(source.handle());
    uint32_t total = 0;
    if (status == 0) status = RDConnectSelect(source.handle(), list, 1, 0, &total);
    if (status != 0) error = "the source cannot be read: " + Reason(status);
    return status;
}

uint32_t DescribeTarget(const End &end, uint32_t list, std::string &text, std::string &error) {
    Direct target;
    if (uint32_t status = target.Open(end, error); status != 0) return status;
    const int32_t handle = static_cast<int32_t>(list);
    uint32_t status = RDConnectSetPropertyInt(target.handle(), kCreateText, &handle);
    Text answer;
    if (status == 0)
        status = RDConnectGetPropertyStream(target.handle(), kCreateText, RDCHARSET_DEFAULT,
                                            answer.get());
    if (status != 0) error = "the target cannot describe its table: " + Reason(status);
    text = answer.str();
    return status;
}

// The stand-alone activity the connection calls need.
class OwnActivity {
  public:
    OwnActivity() : status_(RDActivityAlloc(0, nullptr, 0)) {}
    ~OwnActivity() {
        if (status_ == 0) RDActivityFree();
    }
    uint32_t status() const { return status_; }

  private:
    uint32_t status_;
};

int Show(const Ends &ends, std::FILE *out, std::string &error) {
    OwnActivity activity;
    if (activity.status() != 0) {
        error = "cannot start an activity: " + StatusText(activity.status());
        return 1;
    }
    uint32_t list = 0;
    if (RDFieldlistAlloc(&list, 1, 0) != 0) {
        error = "cannot make a field list";
        return 1;
    }
    std::string create;
    uint32_t status = 0;
    {
        Direct source; // ended before its list is freed
        status = ReadSource(ends.source, source, list, error);
        if (status == 0 && ends.target.given)
            status = DescribeTarget(ends.target, list, create, error);
    }
    if (status == 0) {
        PrintFields(list, out);
        if (!create.empty())
            std::fprintf(out, "The target would make its table with:\n  %s;\n",
                         rdxc::VisibleText(create).c_str());
    }
    RDFieldlistFree(list);
    return status == 0 ? 0 : 1;
}

} // namespace

int ShowLayout(const std::string &file, std::FILE *out, std::FILE *err) {
    std::string text, error;
    Ends ends;
    int code = 1;
    if (ReadFile(file, text, error) && ParseEnds(text, ends, error)) code = Show(ends, out, error);
    if (code != 0)
        std::fprintf(err, "rdrun: %s\n",
                     rdxc::VisibleText(error.empty() ? "failed" : error).c_str());
    return code;
}

} // namespace rdrun
