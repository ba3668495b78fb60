// Reading a job file into objects and their items, and defining them.
#include "jobfile.h"

#include "jobfile_value.h"
#include "names.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rdcsm {

namespace {

// The largest job file read: hex forms of many 16 MiB values fit.
constexpr off_t kMostJobFileBytes = off_t{256} << 20;

struct Section {
    const char *key;
    ObjectKind kind;
};
constexpr Section kSections[] = {{"activity", kActivity}, {"link", kLink}};

std::string Where(const std::string &path, const toml::node &node) {
    return path + ":" + std::to_string(node.source().begin.line) + ": ";
}

bool Before(const toml::source_position &a, const toml::source_position &b) {
    return a.line != b.line ? a.line < b.line : a.column < b.column;
}

// The whole of a regular file, read through one descriptor and never past
// the bound; anything else (a folder, a device, a pipe) is refused.
bool ReadRegularFile(const std::string &path, std::string &text, std::string &error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat status {};
    bool done = false;
    if (fstat(fd, &status) != 0)
        error = path + ": " + std::strerror(errno);
    else if (!S_ISREG(status.st_mode))
        error = path + ": not a regular file; a job file must be one";
    else if (status.st_size > kMostJobFileBytes)
        error = path + ": larger than 256 MiB";
    else
        done = true;
    char buffer[65536];
    while (done) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 || static_cast<off_t>(text.size()) + got > kMostJobFileBytes) {
            error = path + ": " + (got < 0 ? std::strerror(errno) : "larger than 256 MiB");
            done = false;
        } else {
            text.append(buffer, static_cast<std::size_t>(got));
        }
    }
    close(fd);
    return done;
}

// The items of an object's table in the order the file gives them, which
// is the order they are stored in.
bool ReadObject(const std::string &path, const Section &section, const std::string &name,
                const toml::node &node, JobObject &object, std::string &error) {
    const std::string prefix = std::string(section.key) + "." + name;
    const toml::table *table = node.as_table();
    if (table == nullptr) {
        error = Where(path, node) + "key '" + prefix + "': expected a table of properties";
        return false;
    }
    object = {section.kind, name, {}};
    std::vector<NamedProperty> declared;
    std::string hint = " (write it by its number, e.g. 0x00000005)";
    if (auto connector = (*table)[kConnectorKey].value<std::string>()) {
        if (auto found = DeclaredProperties(*connector))
            declared = std::move(*found);
        else
            hint = " (the connector " + *connector +
                   " that would declare it cannot be loaded from the home directory)";
    }
    std::vector<std::pair<toml::source_position, Item>> read;
    for (const auto &[key, value] : *table) {
        const std::string where =
            Where(path, value) + "key '" + prefix + "." + std::string(key.str()) + "': ";
        auto property = PropertyOfKey(key.str(), declared);
        if (!property) {
            error = where + "unknown property" + hint;
            return false;
        }
        Item item;
        std::string fault;
        if (!ItemOfValue(value, property->number, property->type, item, fault)) {
            error = where + fault;
            return false;
        }
        for (const auto &[position, other] : read)
            if (other.number == item.number) {
                error = where + "the property is given twice";
                return false;
            }
        read.emplace_back(value.source().begin, std::move(item));
    }
    std::stable_sort(read.begin(), read.end(),
                     [](const auto &a, const auto &b) { return Before(a.first, b.first); });
    for (auto &[position, item] : read)
        object.items.push_back(std::move(item));
    return true;
}

bool ReadSection(const std::string &path, const Section &section, const toml::table &table,
                 std::vector<JobObject> &objects, std::string &error) {
    for (const auto &[name, object] : table) {
        if (name.str().empty() || name.str().size() > 511 ||
            name.str().find('\0') != std::string_view::npos) {
            error = Where(path, object) + "key '" + section.key +
                    "': a name of 1 to 511 bytes without a NUL is needed";
            return false;
        }
        JobObject read;
        if (!ReadObject(path, section, std::string(name.str()), object, read, error)) return false;
        objects.push_back(std::move(read));
    }
    return true;
}

} // namespace

bool ReadJobFile(const std::string &path, std::vector<JobObject> &objects, std::string &error) {
    std::string text;
    if (!ReadRegularFile(path, text, error)) return false;
    toml::table file;
    try {
        file = toml::parse(text, path);
    } catch (const toml::parse_error &failure) {
        error = path + ":" + std::to_string(failure.source().begin.line) + ": " +
                std::string(failure.description());
        return false;
    }
    for (const auto &[key, node] : file) {
        const Section *section = nullptr;
        for (const Section &s : kSections)
            if (key.str() == s.key) section = &s;
        if (section == nullptr || !node.is_table()) {
            error = Where(path, node) + "key '" + std::string(key.str()) +
                    "': expected [activity.NAME] or [link.NAME]";
            return false;
        }
        if (!ReadSection(path, *section, *node.as_table(), objects, error)) return false;
    }
    if (objects.empty()) {
        error = path + ": defines no activity or link";
        return false;
    }
    return true;
}

void DefineObjects(Store &store, const std::vector<JobObject> &objects) {
    Transaction transaction(store.Db());
    for (const JobObject &object : objects)
        store.DefineObject(object.kind, object.name, PackItems(object.items));
    transaction.Commit();
}

} // namespace rdcsm
