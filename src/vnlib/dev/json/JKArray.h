#pragma once
// JKArray: the array in which the JSON reader delivers every JSON array. It is an ordinary
// plat::Array to everyone else (count, index, enumeration); the reader creates it by handing over
// the elements it has already collected. An instance is created immutable (what every caller
// receives) or mutable; an immutable one refuses every mutating operation. Only the reader makes
// instances: making one by class name raises.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "platform/core/Collections.h"

class JKDocument;

class JKArray final : public plat::Array {
    PLAT_CLASS(JKArray)
    struct Private {};

  public:
    // Moves `count` values from `objects` into the storage that follows the array.
    JKArray(Private, std::byte* const& storage, plat::Value* objects, size_t count,
            bool mutableCollection);
    ~JKArray() override;

    // Makes an array of the `count` values at `objects`, which are moved into it.
    static Ref<JKArray> _JKArrayCreate(plat::Value* objects, size_t count, bool mutableCollection);
    // The same, immutable, in a document's storage: the values must be the document's own or
    // plain values (see plat::Value::inDocument), since the array is never destroyed by itself.
    static const JKArray& _JKArrayCreateInDocument(JKDocument& document, plat::Value* objects,
                                                   size_t count);

    size_t count() const override { return count_; }
    // NSRangeException for an index at or beyond the count.
    plat::Value objectAtIndex(size_t index) const override;
    bool isMutable() const override { return mutations_ != 0; }
    // In order; raises when the array is mutated during the enumeration.
    void enumerate(const std::function<bool(const plat::Value&)>& fn) const override;
    // Immutable: the receiver itself; mutable: a new immutable platform array.
    Ref<plat::Array> copy() const override;

    // Copies the elements of the range [location, location + length) into `objects`.
    void getObjects(plat::Value* objects, size_t location, size_t length) const;

    void insertObject(plat::Value object, size_t index);
    void addObject(plat::Value object) { insertObject(std::move(object), count()); }
    void removeObjectAtIndex(size_t index);
    void replaceObjectAtIndex(size_t index, plat::Value object);

    // Number of element slots; grows by 16 when an insertion finds it full.
    size_t capacity() const { return capacity_; }
    // 0 for an immutable array; a mutable one starts at 1 and advances on every mutation.
    uint64_t mutations() const { return mutations_; }
    // The elements, valid until the next mutation.
    std::span<const plat::Value> objects() const { return {objects_, count_}; }

  private:
    void checkMutable(const char* method) const;
    void mutated();
    [[noreturn]] void beyondBounds(const char* method, size_t index, size_t bound) const;

    // The elements live after the object until the first growth, then in `heap_`.
    plat::Value* objects_ = nullptr;
    uint32_t count_ = 0;  // below 2^32: larger arrays are refused
    uint32_t capacity_ = 0;
    uint64_t mutations_ = 0;
    std::unique_ptr<plat::Value[]> heap_;
    const JKDocument* document_ = nullptr;  // the document whose storage holds the array
};
