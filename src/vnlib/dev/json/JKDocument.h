#pragma once
// JKDocument: the storage of one decoded JSON text. The reader places the text's immutable
// arrays and dictionaries and its strings in blocks that the document owns, and all of them go
// in one step when the document goes. Inside the document, values refer to each other without
// counts (plat::Value::inDocument); a value taken out of it counts a reference to the document,
// so the document lives while any of its values is held anywhere, and a tree of any size costs
// one shared count.
//
//   auto document = std::make_shared<JKDocument>();
//   const std::string& s = document->makeString("abc", 3);
//   plat::Value v = plat::Value::inDocument(s, *document, true);  // for the document's own use
//   plat::Value held = v;  // counts a reference to the document
#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Object.h"

class JKDocument final : public plat::Object {
  public:
    JKDocument() = default;
    ~JKDocument() override;

    // `bytes` bytes aligned for any object, kept until the document goes. Objects made there
    // are never destroyed one by one: only objects whose destruction frees nothing belong here.
    void* allocate(size_t bytes) {
        bytes = (bytes + kAlign - 1) & ~(kAlign - 1);
        if (bytes > left_) [[unlikely]]
            return allocateSlow(bytes);
        void* p = next_;
        next_ += bytes;
        left_ -= bytes;
        return p;
    }
    // Makes a T in the document's storage.
    template <class T, class... Args>
    T* make(Args&&... args) {
        return std::construct_at(static_cast<T*>(allocate(sizeof(T))), std::forward<Args>(args)...);
    }

    // A string of the document: its text is released with the document.
    const std::string& makeString(const char* bytes, size_t n);

    // Keeps another document alive as long as this one: this document refers to its strings.
    void keep(Ref<const plat::Object> document) { kept_.push_back(std::move(document)); }

    // A counted reference to a part of a document.
    template <class T>
    static Ref<T> refTo(const plat::Object& document, const T& part) {
        return Ref<T>(std::const_pointer_cast<plat::Object>(document.shared_from_this()),
                      const_cast<T*>(&part));
    }

  private:
    static constexpr size_t kAlign = alignof(std::max_align_t);
    static constexpr size_t kFirstBlock = 4096;
    static constexpr size_t kLargestBlock = 256 * 1024;

    void* allocateSlow(size_t bytes);

    // The strings whose text lies outside the document, listed in chunks of the document's own
    // storage, so that the list never moves.
    struct HeapStrings {
        static constexpr size_t kCapacity = 62;
        HeapStrings* next = nullptr;
        size_t count = 0;
        std::string* strings[kCapacity];
    };

    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    std::byte* next_ = nullptr;
    size_t left_ = 0;
    size_t blockSize_ = kFirstBlock;
    HeapStrings* heapStrings_ = nullptr;  // the chunk being filled, linked to the earlier ones
    std::vector<Ref<const plat::Object>> kept_;
};
