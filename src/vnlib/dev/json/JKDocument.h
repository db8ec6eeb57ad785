#pragma once
// JKDocument: the storage of one decoded JSON text. The reader places the text's immutable
// arrays and dictionaries and its strings in blocks that the document owns, and all of them go
// in one step when the document goes. Inside the document, values refer to each other without
// counts (plat::Value::inDocument); a value taken out of it counts a reference to the document,
// so the document lives while any of its values is held anywhere, and a tree of any size costs
// one shared count.
//
//   auto document = std::make_shared<JKDocument>();
//   const plat::DocumentText& s = document->makeText("abc", 3);
//   plat::Value v = plat::Value::inDocument(s, *document, true);  // for the document's own use
//   plat::Value held = v;  // counts a reference to the document
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/core/DocumentStrings.h"
#include "platform/core/Object.h"
#include "platform/core/Value.h"

class JKDocument final : public plat::Object {
  public:
    JKDocument() = default;
    // A document that expects to hold about `expectedBytes`: its first block is sized for them
    // (within the usual block sizes), so that a small tree takes one block. A large tree goes
    // in blocks of megabytes whose memory the system is asked to back with huge pages, which
    // spares it most of the page faults of its first use.
    explicit JKDocument(size_t expectedBytes);
    ~JKDocument() override;

    // `bytes` bytes aligned for any object (or for `alignment`, a power of two), kept until the
    // document goes. Objects made there are never destroyed one by one: only objects whose
    // destruction frees nothing belong here.
    void* allocate(size_t bytes, size_t alignment = alignof(std::max_align_t)) {
        const auto next = reinterpret_cast<uintptr_t>(next_);
        const size_t padding = ((next + alignment - 1) & ~(alignment - 1)) - next;
        const auto room = static_cast<size_t>(end_ - next_);
        if (bytes > room || padding > room - bytes) [[unlikely]]
            return allocateSlow(bytes, alignment);
        std::byte* const p = next_ + padding;
        next_ = p + bytes;
        return p;
    }
    // Makes a T in the document's storage.
    template <class T, class... Args>
    T* make(Args&&... args) {
        return std::construct_at(static_cast<T*>(allocate(sizeof(T), alignof(T))),
                                 std::forward<Args>(args)...);
    }

    // A string's text in the document's storage, released with the document.
    const plat::DocumentText& makeText(const char* bytes, size_t n) {
        return plat::DocumentText::make(
            allocate(plat::DocumentText::storageSize(n), plat::DocumentText::storageAlignment),
            bytes, n, strings_);
    }

    // The bytes of all blocks taken so far (what the document holds in memory).
    size_t allocatedBytes() const { return allocated_; }

    // Keeps another document alive as long as this one: this document refers to its strings.
    void keep(Ref<const plat::Object> document) { kept_.push_back(std::move(document)); }
    // Keeps the text the document was parsed from, for the objects that refer to their bytes
    // in it. Moving a vector in keeps its bytes where they are.
    void keepText(plat::Bytes text) { text_ = std::move(text); }

    // A counted reference to a part of a document.
    template <class T>
    static Ref<T> refTo(const plat::Object& document, const T& part) {
        return Ref<T>(std::const_pointer_cast<plat::Object>(document.shared_from_this()),
                      const_cast<T*>(&part));
    }

  private:
    static constexpr size_t kFirstBlock = 4096;
    static constexpr size_t kLargestBlock = 256 * 1024;
    // Large trees: blocks of a few huge pages, the last ones no larger than what the expected
    // size leaves (at least one huge page).
    static constexpr size_t kLargeTree = 4 << 20;
    static constexpr size_t kHugePage = 2 << 20;
    static constexpr size_t kLargestLargeBlock = 8 << 20;

    size_t nextBlockSize();

    void* allocateSlow(size_t bytes, size_t alignment);

    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    std::vector<std::pair<std::byte*, size_t>> mapped_;  // large blocks, unmapped at the end
    std::byte* next_ = nullptr;                          // the free part of the current block
    std::byte* end_ = nullptr;
    size_t blockSize_ = kFirstBlock;
    size_t expected_ = 0;  // of a large tree; 0 for others
    size_t allocated_ = 0;
    plat::DocumentStrings strings_;
    std::vector<Ref<const plat::Object>> kept_;
    plat::Bytes text_;
};
