/* SPDX-License-Identifier: Apache-2.0 */
/* Links and connections of the running activity: the link connectors of the
 * home directory, connections opened through them, their properties, and
 * the data operations that go to the connector's entry points (see
 * rdx_connector.h for the contract those follow).
 *
 * Every function returns 12321 without a ready system or an activity, and
 * 1542 or 1543 while the server manager asks the activity to stop (except
 * RDConnectFree, which always returns 0, and RDConnectDisconnect, which
 * still closes). A handle naming no connection gives 12308. A failed
 * connector call is logged (RDActivityLog) and its status returned. */
#ifndef RDX_CONNECT_H
#define RDX_CONNECT_H

#include "rdexport.h"
#include "rdx_currency.h"
#include "rdx_datetime.h"
#include "rdx_numeric.h"
#include "rdx_stream.h"
#include <stdint.h>

/* Listing modes. */
#define RDLIST_FIRST 1u
#define RDLIST_NEXT 2u

/* A link reference whose top byte is this takes the link name as the
 * connector's name itself. */
#define RDLINK_DIRECT 0xFF000000u

RD_BEGIN_DECLS

/* The next link connector of the home directory (files NAME.rdx that load
 * as link connectors; others are skipped): its link code and name. At the
 * end of the listing the code is 0, the name released, the status 12290. */
RD_EXPORT uint32_t RDActivityListLink(uint32_t mode, uint32_t *linkCode, RDStream *name);
/* Loads the link of name (once per activity) and gives its link code:
 * 0x10000 for the first link loaded, 0x20000 for the second... */
RD_EXPORT uint32_t RDActivityLookupLink(const RDStream *name, uint32_t *linkCode);

/* A new connection. linkReference 0 with linkName: the link described under
 * that name by the server manager; a qualifier in the top byte: the link
 * the activity's Link property of that qualifier identifies; RDLINK_DIRECT
 * (or a stand-alone activity): linkName is the connector's name. */
RD_EXPORT uint32_t RDConnectAlloc(uint32_t *handle, uint32_t linkReference,
                                  const RDStream *linkName);
/* Disconnects when connected, terminates and frees the connection. */
RD_EXPORT uint32_t RDConnectFree(uint32_t handle);

/* Property values travel in value 1 of a field. Name (0x30004), LinkCode
 * (0x30005) and ConnectCode (0x30006) are answered by the library; Password
 * (0x10004) is never read; other numbers go to the connector. */
RD_EXPORT uint32_t RDConnectGetProperty(uint32_t handle, uint32_t number, uint32_t field);
RD_EXPORT uint32_t RDConnectSetProperty(uint32_t handle, uint32_t number, uint32_t field);
/* The link's property declarations one by one; each out may be null. */
RD_EXPORT uint32_t RDConnectListProperty(uint32_t handle, uint32_t mode, uint32_t *number,
                                         uint32_t *type, uint32_t *attributes, RDStream *name);

RD_EXPORT uint32_t RDConnectGetPropertyInt(uint32_t handle, uint32_t number, int32_t *value);
RD_EXPORT uint32_t RDConnectGetPropertyFloat(uint32_t handle, uint32_t number, double *value);
RD_EXPORT uint32_t RDConnectGetPropertyCurrency(uint32_t handle, uint32_t number,
                                                RDCurrency *value);
RD_EXPORT uint32_t RDConnectGetPropertyNumeric(uint32_t handle, uint32_t number, RDNumeric *value);
RD_EXPORT uint32_t RDConnectGetPropertyDatetime(uint32_t handle, uint32_t number,
                                                RDDatetime *value);
RD_EXPORT uint32_t RDConnectGetPropertyStream(uint32_t handle, uint32_t number, uint32_t charset,
                                              RDStream *value);
/* 1 or 0 for a non-zero or zero (or null) Int; fallback on any failure. */
RD_EXPORT uint32_t RDConnectGetPropertyBoolean(uint32_t handle, uint32_t number, uint32_t fallback);
/* A null value sets a null value. */
RD_EXPORT uint32_t RDConnectSetPropertyInt(uint32_t handle, uint32_t number, const int32_t *value);
RD_EXPORT uint32_t RDConnectSetPropertyFloat(uint32_t handle, uint32_t number, const double *value);
RD_EXPORT uint32_t RDConnectSetPropertyCurrency(uint32_t handle, uint32_t number,
                                                const RDCurrency *value);
RD_EXPORT uint32_t RDConnectSetPropertyNumeric(uint32_t handle, uint32_t number,
                                               const RDNumeric *value);
RD_EXPORT uint32_t RDConnectSetPropertyDatetime(uint32_t handle, uint32_t number,
                                                const RDDatetime *value);
RD_EXPORT uint32_t RDConnectSetPropertyStream(uint32_t handle, uint32_t number,
                                              const RDStream *value);

/* The data operations. Out counts may be null; given, they are 0 first.
 * Records are addressed in the caller's field list from 1; a range that
 * does not fit the list gives 12312 (or 12313 when it only starts too
 * late); a count of 0 returns 0 without calling the connector. Every
 * operation but Connect, Disconnect and Fetch (and Catalog, Create and Drop
 * of kinds 1 and 2) needs a connected connection (12323). */
RD_EXPORT uint32_t RDConnectConnect(uint32_t handle);
RD_EXPORT uint32_t RDConnectDisconnect(uint32_t handle);
RD_EXPORT uint32_t RDConnectExecute(uint32_t handle, uint32_t pass1, uint32_t pass2,
                                    uint32_t *count);
RD_EXPORT uint32_t RDConnectSelect(uint32_t handle, uint32_t list, uint32_t perFetch, uint32_t pass,
                                   uint32_t *count);
/* 12290 at the end of the data, with the records filled before it counted. */
RD_EXPORT uint32_t RDConnectFetch(uint32_t handle, uint32_t list, uint32_t first, uint32_t count,
                                  uint32_t *fetched);
RD_EXPORT uint32_t RDConnectInsert(uint32_t handle, uint32_t list, uint32_t first, uint32_t count,
                                   uint32_t *done);
RD_EXPORT uint32_t RDConnectUpdate(uint32_t handle, uint32_t list, uint32_t first, uint32_t count,
                                   uint32_t *done);
/* With list 0 the connection's properties select what is removed. */
RD_EXPORT uint32_t RDConnectRemove(uint32_t handle, uint32_t list, uint32_t first, uint32_t count,
                                   uint32_t *done);
/* RDACTION_ROLLBACK asks the connection to discard what it holds that is not
 * committed yet. It is the one action that still runs while the server
 * manager's request to stop is pending, so that a stopped activity can end
 * its connections cleanly; a connector that commits every call has nothing
 * to discard and succeeds. The code spells "ROLL". */
#define RDACTION_ROLLBACK 0x524F4C4Cu
RD_EXPORT uint32_t RDConnectAction(uint32_t handle, uint32_t action);
RD_EXPORT uint32_t RDConnectCatalog(uint32_t handle, uint32_t kind, uint32_t pass, uint32_t *count);
/* Kind 0 gives 12289; kinds other than 1 and 2 need a non-zero pass. */
RD_EXPORT uint32_t RDConnectCreate(uint32_t handle, uint32_t kind, uint32_t pass);
RD_EXPORT uint32_t RDConnectDrop(uint32_t handle, uint32_t kind);

RD_END_DECLS

#endif
