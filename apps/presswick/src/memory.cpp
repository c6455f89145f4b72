#include "memory.h"

#include <malloc.h>

namespace presswick {

void return_freed_memory() {
#if defined(__GLIBC__)
    (void)malloc_trim(0);
#endif
}

}  // namespace presswick
