#include "vnlib/dev/json/JKArray.h"

#include <algorithm>
#include <new>
#include <vector>

#include "platform/core/Log.h"
#include "vnlib/dev/json/JKDocument.h"
#include "vnlib/dev/json/JKTrailingStorage.h"

namespace plat::detail {
// Arrays come only from the JSON reader; making one by class name is refused.
template <>
Class::Factory factoryFor<JKArray>() {
    return []() -> Ref<Object> {
        raise(NSInvalidArgumentException,
              "*** - [JKArray allocWithZone:]: The JKArray class is private to JSONKit and should "
              "not be used in this fashion.");
    };
}
}  // namespace plat::detail

PLAT_DEFINE_CLASS(JKArray, plat::Array, PLAT_NO_METHODS)

using plat::Value;

JKArray::JKArray(Private, std::byte* const& storage, Value* objects, size_t count,
                 bool mutableCollection)
    : objects_(reinterpret_cast<Value*>(storage)),
      count_(static_cast<uint32_t>(count)),
      capacity_(static_cast<uint32_t>(count)),
      mutations_(mutableCollection ? 1 : 0) {
    std::uninitialized_move_n(objects, count, objects_);
}

JKArray::~JKArray() {
    if (!heap_)
        std::destroy_n(objects_, count_);
}

namespace {

constexpr size_t kMostElements = UINT32_MAX - 16;

}  // namespace

Ref<JKArray> JKArray::_JKArrayCreate(Value* objects, size_t count, bool mutableCollection) {
    if (count > kMostElements)
        throw std::bad_alloc();
    std::byte* storage = nullptr;
    return jk_makeWithTrailingStorage<JKArray>(count * sizeof(Value), storage, Private{}, storage,
                                               objects, count, mutableCollection);
}

const JKArray& JKArray::_JKArrayCreateInDocument(JKDocument& document, Value* objects,
                                                 size_t count) {
    if (count > kMostElements)
        throw std::bad_alloc();
    constexpr size_t head =
        (sizeof(JKArray) + alignof(Value) - 1) / alignof(Value) * alignof(Value);
    auto* block =
        static_cast<std::byte*>(document.allocate(head + count * sizeof(Value), alignof(JKArray)));
    std::byte* const storage = block + head;
    auto* array = std::construct_at(reinterpret_cast<JKArray*>(block), Private{}, storage, objects,
                                    count, false);
    array->document_ = &document;
    return *array;
}

void JKArray::beyondBounds(const char* method, size_t index, size_t bound) const {
    plat::raise(
        plat::NSRangeException,
        plat::format("*** -[%s %s]: index (%lu) beyond bounds (%lu)", className().c_str(), method,
                     static_cast<unsigned long>(index), static_cast<unsigned long>(bound)));
}

Value JKArray::objectAtIndex(size_t index) const {
    if (index >= count_)
        beyondBounds("objectAtIndex:", index, count_);
    return objects_[index];
}

void JKArray::enumerate(const std::function<bool(const Value&)>& fn) const {
    if (mutations_ == 0) {
        for (size_t i = 0; i < count_; ++i) {
            if (!fn(objects_[i]))
                return;
        }
        return;
    }
    const uint64_t start = mutations_;
    for (size_t i = 0; i < count_; ++i) {
        const Value v = objects_[i];  // the callback may mutate the array
        if (!fn(v))
            return;
        if (mutations_ != start) {
            plat::raise("NSGenericException",
                        plat::format("*** Collection <%s: %p> was mutated while being enumerated.",
                                     className().c_str(), static_cast<const void*>(this)));
        }
    }
}

Ref<plat::Array> JKArray::copy() const {
    if (!isMutable() && document_)
        return JKDocument::refTo<plat::Array>(*document_, *this);
    if (!isMutable())
        return std::const_pointer_cast<plat::Array>(self<plat::Array>());
    return plat::Array::make(std::vector<Value>(objects_, objects_ + count_));
}

void JKArray::getObjects(Value* objects, size_t location, size_t length) const {
    const size_t end = location + length;
    if (!objects && end > 0) {
        plat::raise(plat::NSRangeException,
                    plat::format("*** -[%s %s]: pointer to objects array is NULL but range length "
                                 "is %lu",
                                 className().c_str(),
                                 "getObjects:range:", static_cast<unsigned long>(end)));
    }
    if (location > count_ || end > count_ || end < location) {
        beyondBounds("getObjects:range:", end, count_);
    }
    std::copy_n(objects_ + location, length, objects);
}

void JKArray::checkMutable(const char* method) const {
    if (!isMutable()) {
        plat::raise(plat::NSInternalInconsistencyException,
                    plat::format("*** -[%s %s]: mutating method sent to immutable object",
                                 className().c_str(), method));
    }
}

void JKArray::mutated() {
    if (++mutations_ == 0)
        mutations_ = 1;
}

void JKArray::insertObject(Value object, size_t index) {
    static constexpr const char* method = "insertObject:atIndex:";
    checkMutable(method);
    if (object.isNil()) {
        plat::raise(
            plat::NSInvalidArgumentException,
            plat::format("*** -[%s %s]: attempt to insert nil", className().c_str(), method));
    }
    if (index > count_)
        beyondBounds(method, index, count_ + 1);
    if (count_ + 1 >= capacity_) {
        // Grow by 16 slots, onto the heap.
        std::unique_ptr<Value[]> grown;
        try {
            if (capacity_ > kMostElements)
                throw std::bad_alloc();
            grown = std::make_unique<Value[]>(capacity_ + 16);
        } catch (const std::bad_alloc&) {
            plat::raise(plat::NSMallocException, "Unable to resize objects array.");
        }
        std::move(objects_, objects_ + count_, grown.get());
        if (!heap_)
            std::destroy_n(objects_, count_);
        heap_ = std::move(grown);
        objects_ = heap_.get();
        capacity_ += 16;
    }
    std::move_backward(objects_ + index, objects_ + count_, objects_ + count_ + 1);
    objects_[index] = std::move(object);
    ++count_;
    mutated();
}

void JKArray::removeObjectAtIndex(size_t index) {
    static constexpr const char* method = "removeObjectAtIndex:";
    checkMutable(method);
    if (index >= count_)
        beyondBounds(method, index, count_);
    std::move(objects_ + index + 1, objects_ + count_, objects_ + index);
    --count_;
    if (heap_) {
        objects_[count_] = Value();
    } else {
        std::destroy_at(objects_ + count_);
    }
    mutated();
}

void JKArray::replaceObjectAtIndex(size_t index, Value object) {
    static constexpr const char* method = "replaceObjectAtIndex:withObject:";
    checkMutable(method);
    if (object.isNil()) {
        plat::raise(
            plat::NSInvalidArgumentException,
            plat::format("*** -[%s %s]: attempt to insert nil", className().c_str(), method));
    }
    if (index >= count_)
        beyondBounds(method, index, count_);
    objects_[index] = std::move(object);
    mutated();
}
