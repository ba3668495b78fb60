/* SPDX-License-Identifier: Apache-2.0 */
/* Named pipes between processes of one machine: message-oriented, duplex
 * connections addressed by a short name.
 *
 * On Linux a pipe is a SOCK_SEQPACKET Unix socket named NAME in the folder
 * $RD_PIPE_DIR or, when that is not set, in a folder of the platform's home
 * directory: $XDG_RUNTIME_DIR/rdx/<h> or /tmp/rdpipe-<uid>/<h>, <h> a hash of
 * the home's real path (without a home directory the folder above <h>). The
 * folders must be owned by the user and writable by nobody else. A server
 * serves only peers of its own user (or root).
 *
 * Every write is one message and every read returns at most one message. A
 * reader whose buffer is smaller than the message gets the first part with
 * the more-data flag set and reads the rest with further reads. Truth results
 * are 1 (done) or 0 (failed). Time-outs are whole seconds. */
#ifndef RDPLAT_IPC_H
#define RDPLAT_IPC_H

#include "rdexport.h"
#include <stdint.h>

/* The longest short name of a pipe. Names must also fit the socket address
 * together with the pipe folder, must not contain '/' and must not be "." or
 * "..". */
#define RDIPC_NAME_MAX 254u
/* Sizes of the server's input and output buffers. */
#define RDIPC_BUFFER_SIZE 2048u
/* The most instances of one pipe name served at once. */
#define RDIPC_MAX_INSTANCES 255u
/* The server's default time-out in milliseconds. */
#define RDIPC_DEFAULT_TIMEOUT_MS 45000u
/* The largest piece RDIPCWriteNW writes at a time. */
#define RDIPC_NW_PIECE 512u

/* One end of one pipe instance; null means no pipe. Closed with RDIPCClose
 * (or RDIPCShutdown) by whoever obtained it from RDIPCCreate or RDIPCOpen. */
typedef struct RDIPCPipe *RDIPCHandle;

RD_BEGIN_DECLS

/* 1 when a server of the pipe accepts a client within seconds (1 ms for 0),
 * 0 when the pipe does not exist or stayed busy. Never connects. */
RD_EXPORT int RDIPCExists(const char *name, uint32_t seconds);

/* A new server instance of the pipe, or null. Instances of one name in one
 * process share one listening socket, at most RDIPC_MAX_INSTANCES of them. */
RD_EXPORT RDIPCHandle RDIPCCreate(const char *name);

/* The same handle once a client is connected (in non-blocking mode as soon as
 * the instance listens), else null. Blocks in blocking mode. */
RD_EXPORT RDIPCHandle RDIPCWaitForConnection(RDIPCHandle server);

/* 1 when a client is connected or the instance now listens for one, else 0.
 * Blocks until a client arrives in blocking mode. */
RD_EXPORT int RDIPCAllowClientConnections(RDIPCHandle server);

/* The same handle when bytes are waiting to be read, else null. */
RD_EXPORT RDIPCHandle RDIPCCheckForConnection(RDIPCHandle server);

/* 1 when bytes are waiting to be read, else 0. */
RD_EXPORT int RDIPCPeek(RDIPCHandle pipe);

/* 1 when the handle was switched to non-blocking message mode, else 0. */
RD_EXPORT int RDIPCSetNoWait(RDIPCHandle pipe);

/* Bounds every later wait of the connection's reads and writes for its peer
 * to milliseconds (0: no bound); a read or write that waits longer fails.
 * 1, or 0 for a handle without a connection. */
RD_EXPORT int RDIPCSetTimeout(RDIPCHandle pipe, uint32_t milliseconds);

/* The process id of the connection's peer, as the system saw it when the
 * connection was made; 0 when unknown or for a handle without a connection. */
RD_EXPORT uint32_t RDIPCPeerProcess(RDIPCHandle pipe);

