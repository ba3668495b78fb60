// SPDX-License-Identifier: Apache-2.0
// Formatting a log record: the markup [[RD<letter><character>]] of the
// message text, groups and cut points, then the sections.
#include "activity/log_format.h"

#include "activity/log_format_texts.h"
#include "activity/log_hooks.h"
#include "rdx_status.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>

namespace rdx {

LogHooks g_logHooks{};

namespace {

// Catalogue texts: a line's prefix and separator, its sections (one after
// the other in the catalogue) and the first of each block of names.
constexpr uint32_t kPrefix = 1478, kSeparator = 1480;
enum Section : uint32_t {
    kConnectionSection = 1473,
    kOperationSection,
    kOperationArgumentSection,
    kTextSection,
    kNumberSection,
};
constexpr uint32_t kEntryNames = 1280, kActionNames = 1344, kKindNames = 1376, kTypeNames = 1408,
                   kKindTypeNames = 1440;
constexpr uint32_t kNamedArguments = 32; // action and kind names in the catalogue
constexpr uint32_t kActionEntry = 15;
constexpr uint32_t kKindBit = 0x40000000;
// A section is held within the catalogue's buffer size, terminator included.
constexpr std::size_t kSectionLimit = RDRES_TEXT_SIZE - 1;
constexpr int kTrackedGroups = 6;
constexpr std::string_view kMarkupOpen = "[[RD";
constexpr std::string_view kMarkupClose = "]]";

// A number as I writes it, or nothing for 0.
std::size_t WriteNumberOrNothing(uint32_t number, char (&text)[12]) {
    return number == 0 ? 0 : WriteNumber(number, text);
}

void AppendNumber(uint32_t number, TextBuffer &out) {
    char text[12];
    out.Append({text, WriteNumber(number, text)});
}

// Appends a catalogue text: 0 or its conversion status.
uint32_t AppendCatalogue(uint32_t number, TextBuffer &out) {
    const CatalogueText text(number);
    out.Append(text.View());
    return text.Status();
}

// The texts of a record in character set 256: slots 1-3 and the free text.
struct RecordTexts {
    std::array<StreamText, 3> slots;
    StreamText freeText;

    explicit RecordTexts(const LogRecord &record) {
        for (int i = 0; i < 3; ++i)
            slots[i].Load(record.streams[i]);
        freeText.Load(record.text);
    }
    uint32_t Status() const {
        for (const StreamText &t : slots)
            if (t.Status() != RDSTATUS_OK) return t.Status();
        return freeText.Status();
    }
};

// The scan of a message text: the replacements, the groups and the cut point.
class MarkupScan {
  public:
    MarkupScan(const LogRecord &record, const RecordTexts &texts, TextBuffer &out)
        : record_(record), texts_(texts), out_(out) {}

    uint32_t Run(std::string_view text) {
        for (std::size_t at = 0;;) {
            const std::size_t open = text.find(kMarkupOpen, at);
            if (open == std::string_view::npos) {
                out_.Append(text.substr(at));
                break;
            }
            out_.Append(text.substr(at, open - at));
            const std::size_t inner = open + kMarkupOpen.size();
            const std::size_t close = text.find(kMarkupClose, inner);
            if (close == std::string_view::npos) break; // the text ends at the marker
            const char letter = inner < close ? text[inner] : '\0';
            const char second = inner + 1 < close ? text[inner + 1] : '\0';
            if (const uint32_t status = Markup(letter, second); status != RDSTATUS_OK)
                return status;
            at = close + kMarkupClose.size();
        }
        if (!wholeUsed_ && hasCut_) out_.Cut(cut_);
        return RDSTATUS_OK;
    }

  private:
    struct Group {
        std::size_t start;
        bool used;
    };

    uint32_t Markup(char letter, char second) {
        const int slot = second >= '1' && second <= '3' ? second - '1' : -1;
        const uint32_t number = slot >= 0 ? record_.args[slot] : 0;
        const std::size_t before = out_.Size();
        uint32_t status = RDSTATUS_OK;
        switch (letter) {
        case 'I':
            if (number != 0) AppendNumber(number, out_);
            break;
        case 'O':
            if (number != 0) status = AppendCatalogue(kKindNames + number, out_);
            break;
        case 'P':
            if (number != 0) AppendPropertyName(number);
            break;
        case 'S':
            if (slot >= 0) out_.Append(texts_.slots[slot].View());
            break;
        case 'T':
            if (number != 0) status = AppendTypeName(number);
            break;
        case 'X':
            Group(second);
            break;
        default:
            break; // an unknown letter is dropped with its markup
        }
        if (out_.Size() > before) MarkUsed(); // a group that closes cuts, never adds
        return status;
    }

    void AppendPropertyName(uint32_t number) {
        if (g_logHooks.propertyName != nullptr &&
            g_logHooks.propertyName(record_.connection, number, out_))
            return;
        AppendNumber(number, out_);
    }

    uint32_t AppendTypeName(uint32_t number) {
        if ((number & kKindBit) != 0)
            return AppendCatalogue(kKindTypeNames + (number & ~kKindBit), out_);
        return AppendCatalogue(kTypeNames + number, out_);
    }

    void Group(char second) {
        if (second == '(') {
            if (depth_ < kTrackedGroups) groups_[depth_] = {out_.Size(), false};
            ++depth_;
        } else if (second == ')') {
            if (depth_ == 0) return;
            --depth_;
            if (depth_ >= kTrackedGroups) return;
            if (!groups_[depth_].used)
                out_.Cut(groups_[depth_].start);
            else if (depth_ > 0)
                groups_[depth_ - 1].used = true; // a filled group fills its parent
        } else {
            cut_ = out_.Size();
            hasCut_ = true;
            wholeUsed_ = false;
        }
    }

