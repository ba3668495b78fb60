// SPDX-License-Identifier: Apache-2.0
// A link connector that lies, for the copy's tests: its property Lie picks
// the lie. "stall": every fetch succeeds with no record and no end.
// "samefault": every fetch reports the same bad record, the read position
// never moving. "short": every insert succeeds having written one record
// fewer than asked. "huge": the first fetch tells 0xFFFFFFFF records, the
// next the end. Anything else behaves: no records, inserts all taken.
#include "connector_log.h"
#include "connector_resume.h"
#include "link_entries.h"
#include "property_value.h"
#include "rdx_field.h"

namespace {

constexpr uint32_t kLie = 1;

class Liar {
  public:
    uint32_t SetProperty(uint32_t number, uint32_t field) {
        return rdxc::PropertyIndex(number) == kLie ? rdxc::GetText(field, lie_) : RDSTATUS_OK;
    }
    uint32_t GetProperty(uint32_t number, uint32_t field) {
        if (rdxc::PropertyIndex(number) == rdxc::kReadPosition)
            return rdxc::PutText(field, "offset=0;line=1");
        return RDSTATUS_BADPROPERTY;
    }
    uint32_t Connect() { return RDSTATUS_OK; }
    void Disconnect() {}
    uint32_t Select(uint32_t, uint32_t *count) {
        *count = RDX_COUNT_UNKNOWN;
        return RDSTATUS_OK;
    }
    uint32_t Fetch(uint32_t, uint32_t, uint32_t, uint32_t *fetched) {
        *fetched = 0;
        if (lie_ == "stall") return RDSTATUS_OK;
        if (lie_ == "samefault") return log_.RecordFault("line 1: the same bad record");
        if (lie_ == "huge" && !told_) {
            told_ = true;
            *fetched = 0xFFFFFFFFu;
            return RDSTATUS_OK;
        }
        return RDX_END_OF_DATA;
    }
    uint32_t Insert(uint32_t, uint32_t, uint32_t count, uint32_t *done) {
        *done = lie_ == "short" && count > 0 ? count - 1 : count;
        return RDSTATUS_OK;
    }
    uint32_t Create(uint32_t, uint32_t) { return RDSTATUS_OK; }
    uint32_t Drop(uint32_t) { return RDSTATUS_OK; }
    uint32_t Catalog(uint32_t, uint32_t, uint32_t *) { return Unsupported("catalog"); }
    uint32_t Unsupported(const char *what) {
        return log_.Fail(std::string("the liar has no ") + what);
    }

  private:
    std::string lie_;
    bool told_ = false;
    rdxc::FailureLog log_;
};

constexpr PropertyDeclaration kDeclarations[] = {
    rdxc::Declare(kLie, RDTYPE_TEXT, "Lie"),
    rdxc::Declare(rdxc::kReadPosition, RDTYPE_TEXT, "ReadPosition"),
    PropertyDeclaration{0, 0, 0, nullptr, 0},
};

} // namespace

RDXC_LINK_ENTRY_POINTS(Liar, kDeclarations)
