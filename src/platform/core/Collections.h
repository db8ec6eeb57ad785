#pragma once
// Arrays and dictionaries of values. Array and Dictionary are read-only interfaces (decoded JSON,
// computed views); MutableArray and MutableDictionary are the ordinary containers. A container
// made "immutable" refuses mutation with NSInternalInconsistencyException. Releasing a container
// releases the containers inside it one after another rather than from inside each other, so a
// value nested any depth is freed without deep recursion.
#include <functional>
#include <initializer_list>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/core/Value.h"

namespace plat {

class MutableArray;
class MutableDictionary;

class Array : public Object {
    PLAT_CLASS(Array)
  public:
    CollectionKind collectionKind() const noexcept final { return CollectionKind::Array; }
    virtual size_t count() const = 0;
    // The element at an index; NSRangeException beyond the end.
    virtual Value objectAtIndex(size_t index) const = 0;
    virtual bool isMutable() const { return false; }
    // Calls fn for each element in order until it answers false.
    virtual void enumerate(const std::function<bool(const Value&)>& fn) const;

    std::vector<Value> values() const;
    bool containsObject(const Value& v) const;
    Value firstObject() const { return count() ? objectAtIndex(0) : Value(); }
    Value lastObject() const { return count() ? objectAtIndex(count() - 1) : Value(); }
    // An immutable array with the same elements (the receiver itself when already immutable).
    virtual Ref<Array> copy() const;
    Ref<MutableArray> mutableCopy() const;
    std::string description() const override;

    static Ref<Array> make(std::vector<Value> values);  // immutable
    static Ref<Array> make(std::initializer_list<Value> values) {
        return make(std::vector<Value>(values));
    }
};

class MutableArray : public Array {
    PLAT_CLASS(MutableArray)
  public:
    MutableArray() = default;
    explicit MutableArray(std::vector<Value> values, bool isMutable = true)
        : values_(std::move(values)), mutable_(isMutable) {}
    static Ref<MutableArray> make(std::vector<Value> values = {}) {
        return std::make_shared<MutableArray>(std::move(values));
    }
    MutableArray(const MutableArray&) = delete;
    MutableArray& operator=(const MutableArray&) = delete;
    ~MutableArray() override;

    size_t count() const override { return values_.size(); }
    Value objectAtIndex(size_t index) const override;
    bool isMutable() const override { return mutable_; }
    void enumerate(const std::function<bool(const Value&)>& fn) const override;
    Ref<Array> copy() const override;

    void addObject(Value v);
    void insertObject(Value v, size_t index);
    void removeObjectAtIndex(size_t index);
    void removeObject(const Value& v);  // every equal element
    void removeAllObjects();
    void replaceObjectAtIndex(size_t index, Value v);
    const std::vector<Value>& storage() const { return values_; }

  private:
    void checkMutable(const char* method) const;
    std::vector<Value> values_;
    bool mutable_ = true;
};

class Dictionary : public Object {
    PLAT_CLASS(Dictionary)
  public:
    CollectionKind collectionKind() const noexcept final { return CollectionKind::Dictionary; }
    virtual size_t count() const = 0;
    // The value under a key; nil when absent.
    virtual Value objectForKey(const Value& key) const = 0;
    // Calls fn(key, value) for each entry until it answers false. Order is the container's own.
    virtual void enumerateKeysAndObjects(
        const std::function<bool(const Value& key, const Value& value)>& fn) const = 0;
    // The same, for a reader that writes each value at once, changes nothing meanwhile and keeps
    // nothing afterwards: a computed view may then hand out values that refer to its source's
    // own storage rather than copies (see PropertyEntry::borrow). By default the same entries.
    virtual void enumerateKeysAndTransientObjects(
        const std::function<bool(const Value& key, const Value& value)>& fn) const {
        enumerateKeysAndObjects(fn);
    }
    virtual bool isMutable() const { return false; }

    Value operator[](std::string_view key) const { return objectForKey(Value(key)); }
    Value objectForKey(std::string_view key) const { return objectForKey(Value(key)); }
    Value objectForKey(const char* key) const { return objectForKey(Value(key)); }
    Value objectForKey(const std::string& key) const { return objectForKey(Value(key)); }
    std::vector<Value> allKeys() const;
    std::vector<Value> allValues() const;
    virtual Ref<Dictionary> copy() const;
    Ref<MutableDictionary> mutableCopy() const;
    std::string description() const override;
};

class MutableDictionary : public Dictionary {
    PLAT_CLASS(MutableDictionary)
  public:
    MutableDictionary() = default;
    explicit MutableDictionary(std::vector<std::pair<Value, Value>> entries, bool isMutable = true);
    static Ref<MutableDictionary> make(std::vector<std::pair<Value, Value>> entries = {}) {
        return std::make_shared<MutableDictionary>(std::move(entries));
    }
    MutableDictionary(const MutableDictionary&) = delete;
    MutableDictionary& operator=(const MutableDictionary&) = delete;
    ~MutableDictionary() override;

    size_t count() const override { return entries_.size(); }
    using Dictionary::objectForKey;
    Value objectForKey(const Value& key) const override;
    void enumerateKeysAndObjects(
        const std::function<bool(const Value&, const Value&)>& fn) const override;
    bool isMutable() const override { return mutable_; }
    Ref<Dictionary> copy() const override;

    // Setting nil removes the key.
    void setObject(Value value, Value key);
    void removeObjectForKey(const Value& key);
    void removeAllObjects();
    void addEntriesFromDictionary(const Dictionary& other);
    const std::vector<std::pair<Value, Value>>& entries() const { return entries_; }

  private:
    void checkMutable(const char* method) const;
    void reindex();
    std::vector<std::pair<Value, Value>> entries_;
    std::unordered_map<Value, size_t> index_;
    bool mutable_ = true;
};

// An immutable dictionary from key/value pairs (later pairs win).
Ref<Dictionary> makeDictionary(std::vector<std::pair<Value, Value>> entries);

}  // namespace plat
