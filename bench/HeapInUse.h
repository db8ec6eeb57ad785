#pragma once
// The memory measures of the benchmarks: the heap's bytes in use, and the memory in use besides.
#include <malloc.h>

#include <cstddef>

#include "ProcessStatus.h"

namespace bench {

// Bytes the heap has handed out and not taken back, on every arena, the blocks it serves by
// mapping pages of their own (large ones) included.
inline size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// heapInUse() and the private memory the process mapped apart from the heap (a reader that maps
// blocks of its own for a large tree, say), which the heap's figures do not see: the process's
// private data mappings less what the heap took from the system.
inline size_t memoryInUse() {
    const struct mallinfo2 info = mallinfo2();
    const auto data = static_cast<size_t>(statusKiB("VmData:")) * 1024;
    const size_t heapFromSystem = info.arena + info.hblkhd;
    return heapInUse() + (data > heapFromSystem ? data - heapFromSystem : 0);
}

}  // namespace bench