/* An addition: takes a client of the server instance as a handle of its own
 * (a connection that reads, writes and closes as a client's does): in
 * blocking mode waits for one, in no-wait mode (RDIPCSetNoWait) gives null
 * when none waits. The instance keeps listening. Peers of another user
 * (other than root) are turned away as by RDIPCWaitForConnection. */
RD_EXPORT RDIPCHandle RDIPCTakeClient(RDIPCHandle server);

/* An addition: a descriptor for poll or epoll that is readable when the
 * handle has something to take: the connection's, readable when a message or
 * the peer's close waits; for a server instance without a client the
 * listening socket's, readable when a client waits. The handle keeps it: the
 * caller neither reads from it nor closes it. Shutting a listening socket
 * down for reading (shutdown(2), SHUT_RD) ends every wait for a client of
 * the pipe in this process, which then fails, and refuses later clients: a
 * server so stops without a connection of its own. -1 for null. A handle
 * that holds the unread rest of a long message has more to read without it. */
RD_EXPORT int RDIPCDescriptor(RDIPCHandle pipe);

/* A client handle of the pipe, or null. A missing pipe is tried again every
 * 2 seconds while fewer than seconds have passed; a busy pipe is waited for
 * up to seconds (1 ms for 0) each time. */
RD_EXPORT RDIPCHandle RDIPCOpen(const char *name, uint32_t seconds);

/* Ends the connection of the instance's current client so that the instance
 * can serve the next. 1/0 (0 for a client handle). */
RD_EXPORT int RDIPCDisconnect(RDIPCHandle server);

/* Closes the handle. 1, or 0 for null. */
RD_EXPORT int RDIPCClose(RDIPCHandle pipe);

/* The same as RDIPCClose. */
RD_EXPORT int RDIPCShutdown(RDIPCHandle pipe);

/* Reads at most size bytes of the next message. Both outputs are set to 0
 * first. 1 with moreData 1 when the message was longer than the buffer (the
 * buffer is full and the rest follows with further reads); 0 on failure,
 * including the peer's close. */
RD_EXPORT int RDIPCRead(RDIPCHandle pipe, void *buffer, uint32_t size, uint32_t *bytesRead,
                        uint32_t *moreData);

/* As RDIPCRead; after a successful read morePending tells whether bytes are
 * still waiting to be read. */
RD_EXPORT int RDIPCReadNW(RDIPCHandle pipe, void *buffer, uint32_t size, uint32_t *bytesRead,
                          uint32_t *morePending);

/* Writes data as one message. written is set to 0 first. A length of 0 sends
 * nothing and succeeds. */
RD_EXPORT int RDIPCWrite(RDIPCHandle pipe, const void *data, uint32_t length, uint32_t *written);

/* Writes data as messages of at most RDIPC_NW_PIECE bytes, each read by the
 * peer before the next is sent. The total written is stored in every case; a
 * length of 0 writes nothing and returns 1. */
RD_EXPORT int RDIPCWriteNW(RDIPCHandle pipe, const void *data, uint32_t length, uint32_t *written);

/* Writes the request as one message and reads the answer message. Outputs
 * are set to 0 first; an answer longer than answerSize returns 1 with
 * moreData 1, the rest follows with RDIPCRead. The request and the answer
 * buffer may be the same memory. */
RD_EXPORT int RDIPCTransact(RDIPCHandle pipe, const void *request, uint32_t requestLength,
                            void *answer, uint32_t answerSize, uint32_t *bytesRead,
                            uint32_t *moreData);

/* Waits until the peer has read everything written. 0 when the peer went
 * away with data unread. */
RD_EXPORT int RDIPCFlush(RDIPCHandle pipe);

/* Why the calling thread's last pipe call refused the pipe folder: the folder
 * (or the path that does not fit a socket address), the reason, and that
 * RD_PIPE_DIR chooses another. Copies at most size - 1 bytes and a NUL into
 * buffer (buffer may be null) and returns the whole text's length; 0 when
 * the last call found the folder usable. */
RD_EXPORT uint32_t RDIPCFolderError(char *buffer, uint32_t size);

RD_END_DECLS

#endif
