#include "vnlib/dev/json/JKManagedBuffer.h"

#include <cstdlib>
#include <cstring>

#include "platform/core/Exception.h"

JKManagedBuffer::~JKManagedBuffer() {
    jk_managedBuffer_release(*this);
}

void jk_managedBuffer_setToStackBuffer(JKManagedBuffer& buffer, unsigned char* storage,
                                       size_t size) {
    jk_managedBuffer_release(buffer);
    buffer.bytes.ptr = storage;
    buffer.bytes.length = size;
    buffer.flags = (buffer.flags & ~JKManagedBufferLocationMask) | JKManagedBufferBorrowed;
}

void jk_managedBuffer_release(JKManagedBuffer& buffer) {
    if (buffer.flags & JKManagedBufferMustFree) {
        std::free(buffer.bytes.ptr);
        buffer.flags &= ~JKManagedBufferMustFree;
    }
    buffer.bytes.ptr = nullptr;
    buffer.bytes.length = 0;
    buffer.flags &= ~JKManagedBufferLocationMask;
}

unsigned char* jk_managedBuffer_resize(JKManagedBuffer& buffer, size_t size) {
    const size_t granule = buffer.growthGranule;
    if (granule != 0)
        size += (granule - size % granule) % granule;
    if (size <= buffer.bytes.length)
        return buffer.bytes.ptr;

    switch (buffer.location()) {
        case JKManagedBufferBorrowed: {
            auto* block = static_cast<unsigned char*>(std::malloc(size));
            if (!block)
                return nullptr;
            if (buffer.bytes.length)
                std::memcpy(block, buffer.bytes.ptr, buffer.bytes.length);
            buffer.flags = (buffer.flags & ~JKManagedBufferLocationMask) | JKManagedBufferOnHeap |
                           JKManagedBufferMustFree;
            buffer.bytes.ptr = block;
            buffer.bytes.length = size;
            return block;
        }
        case JKManagedBufferOnHeap: {
            auto* block = static_cast<unsigned char*>(std::realloc(buffer.bytes.ptr, size));
            if (!block) {
                // The must-free flag stays set; a later release then has nothing to free.
                std::free(buffer.bytes.ptr);
                buffer.bytes.ptr = nullptr;
                buffer.bytes.length = 0;
                return nullptr;
            }
            buffer.bytes.ptr = block;
            buffer.bytes.length = size;
            return block;
        }
        default:
            break;
    }
    // Owners always point a buffer at borrowed storage before they grow it.
    PLAT_ASSERT(false, "Invalid parameter not satisfying: buffer is borrowed or on the heap");
    return nullptr;
}
