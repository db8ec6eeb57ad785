#include "platform/core/Collections.h"

#include "platform/core/Log.h"

namespace plat {

PLAT_DEFINE_CLASS(Array, Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(MutableArray, Array, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(Dictionary, Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(MutableDictionary, Dictionary, PLAT_NO_METHODS)

namespace {

// The values of containers being released on this thread that still hold objects. The outermost
// release drains the list; a release inside it only adds to the list, so nesting depth never
// becomes stack depth.
// Set once the thread's list is destroyed (a plain flag outlives it): containers released after
// that, at thread or process exit, release their values directly.
thread_local bool deferredReleaseGone = false;

struct DeferredRelease {
    std::vector<Value> pending;
    bool draining = false;
    ~DeferredRelease() { deferredReleaseGone = true; }
};

DeferredRelease* deferredRelease() {
    if (deferredReleaseGone)
        return nullptr;
    thread_local DeferredRelease list;
    return &list;
}

void defer(DeferredRelease& list, Value& value) {
    const Value::Kind kind = value.kind();
    if (kind == Value::Kind::Array || kind == Value::Kind::Dictionary ||
        kind == Value::Kind::Object) {
        list.pending.push_back(std::move(value));
    }
}

void drain(DeferredRelease& list) {
    if (list.draining)
        return;
    list.draining = true;
    while (!list.pending.empty()) {
        Value last = std::move(list.pending.back());
        list.pending.pop_back();
        // `last` may be the final reference to a container, whose release defers its own values.
    }
    list.draining = false;
}

}  // namespace

// ---- Array --------------------------------------------------------------------------------------

void Array::enumerate(const std::function<bool(const Value&)>& fn) const {
    const size_t n = count();
    for (size_t i = 0; i < n; ++i) {
        if (!fn(objectAtIndex(i)))
            return;
    }
}

std::vector<Value> Array::values() const {
    std::vector<Value> out;
    out.reserve(count());
    enumerate([&](const Value& v) {
        out.push_back(v);
        return true;
    });
    return out;
}

bool Array::containsObject(const Value& v) const {
    bool found = false;
    enumerate([&](const Value& e) {
        found = e.equals(v);
        return !found;
    });
    return found;
}

Ref<Array> Array::copy() const {
    if (!isMutable())
        return std::const_pointer_cast<Array>(self<Array>());
    return make(values());
}

Ref<MutableArray> Array::mutableCopy() const {
    return MutableArray::make(values());
}

std::string Array::description() const {
    std::string out = "(";
    bool first = true;
    enumerate([&](const Value& v) {
        out += first ? "\n    " : ",\n    ";
        out += v.description();
        first = false;
        return true;
    });
    return out + "\n)";
}

Ref<Array> Array::make(std::vector<Value> values) {
    return std::make_shared<MutableArray>(std::move(values), false);
}

// ---- MutableArray -------------------------------------------------------------------------------

MutableArray::~MutableArray() {
    DeferredRelease* list = deferredRelease();
    if (!list)
        return;  // exit time: the values go with the members
    for (Value& value : values_)
        defer(*list, value);
    values_.clear();
    drain(*list);
}

Value MutableArray::objectAtIndex(size_t index) const {
    if (index >= values_.size()) {
        raise(NSRangeException,
              format("*** -[%s objectAtIndex:]: index %zu beyond bounds [0 .. %zd]",
                     className().c_str(), index, static_cast<ssize_t>(values_.size()) - 1));
    }
    return values_[index];
}

void MutableArray::enumerate(const std::function<bool(const Value&)>& fn) const {
    for (const auto& v : values_) {
        if (!fn(v))
            return;
    }
}

Ref<Array> MutableArray::copy() const {
    if (!mutable_)
        return std::const_pointer_cast<Array>(self<Array>());
    return Array::make(values_);
}

void MutableArray::checkMutable(const char* method) const {
    if (!mutable_) {
        raise(NSInternalInconsistencyException,
              format("*** -[%s %s]: mutating method sent to immutable object", className().c_str(),
                     method));
    }
}

void MutableArray::addObject(Value v) {
    checkMutable("addObject:");
    if (v.isNil())
        raise(NSInvalidArgumentException, "*** -[NSMutableArray addObject:]: object cannot be nil");
    values_.push_back(std::move(v));
}

void MutableArray::insertObject(Value v, size_t index) {
    checkMutable("insertObject:atIndex:");
    if (v.isNil())
        raise(NSInvalidArgumentException,
              "*** -[NSMutableArray insertObject:atIndex:]: object cannot be nil");
    if (index > values_.size())
        raise(NSRangeException, "*** -[NSMutableArray insertObject:atIndex:]: index beyond bounds");
    values_.insert(values_.begin() + static_cast<ptrdiff_t>(index), std::move(v));
}

void MutableArray::removeObjectAtIndex(size_t index) {
    checkMutable("removeObjectAtIndex:");
    if (index >= values_.size())
        raise(NSRangeException, "*** -[NSMutableArray removeObjectAtIndex:]: index beyond bounds");
    values_.erase(values_.begin() + static_cast<ptrdiff_t>(index));
}

void MutableArray::removeObject(const Value& v) {
    checkMutable("removeObject:");
    std::erase_if(values_, [&](const Value& e) { return e.equals(v); });
}

void MutableArray::removeAllObjects() {
    checkMutable("removeAllObjects");
    values_.clear();
}

void MutableArray::replaceObjectAtIndex(size_t index, Value v) {
    checkMutable("replaceObjectAtIndex:withObject:");
    if (index >= values_.size())
        raise(NSRangeException,
              "*** -[NSMutableArray replaceObjectAtIndex:withObject:]: index beyond bounds");
    values_[index] = std::move(v);
}

// ---- Dictionary ---------------------------------------------------------------------------------

std::vector<Value> Dictionary::allKeys() const {
    std::vector<Value> out;
    enumerateKeysAndObjects([&](const Value& k, const Value&) {
        out.push_back(k);
        return true;
    });
    return out;
}

std::vector<Value> Dictionary::allValues() const {
    std::vector<Value> out;
    enumerateKeysAndObjects([&](const Value&, const Value& v) {
        out.push_back(v);
        return true;
    });
    return out;
}

Ref<Dictionary> Dictionary::copy() const {
    if (!isMutable())
        return std::const_pointer_cast<Dictionary>(self<Dictionary>());
    auto m = mutableCopy();
    return makeDictionary(m->entries());
}

Ref<MutableDictionary> Dictionary::mutableCopy() const {
    auto m = MutableDictionary::make();
    enumerateKeysAndObjects([&](const Value& k, const Value& v) {
        m->setObject(v, k);
        return true;
    });
    return m;
}

std::string Dictionary::description() const {
    std::string out = "{";
    enumerateKeysAndObjects([&](const Value& k, const Value& v) {
        out += "\n    " + k.description() + " = " + v.description() + ";";
        return true;
    });
    return out + "\n}";
}

// ---- MutableDictionary --------------------------------------------------------------------------

MutableDictionary::MutableDictionary(std::vector<std::pair<Value, Value>> entries, bool isMutable) {
    for (auto& [k, v] : entries)
        setObject(std::move(v), std::move(k));
    mutable_ = isMutable;
}

MutableDictionary::~MutableDictionary() {
    DeferredRelease* list = deferredRelease();
    if (!list)
        return;  // exit time: the entries go with the members
    for (auto& [key, value] : entries_) {
        defer(*list, key);
        defer(*list, value);
    }
    entries_.clear();
    index_.clear();
    drain(*list);
}

Value MutableDictionary::objectForKey(const Value& key) const {
    auto it = index_.find(key);
    return it == index_.end() ? Value() : entries_[it->second].second;
}

void MutableDictionary::enumerateKeysAndObjects(
    const std::function<bool(const Value&, const Value&)>& fn) const {
    for (const auto& [k, v] : entries_) {
        if (!fn(k, v))
            return;
    }
}

Ref<Dictionary> MutableDictionary::copy() const {
    if (!mutable_)
        return std::const_pointer_cast<Dictionary>(self<Dictionary>());
    return makeDictionary(entries_);
}

void MutableDictionary::checkMutable(const char* method) const {
    if (!mutable_) {
        raise(NSInternalInconsistencyException,
              format("*** -[%s %s]: mutating method sent to immutable object", className().c_str(),
                     method));
    }
}

void MutableDictionary::setObject(Value value, Value key) {
    checkMutable("setObject:forKey:");
    if (key.isNil())
        raise(NSInvalidArgumentException,
              "*** -[NSMutableDictionary setObject:forKey:]: key cannot be nil");
    if (value.isNil()) {
        removeObjectForKey(key);
        return;
    }
    auto it = index_.find(key);
    if (it != index_.end()) {
        entries_[it->second].second = std::move(value);
        return;
    }
    index_.emplace(key, entries_.size());
    entries_.emplace_back(std::move(key), std::move(value));
}

void MutableDictionary::removeObjectForKey(const Value& key) {
    checkMutable("removeObjectForKey:");
    auto it = index_.find(key);
    if (it == index_.end())
        return;
    entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(it->second));
    reindex();
}

void MutableDictionary::removeAllObjects() {
    checkMutable("removeAllObjects");
    entries_.clear();
    index_.clear();
}

void MutableDictionary::addEntriesFromDictionary(const Dictionary& other) {
    other.enumerateKeysAndObjects([&](const Value& k, const Value& v) {
        setObject(v, k);
        return true;
    });
}

void MutableDictionary::reindex() {
    index_.clear();
    for (size_t i = 0; i < entries_.size(); ++i)
        index_.emplace(entries_[i].first, i);
}

Ref<Dictionary> makeDictionary(std::vector<std::pair<Value, Value>> entries) {
    return std::make_shared<MutableDictionary>(std::move(entries), false);
}

}  // namespace plat
