/* SPDX-License-Identifier: Apache-2.0 */
/* The connector contract: what a plug-in library NAME.rdx in the home
 * directory exports so that the library can load it.
 *
 * An activity connector carries out a whole job: it exports RDXIdentify and
 * RDXLaunch. A link connector reaches one kind of data source: it exports
 * every entry point below except RDXLaunch, and connections are opened
 * through it. Every entry point returns a status, 0 for success; a non-zero
 * status goes back to the caller of the library function that called the
 * entry point and is logged there.
 *
 * `priv` is the connection's private area: identify word 4 bytes, zeroed,
 * owned by the library and freed by it after RDXTerminate. Calls come from
 * one thread at a time; a connector may call back into the library, also
 * for its own connection (one it frees from inside its own call is freed
 * when that call returns). Out counts of RDXFetch, RDXInsert, RDXUpdate and
 * RDXRemove larger than the record count asked for are cut down to it. Field and field
 * list arguments are handles of the field functions (rdx_field.h,
 * rdx_fieldlist.h). Values described as "passed through" come from the
 * activity's call unchanged; their meaning is agreed between the activity
 * and the connector.
 *
 * Faults: a fault of one record (a value that does not convert, a malformed
 * line, a row that a constraint refuses) is logged by the connector as free
 * text (RDActivityLogStream) and returned as RDSTATUS_RECORDFAULT (12330);
 * the connection stands after that record, so that an activity that skips
 * bad records can go on. Everything else that fails (space, permission,
 * the connection, the layout of a table or file) is logged the same way and
 * returned as RDSTATUS_FREETEXT (12325), or returned as a library status:
 * such a fault ends a copy, whatever it does with bad records. */
#ifndef RDX_CONNECTOR_H
#define RDX_CONNECTOR_H

#include "rdexport.h"
#include <stdint.h>

/* The interface version a connector reports in word 0 of its identify record. */
#define RDX_INTERFACE_VERSION 0x20000u

/* Connector kinds (identify word 1). */
#define RDX_KIND_ACTIVITY 1u
#define RDX_KIND_LINK 2u

/* RDXFetch's status at the end of the data; its count tells how many
 * records were filled before the end. */
#define RDX_END_OF_DATA 12290u

/* RDXExecute's and RDXSelect's count when the number of records is unknown. */
#define RDX_COUNT_UNKNOWN 0xFFFFFFFFu

/* Entry-point numbers: the index of each entry in the library's table, and
 * the operation code that statistics and log records show. */
enum RDXEntryNumber {
    RDXENTRY_NONE = 0,
    RDXENTRY_IDENTIFY = 1,
    RDXENTRY_LAUNCH = 2,
    RDXENTRY_INITIALIZE = 3,
    RDXENTRY_TERMINATE = 4,
    RDXENTRY_GETPROPERTY = 5,
    RDXENTRY_SETPROPERTY = 6,
    RDXENTRY_CONNECT = 7,
    RDXENTRY_DISCONNECT = 8,
    RDXENTRY_EXECUTE = 9,
    RDXENTRY_SELECT = 10,
    RDXENTRY_FETCH = 11,
    RDXENTRY_INSERT = 12,
    RDXENTRY_UPDATE = 13,
    RDXENTRY_REMOVE = 14,
    RDXENTRY_ACTION = 15,
    RDXENTRY_CATALOG = 16,
    RDXENTRY_CREATE = 17,
    RDXENTRY_DROP = 18,
    RDXENTRY_COUNT = 19
};

/* One property the connector understands. The declaration table ends with
 * an entry whose number is 0. `name` is written in the character set of
 * identify word 5; with nameLength 0 and bit 16 of the number set, the
 * property takes its built-in name. */
typedef struct PropertyDeclaration {
    uint32_t number;
    uint32_t type; /* value type code of the property (1-7) */
    uint32_t attributes;
    const char *name;
    uint32_t nameLength;
} PropertyDeclaration;

/* Bit 31 of a declaration's attributes: the property's text value names a
 * link (a link description of the server manager). Job files that give
 * such a property are refused when no link of that name is defined. The
 * other bits are the connector's own. */
#define RDX_ATTRIBUTE_LINKNAME 0x80000000u

/* Filled by RDXIdentify into a record the library zeroes first. The library
 * keeps the record, and reads the declarations it points to, for as long as
 * the connector stays loaded. The words not named are the connector's own.
 * A link connector is refused (status 1547) when the kind is not
 * RDX_KIND_LINK, the declarations pointer is null, no ending entry comes
 * within 65535 declarations, or privateSize is above 16 MiB; a version
 * other than RDX_INTERFACE_VERSION gives 1548. See docs/connectors.md. */