    void MarkUsed() {
        wholeUsed_ = true;
        if (depth_ > 0) groups_[std::min(depth_, kTrackedGroups) - 1].used = true;
    }

    const LogRecord &record_;
    const RecordTexts &texts_;
    TextBuffer &out_;
    std::array<struct Group, kTrackedGroups> groups_{};
    int depth_ = 0;
    std::size_t cut_ = 0;
    bool hasCut_ = false;
    bool wholeUsed_ = false;
};

// Fills the %s places of a section template with values in order ("%%" is
// a percent sign; any other % stays as it is).
void FillTemplate(std::string_view text, std::initializer_list<std::string_view> values,
                  TextBuffer &out) {
    auto value = values.begin();
    std::size_t at = 0;
    for (std::size_t percent = text.find('%'); percent != std::string_view::npos;
         percent = text.find('%', at)) {
        out.Append(text.substr(at, percent - at));
        const char next = percent + 1 < text.size() ? text[percent + 1] : '\0';
        if (next == 's') {
            if (value != values.end()) out.Append(*value++);
            at = percent + 2;
        } else if (next == '%') {
            out.Append("%");
            at = percent + 2;
        } else {
            out.Append("%");
            at = percent + 1;
        }
    }
    out.Append(text.substr(at));
}

// Appends the separator and a section: its template filled with values,
// cut to the section limit at a character boundary.
uint32_t AppendSection(uint32_t templateNumber, std::initializer_list<std::string_view> values,
                       TextBuffer &out) {
    const CatalogueText separator(kSeparator), pattern(templateNumber);
    if (separator.Status() != RDSTATUS_OK) return separator.Status();
    if (pattern.Status() != RDSTATUS_OK) return pattern.Status();
    TextBuffer section;
    FillTemplate(pattern.View(), values, section);
    if (section.Failed()) return RDSTATUS_NOMEMORY;
    out.Append(separator.View());
    out.Append(CutAtCharacter(section.View(), kSectionLimit));
    return RDSTATUS_OK;
}

uint32_t AppendOperationSection(const LogRecord &record, TextBuffer &out) {
    const CatalogueText entry(kEntryNames + record.entry);
    if (entry.Status() != RDSTATUS_OK) return entry.Status();
    if (record.operationArgument == 0) return AppendSection(kOperationSection, {entry.View()}, out);
    // The catalogue names codes 1 to 31; a connector's own code beyond
    // them is shown as its number, not as the unrelated text that follows.
    if (record.operationArgument >= kNamedArguments) {
        const std::string number = std::to_string(record.operationArgument);
        return AppendSection(kOperationArgumentSection, {entry.View(), number}, out);
    }
    const uint32_t names = record.entry == kActionEntry ? kActionNames : kKindNames;
    const CatalogueText argument(names + record.operationArgument);
    if (argument.Status() != RDSTATUS_OK) return argument.Status();
    return AppendSection(kOperationArgumentSection, {entry.View(), argument.View()}, out);
}

uint32_t AppendSections(const LogRecord &record, uint32_t message, const RecordTexts &texts,
                        TextBuffer &out) {
    uint32_t status = RDSTATUS_OK;
    if (record.connection != nullptr && g_logHooks.connectionName != nullptr) {
        const StreamText name(g_logHooks.connectionName(record.connection));
        status = name.Status();
        if (status == RDSTATUS_OK) status = AppendSection(kConnectionSection, {name.View()}, out);
    }
    if (status == RDSTATUS_OK && record.entry != 0) status = AppendOperationSection(record, out);
    if (status != RDSTATUS_OK) return status;
    char number[12];
    const std::string_view shown(number, WriteNumberOrNothing(record.number, number));
    if (message != kFreeTextMessage && !texts.freeText.View().empty())
        return AppendSection(kTextSection, {texts.freeText.View(), shown}, out);
    if (record.number != 0) return AppendSection(kNumberSection, {shown}, out);
    return RDSTATUS_OK;
}

} // namespace

uint32_t FormatLogRecord(const LogRecord &record, bool withSections, RDStream *out) {
    const RecordTexts texts(record);
    if (texts.Status() != RDSTATUS_OK) return texts.Status();
    TextBuffer text;
    uint32_t status = RDSTATUS_OK;
    if (!IsInformational(record.message)) status = AppendCatalogue(kPrefix, text);
    uint32_t message = record.message;
    if (status == RDSTATUS_OK && (message == kFreeTextMessage || message == RDMESSAGE_INFOTEXT)) {
        message = kFreeTextMessage;
        status = MarkupScan(record, texts, text).Run(texts.freeText.View());
    } else if (status == RDSTATUS_OK) {
        const CatalogueText pattern(message);
        status = pattern.Status();
        if (status == RDSTATUS_OK) status = MarkupScan(record, texts, text).Run(pattern.View());
    }
    if (status == RDSTATUS_OK && withSections)
        status = AppendSections(record, message, texts, text);
    if (status == RDSTATUS_OK && text.Failed()) status = RDSTATUS_NOMEMORY;
    if (status != RDSTATUS_OK) return status;
    return RDStreamDataSet(out, RDCHARSET_INTERCHANGE, text.View().data(),
                           static_cast<uint32_t>(text.Size()));
}

} // namespace rdx
