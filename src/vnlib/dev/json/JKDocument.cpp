#include "vnlib/dev/json/JKDocument.h"

JKDocument::~JKDocument() {
    // Only the strings whose text did not fit inside them own memory of their own; every other
    // object in the blocks goes with them.
    for (std::string* s : heapStrings_)
        std::destroy_at(s);
}

void* JKDocument::allocateSlow(size_t bytes) {
    // Blocks double up to a size that the heap still serves from its arenas rather than by
    // mapping fresh pages; a larger request gets a block of its own.
    size_t size = blockSize_;
    if (blockSize_ < kLargestBlock)
        blockSize_ *= 2;
    if (bytes > size)
        size = bytes;
    // The block is storage for objects made in place: std::byte[] is what gives it that role.
    blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
    std::byte* block = blocks_.back().get();
    if (size == bytes && size > blockSize_) {
        return block;  // a block of its own: the current block stays open for later requests
    }
    next_ = block + bytes;
    left_ = size - bytes;
    return block;
}

const std::string& JKDocument::makeString(const char* bytes, size_t n) {
    std::string* s = make<std::string>(bytes, n);
    const char* text = s->data();
    const auto* self = reinterpret_cast<const char*>(s);
    if (text < self || text >= self + sizeof(std::string)) {
        try {
            heapStrings_.push_back(s);
        } catch (...) {
            std::destroy_at(s);
            throw;
        }
    }
    return *s;
}
