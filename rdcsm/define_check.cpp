// SPDX-License-Identifier: Apache-2.0
// The connectors judge the values of a job file: a link's connector takes
// each value on a connection that is never connected, an activity's
// connector checks each through RDXCheckProperty, both inside an activity
// of this process's own (no server manager), whose log keeps the reason.
#include "define_check.h"

#include "jobfile_suggest.h"
#include "names.h"

#include "rdplat_library.h"
#include "rdxapi.h"

#include <algorithm>
#include <cstring>

namespace rdcsm {

namespace {

constexpr uint32_t kText = 6, kRichText = 7;

std::string Where(const std::string &path, const JobObject &object, const JobSource &source,
                  std::size_t i) {
    return path + ":" + std::to_string(source.itemLines[i]) + ": key '" +
           (object.kind == kActivity ? "activity." : "link.") + object.name + "." +
           source.itemKeys[i] + "': ";
}

std::string ConnectorName(const JobObject &object) {
    for (const Item &item : object.items)
        if (item.number == kConnectorNumber && item.type == kText && !item.value.empty())
            return item.value.substr(0, item.value.size() - 1);
    return {};
}

const NamedProperty *Declaration(const std::vector<NamedProperty> &declared, uint32_t number) {
    for (const NamedProperty &property : declared)
        if (property.number == number) return &property;
    return nullptr;
}

// A field of one value holding the item.
class ItemField {
  public:
    ~ItemField() {
        if (handle_ != 0) RDFieldFree(handle_);
    }
    uint32_t Fill(const Item &item) {
        if (const uint32_t status = RDFieldAlloc(&handle_, item.type, 1); status != 0)
            return status;
        if (item.type == kText || item.type == kRichText) {
            RDStream text;
            RDStreamClear(&text);
            uint32_t status = RDStreamDataSet(&text, item.charset, item.value.data(),
                                              static_cast<uint32_t>(item.value.size() - 1));
            if (status == 0) status = RDFieldSetStream(handle_, 1, &text);
            RDStreamDataFree(&text);
            return status;
        }
        void *buffer = nullptr;
        uint32_t *indicator = nullptr;
        if (const uint32_t status = RDFieldGetBuffer(handle_, 1, &buffer, &indicator); status != 0)
            return status;
        if (RDFieldGetTypeSize(handle_) != item.value.size()) return RDSTATUS_BADTYPE;
        std::memcpy(buffer, item.value.data(), item.value.size());
        return RDFieldSetNull(handle_, 1, 0);
    }
    uint32_t Handle() const { return handle_; }

