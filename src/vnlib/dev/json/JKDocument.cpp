#include "vnlib/dev/json/JKDocument.h"

JKDocument::~JKDocument() {
    // Only the strings whose text did not fit inside them own memory of their own; every other
    // object in the blocks goes with them.
    for (HeapStrings* chunk = heapStrings_; chunk; chunk = chunk->next) {
        for (size_t i = 0; i < chunk->count; ++i)
            std::destroy_at(chunk->strings[i]);
    }
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
        if (!heapStrings_ || heapStrings_->count == HeapStrings::kCapacity) {
            HeapStrings* chunk;
            try {
                chunk = make<HeapStrings>();
            } catch (...) {
                std::destroy_at(s);
                throw;
            }
            chunk->next = heapStrings_;
            heapStrings_ = chunk;
        }
        heapStrings_->strings[heapStrings_->count++] = s;
    }
    return *s;
}
