#pragma once
// JKManagedBuffer: a byte buffer that starts on storage the caller lends it (normally an array in
// the caller's frame) and moves to the heap only when it has to grow. The JSON reader keeps its
// decoded-string scratch in one, the JSON writer its output.
//
//   unsigned char frame[4096];
//   JKManagedBuffer buffer;
//   buffer.growthGranule = 32768;
//   jk_managedBuffer_setToStackBuffer(buffer, frame, sizeof frame);
//   if (!jk_managedBuffer_resize(buffer, 5000)) { /* out of memory */ }
#include <cstddef>
#include <cstdint>

// Where a buffer's bytes live (the two low bits of the flags) and whether it owns them.
enum : uint64_t {
    JKManagedBufferLocationNone = 0,
    JKManagedBufferBorrowed = 1,
    JKManagedBufferOnHeap = 2,
    JKManagedBufferLocationMask = 3,
    JKManagedBufferMustFree = 4,
};

struct JKPtrRange {
    unsigned char* ptr = nullptr;
    size_t length = 0;
};

struct JKManagedBuffer {
    JKManagedBuffer() = default;
    JKManagedBuffer(const JKManagedBuffer&) = delete;
    JKManagedBuffer& operator=(const JKManagedBuffer&) = delete;
    ~JKManagedBuffer();

    uint64_t location() const { return flags & JKManagedBufferLocationMask; }

    JKPtrRange bytes;  // ptr and capacity in bytes
    uint64_t flags = JKManagedBufferLocationNone;
    size_t growthGranule = 0;  // sizes asked for are rounded up to a multiple of it; 0: none
};

// Releases the buffer, then points it at the caller's storage.
void jk_managedBuffer_setToStackBuffer(JKManagedBuffer& buffer, unsigned char* storage,
                                       size_t size);
// Frees the heap block when the buffer owns one; the buffer is left empty. Borrowed storage is
// never freed.
void jk_managedBuffer_release(JKManagedBuffer& buffer);
// Grows the buffer to at least `size` bytes (rounded up to the growth granule), keeping its
// contents; a buffer never shrinks. Answers the bytes, or null when memory ran out (a heap block
// whose reallocation failed is freed and the buffer holds no bytes).
unsigned char* jk_managedBuffer_resize(JKManagedBuffer& buffer, size_t size);