  private:
    uint32_t handle_ = 0;
};

// Logs a mark before a check, so that a refusal the connector did not log
// is not told with an earlier entry's words.
void MarkLog() {
    RDStream mark;
    RDStreamClear(&mark);
    RDStreamDataSet(&mark, RDCHARSET_DEFAULT, "check", 5);
    RDActivityLogStream(RDLOG_INFORMATIONAL, &mark, 0);
    RDStreamDataFree(&mark);
}

// The reason of a refusal: the entry logged since the mark, without the
// prefix and the sections the log adds, else the status's message.
std::string Reason(uint32_t status) {
    RDStream words;
    RDStreamClear(&words);
    std::string text;
    if (RDActivityGetLogLast(&words, nullptr, nullptr) != RDMESSAGE_INFOTEXT &&
        words.data != nullptr)
        text.assign(reinterpret_cast<const char *>(words.data), words.length);
    RDStreamDataFree(&words);
    if (text.empty() && RDActivityGetStatusStream(status, &words) == 0 && words.data != nullptr)
        text.assign(reinterpret_cast<const char *>(words.data), words.length);
    RDStreamDataFree(&words);
    constexpr std::string_view kError = "ERROR: ";
    if (text.starts_with(kError)) text.erase(0, kError.size());
    for (std::string_view section : {"; connection ", "; number "})
        if (const std::size_t at = text.find(section); at != std::string::npos) text.erase(at);
    return text.empty() ? "refused with status " + std::to_string(status) : text;
}

// Each checked item's status (0 when good), by check(number, field).
template <typename Check>
bool CheckValues(const std::string &path, const JobObject &object, const JobSource &source,
                 const std::vector<NamedProperty> &declared, Check check, std::string &error) {
    for (std::size_t i = 0; i < object.items.size(); ++i) {
        const Item &item = object.items[i];
        if (item.number == kConnectorNumber || Declaration(declared, item.number) == nullptr)
            continue;
        ItemField field;
        MarkLog();
        uint32_t status = field.Fill(item);
        if (status == 0) status = check(item.number, field.Handle());
        if (status != 0) {
            error = Where(path, object, source, i) + Reason(status);
            return false;
        }
    }
    return true;
}

bool CheckLink(const std::string &path, const JobObject &object, const JobSource &source,
               const std::string &connector, const std::vector<NamedProperty> &declared,
               std::string &error) {
    RDStream name;
    RDStreamClear(&name);
    RDStreamDataSet(&name, RDCHARSET_DEFAULT, connector.data(),
                    static_cast<uint32_t>(connector.size()));
    uint32_t handle = 0;
    MarkLog();
    const uint32_t status = RDConnectAlloc(&handle, RDLINK_DIRECT, &name);
    RDStreamDataFree(&name);
    if (status != 0) {
        error = path + ":" + std::to_string(source.line) + ": link '" + object.name +
                "': the connector " + connector + " gives no connection: " + Reason(status);
        return false;
    }
    const bool good = CheckValues(
        path, object, source, declared,
        [&](uint32_t number, uint32_t field) {
            return RDConnectSetProperty(handle, number, field);
        },
        error);
    RDConnectFree(handle);
    return good;
}

bool CheckActivity(const std::string &path, const JobObject &object, const JobSource &source,
                   const std::string &connector, const std::vector<NamedProperty> &declared,
                   std::string &error) {
    RDLibHandle library = RDLibraryLoad(connector.c_str(), RDLIBRARY_CONNECTOR);
    if (library == nullptr) return true; // refused already when the file was read
    auto check =
        reinterpret_cast<RDXCheckPropertyProc>(RDLibraryLoadProc(library, "RDXCheckProperty", 0));
    const bool good = check == nullptr || CheckValues(path, object, source, declared, check, error);
    RDLibraryFree(library);
    return good;
}

// Whether a link of that name is in the file or in the store.
bool LinkKnown(Store &store, const std::vector<JobObject> &objects, const std::string &name) {
    for (const JobObject &object : objects)
        if (object.kind == kLink && object.name == name) return true;
    return store.FindObject(kLink, name).has_value();
}

bool CheckLinkNames(Store &store, const std::string &path, const std::vector<JobObject> &objects,
                    const JobObject &object, const JobSource &source,
                    const std::vector<NamedProperty> &declared, std::string &error) {
    for (std::size_t i = 0; i < object.items.size(); ++i) {
        const Item &item = object.items[i];
        const NamedProperty *property = Declaration(declared, item.number);
        if (property == nullptr || (property->attributes & RDX_ATTRIBUTE_LINKNAME) == 0 ||
            item.type != kText || item.value.empty())
            continue;
        const std::string name = item.value.substr(0, item.value.size() - 1);
        if (LinkKnown(store, objects, name)) continue;
        std::vector<std::string> links;
        for (const JobObject &other : objects)
            if (other.kind == kLink) links.push_back(other.name);
        error = Where(path, object, source, i) + "no link is named `" + name +
                "` in this file or defined already" + DidYouMean(name, links);
        return false;
    }
    return true;
}

// The connector loads from the home directory and is of the object's kind;
// false with error at its key.
bool CheckConnector(const std::string &path, const JobObject &object, const JobSource &source,
                    const std::string &connector, std::string &error) {
    std::size_t at = 0;
    while (at + 1 < object.items.size() && object.items[at].number != kConnectorNumber)
        ++at;
    const auto facts = IdentifyConnector(connector);
    if (!facts) {
        error = Where(path, object, source, at) + "the connector `" + connector +
                "` cannot be loaded from the home directory" +
                DidYouMean(connector, HomeConnectors());
        return false;
    }
    const uint32_t kind = object.kind == kActivity ? RDX_KIND_ACTIVITY : RDX_KIND_LINK;
    if (facts->kind == kind) return true;
    error = Where(path, object, source, at) + "`" + connector + "` is not " +
            (object.kind == kActivity ? "an activity connector" : "a link connector");
    return false;
}

// The stand-alone activity that the connectors' calls need, for as long as
// the checks run.
class OwnActivity {
  public:
    OwnActivity() : status_(RDActivityAlloc(0, nullptr, 0)) {}
    ~OwnActivity() {
        if (status_ == 0) RDActivityFree();
    }
    uint32_t Status() const { return status_; }

  private:
    uint32_t status_;
};

} // namespace

bool CheckJobObjects(Store &store, const std::string &path, const std::vector<JobObject> &objects,
                     const std::vector<JobSource> &sources, std::string &error) {
    OwnActivity activity;
    if (activity.Status() != 0) {
        error = path + ": the values cannot be checked (no activity: status " +
                std::to_string(activity.Status()) + ")";
        return false;
    }
    // In the order of the file, so that the fault told is its first.
    std::vector<std::size_t> order(objects.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return sources[a].line < sources[b].line;
    });
    for (const std::size_t i : order) {
        const JobObject &object = objects[i];
        const std::string connector = ConnectorName(object);
        if (connector.empty()) continue;
        if (!CheckConnector(path, object, sources[i], connector, error)) return false;
        const std::vector<NamedProperty> declared =
            DeclaredProperties(connector).value_or(std::vector<NamedProperty>{});
        if (!CheckLinkNames(store, path, objects, object, sources[i], declared, error))
            return false;
        const bool good = object.kind == kLink
                              ? CheckLink(path, object, sources[i], connector, declared, error)
                              : CheckActivity(path, object, sources[i], connector, declared, error);
        if (!good) return false;
    }
    return true;
}

} // namespace rdcsm
