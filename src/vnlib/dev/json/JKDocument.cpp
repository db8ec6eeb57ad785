#include "vnlib/dev/json/JKDocument.h"

JKDocument::~JKDocument() = default;

void* JKDocument::allocateSlow(size_t bytes, size_t alignment) {
    // Blocks double up to a size that the heap still serves from its arenas rather than by
    // mapping fresh pages; a larger request gets a block of its own.
    size_t size = blockSize_;
    if (blockSize_ < kLargestBlock)
        blockSize_ *= 2;
    const size_t wanted = bytes + alignment;
    const bool own = wanted > size;
    if (own)
        size = wanted;
    // The block is storage for objects made in place: std::byte[] is what gives it that role.
    blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
    std::byte* const block = blocks_.back().get();
    auto* p = reinterpret_cast<std::byte*>((reinterpret_cast<uintptr_t>(block) + alignment - 1) &
                                           ~(alignment - 1));
    if (own && next_)
        return p;  // a block of its own: the current block stays open for later requests
    next_ = p + bytes;
    end_ = block + size;
    return p;
}
