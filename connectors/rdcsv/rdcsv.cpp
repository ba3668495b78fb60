// rdcsv: the link connector for delimited text files. The entry points
// check the private area and hand over to the connection object it holds.
#include "connector_records.h"
#include "connector_resume.h"
#include "connector_values.h"
#include "csv_connection.h"
#include "link_entries.h"
#include "property_value.h"
#include "rdx_connector.h"
#include "rdx_field.h"
#include "rdx_status.h"
#include "rdx_stream.h"

namespace {

using rdcsv::Connection;
using rdxc::Declare;

constexpr PropertyDeclaration kDeclarations[] = {
    Declare(rdcsv::kPath, RDTYPE_TEXT, "Path"),
    Declare(rdcsv::kDelimiter, RDTYPE_TEXT, "Delimiter"),
    Declare(rdcsv::kQuote, RDTYPE_TEXT, "Quote"),
    Declare(rdcsv::kHeader, RDTYPE_INT, "Header"),
    Declare(rdcsv::kCharset, RDTYPE_TEXT, "Charset"),
    Declare(rdcsv::kColumns, RDTYPE_TEXT, "Columns"),
    Declare(rdcsv::kInferRows, RDTYPE_INT, "InferRows"),
    Declare(rdcsv::kLineEnd, RDTYPE_TEXT, "LineEnd"),
    Declare(rdcsv::kCreate, RDTYPE_INT, "Create"),
    Declare(rdcsv::kLastError, RDTYPE_TEXT, "LastError"),
    Declare(rdxc::kMarkName, RDTYPE_TEXT, "MarkName"),
    Declare(rdxc::kMark, RDTYPE_TEXT, "Mark"),
    Declare(rdxc::kReadPosition, RDTYPE_TEXT, "ReadPosition"),
    Declare(rdxc::kIdentity, RDTYPE_TEXT, "Identity"),
    Declare(rdxc::kRejectRecord, RDTYPE_TEXT, "RejectRecord"),
    Declare(rdxc::kRejectLine, RDTYPE_INT, "RejectLine"),
    Declare(rdxc::kRounding, RDTYPE_TEXT, "Rounding"),
    Declare(rdxc::kDatetimeFormat, RDTYPE_TEXT, "DatetimeFormat"),
    PropertyDeclaration{rdcsv::kMetadata, RDTYPE_TEXT, 0, nullptr, 0},
    PropertyDeclaration{0, 0, 0, nullptr, 0},
};

} // namespace

RDXC_LINK_ENTRY_POINTS(Connection, kDeclarations)
