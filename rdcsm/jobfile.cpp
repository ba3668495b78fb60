// SPDX-License-Identifier: Apache-2.0
// Reading a job file into objects and their items, and defining them.
#include "jobfile.h"

#include "jobfile_suggest.h"
#include "jobfile_value.h"
#include "names.h"
#include "rdx_connector.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
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

// What an unknown key is told: the closest name the connector declares.
std::string UnknownProperty(std::string_view key, const Section &section,
                            const std::string *connector,
                            const std::optional<ConnectorFacts> &facts) {
    if (connector == nullptr) return "unknown property (write it by its number, e.g. 0x00000005)";
    if (!facts)
        return "unknown property (the connector `" + *connector +
               "` that would declare it cannot be loaded from the home directory" +
               DidYouMeanWords(*connector, HomeConnectors()) + ")";
    if (facts->kind != (section.kind == kActivity ? RDX_KIND_ACTIVITY : RDX_KIND_LINK))
        return "unknown property (`" + *connector + "` is not " +
               (section.kind == kActivity ? "an activity connector)" : "a link connector)");
    std::vector<std::string> names;
    for (const NamedProperty &property : facts->declared)
        names.push_back(property.name);
    std::string hint = DidYouMean(key, names);
    if (hint.empty()) {
        hint = " (the connector declares";
        for (const std::string &name : names)
            hint += (&name == &names.front() ? " " : ", ") + name;
        hint += names.empty() ? " none)" : ")";
    }
    return "unknown property" + hint;
}

// 1 or 0 for the words that mean yes or no, in any letter case.
std::optional<int64_t> FlagWord(std::string_view word) {
    for (std::string_view yes : {"yes", "true", "on"})
        if (word.size() == yes.size() && strncasecmp(word.data(), yes.data(), yes.size()) == 0)
            return 1;
    for (std::string_view no : {"no", "false", "off"})
        if (word.size() == no.size() && strncasecmp(word.data(), no.data(), no.size()) == 0)
            return 0;
    return std::nullopt;
}

// The item of a value for a property: a yes/no word given for an Int is
// that Int; a link connector, which is given each value to judge before
// anything is stored, may take other texts for its Int properties.
bool ItemOfProperty(const toml::node &value, const NamedProperty &property, bool linkConnector,
                    Item &item, std::string &fault) {
    uint32_t type = property.type;
    if (type == 1 && value.is_string()) {
        if (auto flag = FlagWord(*value.value<std::string_view>()))
            return ItemOfValue(toml::value<int64_t>(*flag), property.number, type, item, fault);
        if (linkConnector) type = 0;
    }
    return ItemOfValue(value, property.number, type, item, fault);
}

