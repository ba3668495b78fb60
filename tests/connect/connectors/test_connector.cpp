// SPDX-License-Identifier: Apache-2.0
// A link connector for the tests that records every call it receives (see
// recorder.h). Compile definitions make its variants, the broken ones among
// them: CONNECTOR_ID, KIND, VERSION, PRIVATE_SIZE, IDENTIFY_STATUS,
// NULL_DECLARATIONS, OMIT_IDENTIFY, OMIT_DROP, OMIT_FETCH, WITH_LAUNCH.
#include "rdx_connector.h"
#include "rdx_field.h"
#include "rdx_fieldvalue.h"
#include "rdx_stream.h"
#include "recorder.h"

#include <cstring>

#ifndef CONNECTOR_ID
#define CONNECTOR_ID 1
#endif
#ifndef KIND
#define KIND RDX_KIND_LINK
#endif
#ifndef VERSION
#define VERSION RDX_INTERFACE_VERSION
#endif
#ifndef PRIVATE_SIZE
#define PRIVATE_SIZE 64
#endif
#ifndef IDENTIFY_STATUS
#define IDENTIFY_STATUS 0
#endif

namespace {

constexpr PropertyDeclaration kDeclarations[] = {
    {0x10001, RDTYPE_TEXT, 0, nullptr, 0}, // Server, built-in name
    {0x10003, RDTYPE_TEXT, 2, "Login", 5}, // Userid under its own name
    {1, RDTYPE_INT, 5, "Rows", 4},
    {2, RDTYPE_INT, 0, nullptr, 3},        // a length without a name
    {0x10005, RDTYPE_TEXT, 0, nullptr, 0}, // Metadata
    {0, 0, 0, nullptr, 0},
};

uint32_t Record(uint32_t entry, void *priv, uint32_t a0 = 0, uint32_t a1 = 0, uint32_t a2 = 0,
                uint32_t a3 = 0) {
    Recorder *r = ConnectRecorder();
    if (r->callCount < RECORDER_MAX_CALLS) {
        RecordedCall &call = r->calls[r->callCount++];
        call = RecordedCall{CONNECTOR_ID, entry, priv, {a0, a1, a2, a3}, {}};
    }
    if (r->hook != nullptr) r->hook(entry, priv);
    return r->status[entry];
}

void Report(uint32_t entry, uint32_t asked, uint32_t *count) {
    const Recorder *r = ConnectRecorder();
    *count = r->reportSet[entry] != 0 ? r->report[entry] : asked;
}

} // namespace

#ifndef OMIT_IDENTIFY
RDX_ENTRY uint32_t RDXIdentify(IdentifyRecord *record) {
    Record(RDXENTRY_IDENTIFY, nullptr, CONNECTOR_ID);
    record->version = VERSION;
    record->kind = KIND;
    record->privateSize = PRIVATE_SIZE;
    record->nameCharset = RDCHARSET_DEFAULT;
#ifdef NULL_DECLARATIONS
    record->declarations = nullptr;
#else
    record->declarations = kDeclarations;
#endif
    return IDENTIFY_STATUS;
}
#endif

#ifdef WITH_LAUNCH
RDX_ENTRY uint32_t RDXLaunch(void) {
    return 0;
}
#endif

RDX_ENTRY uint32_t RDXInitialize(void *priv, uint32_t connectCode, uint32_t first) {
    if (PRIVATE_SIZE >= 4) std::memcpy(priv, &connectCode, 4);
    return Record(RDXENTRY_INITIALIZE, priv, connectCode, first);
}

RDX_ENTRY uint32_t RDXTerminate(void *priv, uint32_t last) {
    return Record(RDXENTRY_TERMINATE, priv, last);
}

RDX_ENTRY uint32_t RDXGetProperty(void *priv, uint32_t number, uint32_t field) {
    const uint32_t status = Record(RDXENTRY_GETPROPERTY, priv, number, field);
    if (status != 0 || ConnectRecorder()->storeNothing != 0) return status;
    if (const char *text = ConnectRecorder()->propertyText) {
        RDStream value{};
        RDStreamDataSet(&value, RDCHARSET_DEFAULT, text, static_cast<uint32_t>(std::strlen(text)));
        const uint32_t set = RDFieldSetStream(field, 1, &value);
        RDStreamDataFree(&value);
        return set;
    }
    const int32_t value = static_cast<int32_t>(number);
    return RDFieldSetInt(field, 1, &value);
}

