// Page-sized buffers: a 600-dpi page is tens of megabytes, and faulting it in 4 KB at a time cost more
// than the work done on it.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace ocr {

// Asks for huge pages over the whole 2 MB blocks inside [data, data + size), before it is first written.
// Only advice: where the system gives none, the buffer works as before.
inline void advise_huge_pages(void* data, std::size_t size) {
    constexpr std::uintptr_t block = std::uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + block - 1) & ~(block - 1);
    const std::uintptr_t last = (begin + size) & ~(block - 1);
    if (last > first) {
        (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
}

}  // namespace ocr
