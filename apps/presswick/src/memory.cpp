#include "memory.h"

#include <malloc.h>

namespace presswick {

void map_large_buffers_alone() {
#if defined(__GLIBC__)
    // A fixed threshold also ends glibc's habit of raising it (to 32 MB) after the first large free,
    // which puts later pages on the arenas' heaps, whose free top malloc_trim never gives back.
    (void)mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
}

void return_freed_memory() {
#if defined(__GLIBC__)
    (void)malloc_trim(0);
#endif
}

}  // namespace presswick