typedef struct IdentifyRecord {
    uint32_t version; /* RDX_INTERFACE_VERSION */
    uint32_t kind;    /* RDX_KIND_ACTIVITY or RDX_KIND_LINK */
    uint32_t words2to3[2];
    uint32_t privateSize; /* bytes of each connection's private area, 0 allowed */
    uint32_t nameCharset; /* character set of the declared names */
    const PropertyDeclaration *declarations; /* at least the ending entry */
    uint8_t rest[1000 - 32];
} IdentifyRecord;

#ifdef __cplusplus
static_assert(sizeof(IdentifyRecord) == 1000, "the identify record is 1000 bytes");
static_assert(__builtin_offsetof(IdentifyRecord, privateSize) == 16, "word 4 at byte 16");
static_assert(__builtin_offsetof(IdentifyRecord, nameCharset) == 20, "word 5 at byte 20");
static_assert(__builtin_offsetof(IdentifyRecord, declarations) == 24,
              "the declarations pointer at byte 24");
static_assert(sizeof(PropertyDeclaration) == 3 * 4 + 4 + sizeof(void *) + 4 + 4,
              "five members in natural layout");
#else
_Static_assert(sizeof(IdentifyRecord) == 1000, "the identify record is 1000 bytes");
_Static_assert(__builtin_offsetof(IdentifyRecord, declarations) == 24,
               "the declarations pointer at byte 24");
#endif

/* The entry points' types, as the library calls them. */
typedef uint32_t (*RDXIdentifyProc)(IdentifyRecord *record);
typedef uint32_t (*RDXLaunchProc)(void);
typedef uint32_t (*RDXInitializeProc)(void *priv, uint32_t connectCode, uint32_t first);
typedef uint32_t (*RDXTerminateProc)(void *priv, uint32_t last);
typedef uint32_t (*RDXGetPropertyProc)(void *priv, uint32_t number, uint32_t field);
typedef uint32_t (*RDXSetPropertyProc)(void *priv, uint32_t number, uint32_t field);
typedef uint32_t (*RDXConnectProc)(void *priv);
typedef uint32_t (*RDXDisconnectProc)(void *priv, uint32_t activityStatus);
typedef uint32_t (*RDXExecuteProc)(void *priv, uint32_t pass1, uint32_t pass2, uint32_t *count);
typedef uint32_t (*RDXSelectProc)(void *priv, uint32_t list, uint32_t perFetch, uint32_t pass,
                                  uint32_t *count);
typedef uint32_t (*RDXFetchProc)(void *priv, uint32_t list, uint32_t first, uint32_t count,
                                 uint32_t *fetched);
typedef uint32_t (*RDXInsertProc)(void *priv, uint32_t list, uint32_t first, uint32_t count,
                                  uint32_t *done);
typedef uint32_t (*RDXUpdateProc)(void *priv, uint32_t list, uint32_t first, uint32_t count,
                                  uint32_t *done);
typedef uint32_t (*RDXRemoveProc)(void *priv, uint32_t list, uint32_t first, uint32_t count,
                                  uint32_t *done);
typedef uint32_t (*RDXActionProc)(void *priv, uint32_t action);
typedef uint32_t (*RDXCatalogProc)(void *priv, uint32_t kind, uint32_t pass, uint32_t *count);
typedef uint32_t (*RDXCreateProc)(void *priv, uint32_t kind, uint32_t pass);
typedef uint32_t (*RDXDropProc)(void *priv, uint32_t kind);

/* Optional, for activity connectors: checks one property value as the
 * connector would read it (value 1 of field), before anything runs it. 0
 * when the value is good; else a status, its reason logged as free text
 * (RDActivityLogStream). Job files are checked through it when they are
 * defined; link connectors are checked through RDXSetProperty instead. */
typedef uint32_t (*RDXCheckPropertyProc)(uint32_t number, uint32_t field);

/* A connector marks each entry point it defines with RDX_ENTRY, e.g.
 *     RDX_ENTRY uint32_t RDXConnect(void *priv) { ... }
 * so that it is exported with C linkage even from a library built with
 * hidden visibility. */
#ifdef __cplusplus
#define RDX_ENTRY extern "C" RD_EXPORT
#else
#define RDX_ENTRY RD_EXPORT
#endif

#endif
