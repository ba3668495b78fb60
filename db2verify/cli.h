// SPDX-License-Identifier: Apache-2.0
// The CLI declarations: the driver manager's sql.h unless the build names another header.
#pragma once

#include RDX_CLI_HEADER
