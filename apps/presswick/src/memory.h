// Giving memory back. Page buffers are tens of megabytes, made on worker threads and freed on whichever
// thread dropped them last; left to the allocator's defaults they stay resident in the workers' arenas
// for the life of the process.
#pragma once

namespace presswick {

// Has every large allocation (a megabyte or more) mapped on its own, so that freeing it returns it to
// the system whichever thread made it. Called once at start, before any thread runs.
void map_large_buffers_alone();

// Returns the allocator's free memory (of every thread's arena) to the system. Costs a walk over the
// heap: called after pages are dropped, not per frame.
void return_freed_memory();

}  // namespace presswick