RDX_ENTRY uint32_t RDXSetProperty(void *priv, uint32_t number, uint32_t field) {
    Recorder *r = ConnectRecorder();
    const uint32_t at = r->callCount;
    const uint32_t status = Record(RDXENTRY_SETPROPERTY, priv, number, field);
    RDStream value{};
    uint32_t isNull = 0;
    const uint32_t read = RDFieldGetStream(field, 1, RDCHARSET_DEFAULT, &value, &isNull);
    if (read == 0 && at < RECORDER_MAX_CALLS) {
        if (isNull != 0)
            std::strcpy(r->calls[at].text, "(null)");
        else
            std::memcpy(r->calls[at].text, value.data, value.length < 63 ? value.length : 63);
    }
    RDStreamDataFree(&value);
    return read != 0 ? read : status;
}

RDX_ENTRY uint32_t RDXConnect(void *priv) {
    return Record(RDXENTRY_CONNECT, priv);
}

RDX_ENTRY uint32_t RDXDisconnect(void *priv, uint32_t activityStatus) {
    return Record(RDXENTRY_DISCONNECT, priv, activityStatus);
}

RDX_ENTRY uint32_t RDXExecute(void *priv, uint32_t pass1, uint32_t pass2, uint32_t *count) {
    Report(RDXENTRY_EXECUTE, 0, count);
    return Record(RDXENTRY_EXECUTE, priv, pass1, pass2);
}

RDX_ENTRY uint32_t RDXSelect(void *priv, uint32_t list, uint32_t perFetch, uint32_t pass,
                             uint32_t *count) {
    Report(RDXENTRY_SELECT, 0, count);
    return Record(RDXENTRY_SELECT, priv, list, perFetch, pass);
}

#ifndef OMIT_FETCH
RDX_ENTRY uint32_t RDXFetch(void *priv, uint32_t list, uint32_t first, uint32_t count,
                            uint32_t *fetched) {
    Report(RDXENTRY_FETCH, count, fetched);
    return Record(RDXENTRY_FETCH, priv, list, first, count);
}
#endif

RDX_ENTRY uint32_t RDXInsert(void *priv, uint32_t list, uint32_t first, uint32_t count,
                             uint32_t *done) {
    Report(RDXENTRY_INSERT, count, done);
    return Record(RDXENTRY_INSERT, priv, list, first, count);
}

RDX_ENTRY uint32_t RDXUpdate(void *priv, uint32_t list, uint32_t first, uint32_t count,
                             uint32_t *done) {
    Report(RDXENTRY_UPDATE, count, done);
    return Record(RDXENTRY_UPDATE, priv, list, first, count);
}

RDX_ENTRY uint32_t RDXRemove(void *priv, uint32_t list, uint32_t first, uint32_t count,
                             uint32_t *done) {
    Report(RDXENTRY_REMOVE, count, done);
    return Record(RDXENTRY_REMOVE, priv, list, first, count);
}

RDX_ENTRY uint32_t RDXAction(void *priv, uint32_t action) {
    return Record(RDXENTRY_ACTION, priv, action);
}

RDX_ENTRY uint32_t RDXCatalog(void *priv, uint32_t kind, uint32_t pass, uint32_t *count) {
    Report(RDXENTRY_CATALOG, 0, count);
    return Record(RDXENTRY_CATALOG, priv, kind, pass);
}

RDX_ENTRY uint32_t RDXCreate(void *priv, uint32_t kind, uint32_t pass) {
    return Record(RDXENTRY_CREATE, priv, kind, pass);
}

#ifndef OMIT_DROP
RDX_ENTRY uint32_t RDXDrop(void *priv, uint32_t kind) {
    return Record(RDXENTRY_DROP, priv, kind);
}
#endif
