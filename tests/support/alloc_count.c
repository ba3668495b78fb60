/* SPDX-License-Identifier: Apache-2.0 */
/* A preloaded library that counts the heap allocations of a process: every
 * call of malloc, calloc, realloc, posix_memalign, aligned_alloc and
 * memalign (operator new goes through malloc). At exit it appends a line
 * "NAME COUNT" to the file named by RD_ALLOC_COUNT_FILE, NAME being the
 * program's name, so that a test can take the count of one program of
 * several. The allocations themselves are glibc's own. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

extern void *__libc_malloc(size_t size);
extern void *__libc_calloc(size_t count, size_t size);
extern void *__libc_realloc(void *block, size_t size);
extern void *__libc_memalign(size_t alignment, size_t size);

/* The allocation functions must be seen from outside, whatever visibility
 * the build gives by default. */
#define EXPORTED __attribute__((visibility("default")))

static uint64_t allocations;

static void Count(void) {
    __atomic_add_fetch(&allocations, 1, __ATOMIC_RELAXED);
}

EXPORTED void *malloc(size_t size) {
    Count();
    return __libc_malloc(size);
}

EXPORTED void *calloc(size_t count, size_t size) {
    Count();
    return __libc_calloc(count, size);
}

EXPORTED void *realloc(void *block, size_t size) {
    Count();
    return __libc_realloc(block, size);
}

EXPORTED void *memalign(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}

EXPORTED void *aligned_alloc(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}

EXPORTED int posix_memalign(void **out, size_t alignment, size_t size) {
    Count();
    void *block = __libc_memalign(alignment, size);
    if (block == NULL) return ENOMEM;
    *out = block;
    return 0;
}

/* Written with a single write of a line built on the stack: no allocation,
 * and whole lines when processes share the file. */
__attribute__((destructor)) static void Report(void) {
    const char *path = getenv("RD_ALLOC_COUNT_FILE");
    if (path == NULL || *path == '\0') return;
    char name[64] = "?";
    const int comm = open("/proc/self/comm", O_RDONLY);
    if (comm >= 0) {
        const ssize_t n = read(comm, name, sizeof name - 1);
        if (n > 0) name[n - (name[n - 1] == '\n' ? 1 : 0)] = '\0';
        close(comm);
    }
    char line[128];
    const int length =
        snprintf(line, sizeof line, "%s %llu\n", name,
                 (unsigned long long)__atomic_load_n(&allocations, __ATOMIC_RELAXED));
    const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd < 0) return;
    if (length > 0) (void)!write(fd, line, (size_t)length);
    close(fd);
}
