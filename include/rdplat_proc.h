/* SPDX-License-Identifier: Apache-2.0 */
/* Processes, threads, anonymous pipes and shared memory.
 *
 * Handles are pointer-sized and 0 always means "none": descriptors are stored
 * as descriptor + 1 so that descriptor 0 (standard input) never looks like
 * an empty handle. RDPROC_FD turns a stored pipe end back into a descriptor,
 * for example to tell a child process which inherited descriptor to use. */
#ifndef RDPLAT_PROC_H
#define RDPLAT_PROC_H

#include "rdexport.h"
#include "rdplat_status.h"
#include <stdint.h>

/* RDProcShellExec priorities; any other value is normal priority. */
#define RDPROC_PRIORITY_IDLE 1u
#define RDPROC_PRIORITY_HIGH 3u
/* RDProcShellExec flags. A new console is a new session; a hidden window has
 * nothing to hide on this system. */
#define RDPROC_NEW_CONSOLE 1u
#define RDPROC_HIDDEN 2u

/* Longest command line of RDProcShellExec, without its NUL. */
#define RDPROC_COMMAND_MAX 79
/* Room of a shared-memory name: at most 9 characters and a NUL. */
#define RDPROC_SHMEM_NAME_SIZE 10

/* The descriptor behind a pipe end (-1 for an empty one). */
#define RDPROC_FD(handle) ((int)(handle)-1)
/* The descriptor behind a shared-memory mapping handle (-1 for none). */
#define RDPROC_SHMEM_FD(mapping) ((int)((mapping) >> 1) - 1)

/* A thread: start it with RDProcThreadCreate, end it with RDProcThreadWait. */
typedef void *RDThreadHandle;
/* A process started by RDProcShellExec (its process id). */
typedef void *RDProcessHandle;
/* A thread's start routine; its result is the thread's exit code. */
typedef uint32_t (*RDThreadRoutine)(void *argument);

/* An anonymous pipe, owned by the caller. */
typedef struct RDProcPipe {
    uintptr_t readEnd;   /* descriptor + 1, 0 for none */
    uintptr_t writeEnd;  /* descriptor + 1, 0 for none */
    uint32_t bufferSize; /* as requested */
} RDProcPipe;

/* A shared-memory object and a view of it, owned by the caller. A record of
 * zeros stands for nothing created or mapped. */
typedef struct RDProcShmem {
    uintptr_t mapping; /* read with RDPROC_SHMEM_FD; 0 for none */
    uint32_t size;
    char name[RDPROC_SHMEM_NAME_SIZE];
    void *view;
} RDProcShmem;

RD_BEGIN_DECLS

/* Starts routine(argument) on a new thread. *thread (when given) is cleared
 * first and receives the handle; without it the thread runs detached.
 * Returns 0 or 513. */
RD_EXPORT uint32_t RDProcThreadCreate(RDThreadRoutine routine, void *argument,
                                      RDThreadHandle *thread);

/* Cancels the thread; it ends at its next cancellation point (a blocking
 * call or a sleep). A null handle does nothing. Returns 0 or 515. */
RD_EXPORT uint32_t RDProcThreadKill(RDThreadHandle *thread);

/* Waits for the thread to end and clears the handle, which is then used up.
 * Returns 0 or 514 (null handle, or the wait failed). */
RD_EXPORT uint32_t RDProcThreadWait(RDThreadHandle *thread);

/* Suspends the calling thread for the given seconds. Always 0. */
RD_EXPORT uint32_t RDProcThreadSleep(uint32_t seconds);

/* Suspends the calling thread for 250 ms. Always 0. */
RD_EXPORT uint32_t RDKeyboardSleep(void);

/* Starts a program. The command line (at most RDPROC_COMMAND_MAX characters)
 * is split into words at blanks, double quotes grouping; the first word is
 * the program, found on PATH unless it contains '/'. The program inherits
 * environment, current directory and inheritable descriptors. *process (when
 * given) is cleared first and receives the handle; without it the program is
 * not a child of the caller. Returns 0 or 516. */
RD_EXPORT uint32_t RDProcShellExec(const char *commandLine, RDProcessHandle *process,
                                   uint32_t priority, uint32_t flags);

/* Kills the process. Returns 0 or 519 (null handle, or refused). */
RD_EXPORT uint32_t RDProcProcessKill(RDProcessHandle *process);

/* Waits for the process to end and clears the handle, which is then used up.
 * Returns 0 or 518 (null handle, or the wait failed). */
RD_EXPORT uint32_t RDProcProcessWait(RDProcessHandle *process);

/* Runs the command line with /bin/sh -c and waits for it. Returns 0 when it
 * ended with status 0, else 12325. */
RD_EXPORT uint32_t RDProcCommandExec(const char *commandLine);

/* Clears the record, stores size and creates a pipe whose ends children
 * inherit, asking for a buffer of size bytes (0: the default). 0 or 520. */
RD_EXPORT uint32_t RDProcPipeCreate(uint32_t size, RDProcPipe *pipe);

/* Writes count bytes in one blocking write. 0 when at least one byte was
 * written, else 521 (also when the read end is gone). */
RD_EXPORT uint32_t RDProcPipeFill(uint32_t count, const void *data, RDProcPipe *pipe);

/* Reads at most count bytes in one blocking read. 0 when at least one byte
 * was read, else 522 (also at the end of the pipe). */
RD_EXPORT uint32_t RDProcPipeEmpty(uint32_t count, void *buffer, RDProcPipe *pipe);

/* 1 when bytes wait at the read end, else 0. */
RD_EXPORT int RDProcPipePeek(const RDProcPipe *pipe);

/* Closes both ends and clears the record. Returns 0, or 523 when the record
 * is null or an end could not be closed; both ends are cleared either way,
 * so no descriptor number is closed twice. */
RD_EXPORT uint32_t RDProcPipeDestroy(RDProcPipe *pipe);

/* Creates the shared-memory object name (at most 9 characters) of size
 * bytes, zero-filled, with an inheritable handle; no view is mapped. A name
 * that is null or too long, or a size of 0, returns 525 and leaves the record
 * untouched. Returns 0, 525, or 526 when the object already existed (the
 * record then holds a handle to it). An existing object that another user
 * owns or may write gives 525. Only the record that created the object
 * removes it on RDProcShmemDestroy. */
RD_EXPORT uint32_t RDProcShmemCreate(uint32_t size, const char *name, RDProcShmem *shmem);

/* Opens the object name and maps size bytes of it for reading and writing.
 * A null or too long name, a size of 0 or a null record return null and
 * leave the record untouched. Returns the view, or null when the object is
 * missing, smaller than size, or owned or writable by another user. */
RD_EXPORT void *RDProcShmemMap(uint32_t size, const char *name, RDProcShmem *shmem);

/* Unmaps the view (when there is one) and clears the record's view; the
 * other fields stay. Always 0. */
RD_EXPORT uint32_t RDProcShmemUnmap(RDProcShmem *shmem);

/* Closes the handle (removing the object when this record created it) and
 * clears the record. Returns 0, or 527 when a handle could not be closed. */
RD_EXPORT uint32_t RDProcShmemDestroy(RDProcShmem *shmem);

/* The record's size, 0 for a null record. */
RD_EXPORT uint32_t RDProcShmemGetSize(const RDProcShmem *shmem);

/* Reserved for process-wide signal handling; they do nothing. */
RD_EXPORT void RDProcSigHndlrSet(void);
RD_EXPORT void RDProcSigHndlrUnset(void);

RD_END_DECLS

#endif
