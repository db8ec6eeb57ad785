#include "vnlib/dev/json/JKDocument.h"

#include <sys/mman.h>

#include <algorithm>
#include <bit>

namespace {

// Asks for huge pages behind the whole huge pages inside a block; only advice, which the
// system may not follow.
void adviseHugePages(std::byte* block, size_t size, size_t hugePage) {
    const auto start = (reinterpret_cast<uintptr_t>(block) + hugePage - 1) & ~(hugePage - 1);
    const auto end = (reinterpret_cast<uintptr_t>(block) + size) & ~(hugePage - 1);
    if (start < end)
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

}  // namespace

JKDocument::JKDocument(size_t expectedBytes)
    : blockSize_(std::bit_ceil(std::clamp(expectedBytes, kFirstBlock, kLargestBlock))),
      expected_(expectedBytes >= kLargeTree ? expectedBytes : 0) {}

size_t JKDocument::nextBlockSize() {
    if (expected_) {
        const size_t left = expected_ > allocated_ ? expected_ - allocated_ : 0;
        return std::clamp((left + kHugePage - 1) & ~(kHugePage - 1), kHugePage, kLargestLargeBlock);
    }
    // Blocks double up to a size that the heap still serves from its arenas rather than by
    // mapping fresh pages.
    const size_t size = blockSize_;
    if (blockSize_ < kLargestBlock)
        blockSize_ *= 2;
    return size;
}

JKDocument::~JKDocument() {
    for (const auto& [block, size] : mapped_)
        ::munmap(block, size);
}

void* JKDocument::allocateSlow(size_t bytes, size_t alignment) {
    // A request larger than the next block gets a block of its own.
    size_t size = nextBlockSize();
    const size_t wanted = bytes + alignment;
    const bool own = wanted > size;
    if (own)
        size = wanted;
    std::byte* block = nullptr;
    if (size >= kHugePage) {
        // Large blocks are mapped apart from the heap, so that their memory goes back to the
        // system as soon as the document goes (the heap would keep it).
        void* mapped =
            ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        mapped_.push_back({static_cast<std::byte*>(mapped), size});
        block = static_cast<std::byte*>(mapped);
        adviseHugePages(block, size, kHugePage);
    } else {
        // The block is storage for objects made in place: std::byte[] gives it that role.
        blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
        block = blocks_.back().get();
    }
    allocated_ += size;
    auto* p = reinterpret_cast<std::byte*>((reinterpret_cast<uintptr_t>(block) + alignment - 1) &
                                           ~(alignment - 1));
    if (own && next_)
        return p;  // a block of its own: the current block stays open for later requests
    next_ = p + bytes;
    end_ = block + size;
    return p;
}
