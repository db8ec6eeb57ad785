#pragma once
// The heap's bytes in use, for the benchmarks that measure memory.
#include <malloc.h>

#include <cstddef>

namespace bench {

// Bytes the heap has handed out and not taken back, on every arena, the blocks it serves by
// mapping pages of their own (large ones) included.
inline size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

}  // namespace bench
