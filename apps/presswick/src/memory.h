// Giving memory back: page buffers are freed on whichever thread dropped them last, into the allocator
// arena of the worker thread that made them, where it would stay resident for the life of the process.
#pragma once

namespace presswick {

// Returns the allocator's free memory (of every thread's arena) to the system. Costs a walk over the
// heap: called after pages are dropped, not per frame.
void return_freed_memory();

}  // namespace presswick