// The items of an object's table in the order the file gives them, which
// is the order they are stored in.
bool ReadObject(const std::string &path, const Section &section, const std::string &name,
                const toml::node &node, JobObject &object, JobSource &source, std::string &error) {
    const std::string prefix = std::string(section.key) + "." + name;
    const toml::table *table = node.as_table();
    if (table == nullptr) {
        error = Where(path, node) + "key '" + prefix + "': expected a table of properties";
        return false;
    }
    object = {section.kind, name, {}};
    source = {node.source().begin.line, {}, {}};
    // The connector's declarations name the keys; whether it loads and is of
    // the object's kind is checked with the values (define_check.h).
    const std::optional<std::string> connector = (*table)[kConnectorKey].value<std::string>();
    std::optional<ConnectorFacts> facts;
    if (connector) facts = IdentifyConnector(*connector);
    const std::vector<NamedProperty> none;
    const std::vector<NamedProperty> &declared = facts ? facts->declared : none;
    struct Read {
        toml::source_position position;
        Item item;
        std::string key;
    };
    std::vector<std::pair<std::string_view, const toml::node *>> entries;
    for (const auto &[key, value] : *table)
        entries.emplace_back(key.str(), &value);
    std::stable_sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) {
        return Before(a.second->source().begin, b.second->source().begin);
    });
    std::vector<Read> read;
    for (const auto &[key, pointer] : entries) {
        const toml::node &value = *pointer;
        const std::string where =
            Where(path, value) + "key '" + prefix + "." + std::string(key) + "': ";
        auto property = PropertyOfKey(key, declared);
        if (!property) {
            error = where + UnknownProperty(key, section, connector ? &*connector : nullptr, facts);
            return false;
        }
        Item item;
        std::string fault;
        const bool linkConnector = facts && facts->kind == RDX_KIND_LINK && section.kind == kLink;
        if (!ItemOfProperty(value, *property, linkConnector, item, fault)) {
            error = where + fault;
            return false;
        }
        for (const Read &other : read)
            if (other.item.number == item.number) {
                error = where + "the property is given twice";
                return false;
            }
        read.push_back({value.source().begin, std::move(item), std::string(key)});
    }
    std::stable_sort(read.begin(), read.end(),
                     [](const Read &a, const Read &b) { return Before(a.position, b.position); });
    for (Read &one : read) {
        object.items.push_back(std::move(one.item));
        source.itemLines.push_back(one.position.line);
        source.itemKeys.push_back(std::move(one.key));
    }
    return true;
}

// An object's table as the file gives it.
struct ObjectNode {
    const Section *section;
    std::string_view name;
    const toml::node *node;
    std::size_t at; // its place by kind and name
};

bool ReadObjects(const std::string &path, const std::vector<ObjectNode> &nodes,
                 std::vector<JobObject> &objects, std::vector<JobSource> &sources,
                 std::string &error) {
    for (const ObjectNode &one : nodes) {
        if (one.name.empty() || one.name.size() > 511 ||
            one.name.find('\0') != std::string_view::npos) {
            error = Where(path, *one.node) + "key '" + one.section->key +
                    "': a name of 1 to 511 bytes without a NUL is needed";
            return false;
        }
        JobObject read;
        JobSource source;
        if (!ReadObject(path, *one.section, std::string(one.name), *one.node, read, source, error))
            return false;
        objects.push_back(std::move(read));
        sources.push_back(std::move(source));
    }
    return true;
}

} // namespace

bool ReadJobFile(const std::string &path, std::vector<JobObject> &objects, std::string &error) {
    std::vector<JobSource> sources;
    return ReadJobFile(path, objects, sources, error);
}

bool ReadJobFile(const std::string &path, std::vector<JobObject> &objects,
                 std::vector<JobSource> &sources, std::string &error) {
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
    // Objects (and their keys) are read in the order of the file, so that
    // the fault told is its first; they are kept by kind and name.
    std::vector<ObjectNode> nodes;
    for (const auto &[key, node] : file) {
        const Section *section = nullptr;
        for (const Section &s : kSections)
            if (key.str() == s.key) section = &s;
        if (section == nullptr || !node.is_table()) {
            error = Where(path, node) + "key '" + std::string(key.str()) +
                    "': expected [activity.NAME] or [link.NAME]";
            return false;
        }
        for (const auto &[name, object] : *node.as_table())
            nodes.push_back({section, name.str(), &object, nodes.size()});
    }
    std::vector<ObjectNode> inFile = nodes;
    std::stable_sort(inFile.begin(), inFile.end(), [](const ObjectNode &a, const ObjectNode &b) {
        return Before(a.node->source().begin, b.node->source().begin);
    });
    if (!ReadObjects(path, inFile, objects, sources, error)) return false;
    std::vector<JobObject> sorted(objects.size());
    std::vector<JobSource> sortedSources(sources.size());
    for (std::size_t i = 0; i < inFile.size(); ++i) {
        sorted[inFile[i].at] = std::move(objects[i]);
        sortedSources[inFile[i].at] = std::move(sources[i]);
    }
    objects = std::move(sorted);
    sources = std::move(sortedSources);
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
