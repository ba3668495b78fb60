// SPDX-License-Identifier: Apache-2.0
// The log's hooks into the activity layer: entries go to the server manager,
// and property numbers are named by the connectors' declarations and the
// added properties.
#include "activity/activity_lifecycle.h"
#include "activity/log_format_texts.h"
#include "activity/log_hooks.h"
#include "activity/property_names.h"
#include "activity/system_context.h"
#include "connect/connect_term.h"
#include "rdx_csmgr.h"
#include "rdx_status.h"

namespace rdx {

namespace {

// Appends the declared name of number in record, converted to set 256.
bool AppendDeclaredName(const IdentifyRecord *record, uint32_t number, TextBuffer &out) {
    const PropertyDeclaration *declaration = FindDeclaration(record, number);
    if (declaration == nullptr) return false;
    RDStream name{};
    uint32_t status = RDSTATUS_OK;
    bool named = DeclarationName(*record, *declaration, &name, &status) && status == RDSTATUS_OK;
    if (named) {
        const StreamText text(&name);
        named = text.Status() == RDSTATUS_OK && !text.View().empty();
        if (named) out.Append(text.View());
    }
    RDStreamDataFree(&name);
    return named;
}

bool PropertyName(const ConnectionRecord *connection, uint32_t number, TextBuffer &out) {
    if (connection != nullptr && AppendDeclaredName(ConnectionIdentify(connection), number, out))
        return true;
    if (AppendDeclaredName(Context()->activity.identifyRecord, number, out)) return true;
    const AddedProperty *added = FindAddedProperty(number);
    if (added == nullptr) return false;
    const StreamText text(&added->name);
    if (text.View().empty()) return false;
    out.Append(text.View());
    return true;
}

} // namespace

void InstallActivityLogHooks() {
    g_logHooks.send = CSMgrLog;
    g_logHooks.propertyName = PropertyName;
}

} // namespace rdx
