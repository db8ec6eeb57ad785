#pragma once
// Makes a shared object and a block of extra storage after it in one allocation: the compact
// JSON collections keep their elements there, so that each decoded array or object costs one
// allocation instead of two. The object's constructor receives the address of the block.
//
//   std::byte* storage = nullptr;
//   auto a = jk_makeWithTrailingStorage<Thing>(count * sizeof(Element), storage, storage);
//   // Thing::Thing(std::byte* const& storage) constructs its elements at `storage`.
#include <cstddef>
#include <memory>
#include <utility>

template <class T>
struct JKTrailingAllocator {
    using value_type = T;

    JKTrailingAllocator(size_t extraBytes, std::byte** extraOut)
        : extraBytes(extraBytes), extraOut(extraOut) {}
    template <class U>
    JKTrailingAllocator(const JKTrailingAllocator<U>& other)  // NOLINT: rebinding
        : extraBytes(other.extraBytes), extraOut(other.extraOut) {}

    static size_t headBytes(size_t n) {
        constexpr size_t align = alignof(std::max_align_t);
        return (n * sizeof(T) + align - 1) / align * align;
    }

    T* allocate(size_t n) {
        std::byte* block = std::allocator<std::byte>().allocate(headBytes(n) + extraBytes);
        if (extraOut)
            *extraOut = block + headBytes(n);
        return reinterpret_cast<T*>(block);
    }
    void deallocate(T* p, size_t n) {
        std::allocator<std::byte>().deallocate(reinterpret_cast<std::byte*>(p),
                                               headBytes(n) + extraBytes);
    }

    template <class U>
    bool operator==(const JKTrailingAllocator<U>& other) const {
        return extraBytes == other.extraBytes;
    }

    size_t extraBytes;
    std::byte** extraOut;  // where the block's address is reported, during the allocation only
};

// Makes a T with `extraBytes` of storage after it; `storage` receives the block's address
// before T's constructor runs, so that the constructor can take it by reference.
template <class T, class... Args>
std::shared_ptr<T> jk_makeWithTrailingStorage(size_t extraBytes, std::byte*& storage,
                                              Args&&... args) {
    return std::allocate_shared<T>(JKTrailingAllocator<T>(extraBytes, &storage),
                                   std::forward<Args>(args)...);
}
