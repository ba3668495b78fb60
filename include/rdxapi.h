/* SPDX-License-Identifier: Apache-2.0 */
/* rdxapi: the programming interface of the data-transfer engine. */
#ifndef RDXAPI_H
#define RDXAPI_H

#include "rdx_activity.h"
#include "rdx_connect.h"
#include "rdx_connector.h"
#include "rdx_csmgr.h"
#include "rdx_currency.h"
#include "rdx_datetime.h"
#include "rdx_field.h"
#include "rdx_fieldlist.h"
#include "rdx_fieldvalue.h"
#include "rdx_numeric.h"
#include "rdx_property.h"
#include "rdx_status.h"
#include "rdx_stream.h"
#include "rdx_system.h"
#include "rdx_text.h"
#include "rdx_valuelist.h"

#endif
