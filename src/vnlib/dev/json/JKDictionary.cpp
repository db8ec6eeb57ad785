#include "vnlib/dev/json/JKDictionary.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "platform/core/Log.h"
#include "vnlib/dev/json/JKDocument.h"
#include "vnlib/dev/json/JKTrailingStorage.h"

namespace plat::detail {
// Dictionaries come only from the JSON reader; making one by class name is refused.
template <>
Class::Factory factoryFor<JKDictionary>() {
    return []() -> Ref<Object> {
        raise(NSInvalidArgumentException,
              "*** - [JKDictionary allocWithZone:]: The JKDictionary class is private to JSONKit "
              "and should not be used in this fashion.");
    };
}
}  // namespace plat::detail

PLAT_DEFINE_CLASS(JKDictionary, plat::Dictionary, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(JKDictionaryEnumerator, plat::Object, PLAT_NO_METHODS)

using plat::Value;

namespace {

constexpr std::array<size_t, 40> jk_dictionaryCapacities = {
    0,        3,        7,        13,       23,        41,        71,        127,
    191,      251,      383,      631,      1087,      1723,      2803,      4523,
    7351,     11959,    19447,    31231,    50683,     81919,     132607,    214519,
    346607,   561109,   907759,   1468927,  2376191,   3845119,   6221311,   10066421,
    16287743, 26354171, 42641881, 68996069, 111638519, 180634607, 292272623, 472907251};
static_assert(jk_dictionaryCapacities.back() < UINT32_MAX);

// Keys are stored as copies: a mutable container key is frozen.
Value copyKey(Value key) {
    if (auto a = key.array())
        return Value(a->copy());
    if (auto d = key.dictionary())
        return Value(d->copy());
    return key;
}

}  // namespace

JKDictionary::JKDictionary(Private, std::byte* const& storage, size_t capacity,
                           bool mutableCollection)
    : capacity_(static_cast<uint32_t>(capacity)),
      mutations_(mutableCollection ? 1 : 0),
      entry_(reinterpret_cast<JKHashTableEntry*>(storage)) {
    std::uninitialized_value_construct_n(entry_, capacity_);
}

JKDictionary::~JKDictionary() {
    if (!heap_)
        std::destroy_n(entry_, capacity_);
}

namespace {

constexpr size_t jk_capacityForCount(size_t count) {
    const auto wanted = static_cast<size_t>(static_cast<double>(count) * 1.33);
    for (size_t capacity : jk_dictionaryCapacities) {
        if (capacity >= wanted)
            return capacity;
    }
    return 0;
}

// The table sizes of the small counts that nearly every object has.
constexpr size_t kSmallCounts = 64;
constexpr auto jk_smallCapacities = [] {
    std::array<size_t, kSmallCounts> capacities{};
    for (size_t count = 0; count < kSmallCounts; ++count)
        capacities[count] = jk_capacityForCount(count);
    return capacities;
}();

}  // namespace

std::optional<size_t> JKDictionary::_JKDictionaryCapacityForCount(size_t count) {
    if (count < kSmallCounts)
        return jk_smallCapacities[count];
    const auto wanted = static_cast<size_t>(std::floor(static_cast<double>(count) * 1.33));
    auto it =
        std::lower_bound(jk_dictionaryCapacities.begin(), jk_dictionaryCapacities.end(), wanted);
    if (it == jk_dictionaryCapacities.end())
        return std::nullopt;
    return *it;
}

Ref<JKDictionary> JKDictionary::_JKDictionaryCreate(Value* keys, const size_t* keyHashes,
                                                    Value* objects, size_t count,
                                                    bool mutableCollection) {
    const auto capacity = _JKDictionaryCapacityForCount(count);
    if (!capacity)
        return nullptr;
    std::byte* storage = nullptr;
    auto dictionary =
        jk_makeWithTrailingStorage<JKDictionary>(*capacity * sizeof(JKHashTableEntry), storage,
                                                 Private{}, storage, *capacity, mutableCollection);
    dictionary->fill(keys, keyHashes, objects, count);
    return dictionary;
}

namespace {

// Objects with more members than this keep an index by hash; smaller ones are searched in order.
constexpr size_t kLargestUnindexed = 32;

// Where the storage that follows a dictionary in a document begins.
constexpr size_t kDocumentHead = (sizeof(JKDictionary) + alignof(JKFlatMember) - 1) /
                                 alignof(JKFlatMember) * alignof(JKFlatMember);

bool sameKey(const plat::DocumentText* a, const plat::DocumentText* b) {
    return a == b || (a->size() == b->size() && std::memcmp(a->data(), b->data(), a->size()) == 0);
}

bool sameKey(const plat::DocumentText* a, std::string_view b) {
    return a->size() == b.size() && std::memcmp(a->data(), b.data(), b.size()) == 0;
}

// Adds member number n (key hash h, key k) to an index of mask + 1 slots holding member numbers
// plus one; answers the earlier member of an equal key instead, if there is one.
template <class Slot>
JKFlatMember* indexMember(Slot* index, size_t mask, JKFlatMember* members, size_t n, size_t h,
                          const plat::DocumentText* k) {
    for (size_t s = h & mask;; s = (s + 1) & mask) {
        if (index[s] == 0) {
            index[s] = static_cast<Slot>(n + 1);
            return nullptr;
        }
        JKFlatMember& m = members[index[s] - 1];
        if (sameKey(m.key, k))
            return &m;
    }
}

}  // namespace

const JKDictionary* JKDictionary::_JKDictionaryCreateInDocument(
    JKDocument& document, const plat::DocumentText* const* keys, const size_t* keyHashes,
    Value* objects, size_t count, std::string_view sourceText,
    const std::pair<size_t, size_t>* valueTexts) {
    if (!_JKDictionaryCapacityForCount(count) || count >= UINT32_MAX)
        return nullptr;
    size_t indexSlots = 0;
    if (count > kLargestUnindexed) {
        indexSlots = 1;
        while (indexSlots < 2 * count)
            indexSlots <<= 1;
    }
    // The object, the index (a multiple of eight bytes: at least 64 slots), the members.
    const size_t indexBytes = indexSlots * sizeof(uint32_t);
    auto* block = static_cast<std::byte*>(document.allocate(
        kDocumentHead + indexBytes + count * sizeof(JKFlatMember), alignof(JKDictionary)));
    std::byte* const storage = block + kDocumentHead;
    auto* dictionary =
        std::construct_at(reinterpret_cast<JKDictionary*>(block), Private{}, storage, 0, false);
    // The members' value texts, as offsets within the object's text.
    using Text = std::pair<uint32_t, uint32_t>;
    Text* texts = nullptr;
    if (valueTexts && !sourceText.empty() && sourceText.size() <= UINT32_MAX)
        texts = static_cast<Text*>(document.allocate(count * sizeof(Text), alignof(Text)));
    auto textAt = [&](size_t i) {
        return Text(static_cast<uint32_t>(valueTexts[i].first),
                    static_cast<uint32_t>(valueTexts[i].second));
    };
    dictionary->document_ = &document;
    auto* const members = reinterpret_cast<JKFlatMember*>(storage + indexBytes);

    // Members in the order of the text; a later equal key replaces the earlier member's object
    // in its place. Small objects find equal keys through a scratch index of their own.
    uint32_t* index = nullptr;
    uint8_t scratch[2 * kLargestUnindexed];
    size_t mask = 0;
    if (indexSlots) {
        index = reinterpret_cast<uint32_t*>(storage);
        std::fill_n(index, indexSlots, 0u);
        mask = indexSlots - 1;
    } else if (count > 4) {
        std::fill_n(scratch, sizeof scratch, uint8_t{0});
        mask = sizeof scratch - 1;
    }
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
        const plat::DocumentText* const key = keys[i];
        JKFlatMember* same = nullptr;
        if (index) {
            same = indexMember(index, mask, members, n, keyHashes[i], key);
        } else if (mask) {
            same = indexMember(scratch, mask, members, n, keyHashes[i], key);
        } else {
            for (size_t j = 0; j < n && !same; ++j) {
                if (sameKey(members[j].key, key))
                    same = &members[j];
            }
        }
        if (same) {
            same->object = std::move(objects[i]);
            if (texts)
                texts[same - members] = textAt(i);
            continue;
        }
        std::construct_at(members + n, JKFlatMember{std::move(objects[i]), key});
        if (texts)
            texts[n] = textAt(i);
        ++n;
    }
    dictionary->members_ = members;
    dictionary->entry_ = nullptr;
    dictionary->count_ = dictionary->capacity_ = static_cast<uint32_t>(n);
    dictionary->indexMask_ = index ? mask : 0;
    dictionary->sourceText_ = sourceText.data();
    dictionary->sourceLength_ = sourceText.size();
    dictionary->memberTexts_ = texts;
    return dictionary;
}

void JKDictionary::fill(Value* keys, const size_t* keyHashes, Value* objects, size_t count) {
    JKHashTableEntry* const table = entry_;
    const size_t slots = capacity_;
    size_t added = 0;
    for (size_t i = 0; i < count; ++i) {
        // As _JKDictionaryAddObject: the first empty slot from the home slot, unless an equal
        // key comes first. The table always has more slots than entries.
        const size_t keyHash = keyHashes[i];
        size_t slot = keyHash % slots;
        for (size_t probe = 0; probe < slots; ++probe) {
            JKHashTableEntry& e = table[slot];
            if (e.key.isNil()) {
                e.keyHash = keyHash;
                e.key = std::move(keys[i]);
                e.object = std::move(objects[i]);
                ++added;
                break;
            }
            if (e.keyHash == keyHash && (e.key.identical(keys[i]) || e.key.equals(keys[i]))) {
                e.key = std::move(keys[i]);
                e.object = std::move(objects[i]);
                break;
            }
            if (++slot == slots)
                slot = 0;
        }
    }
    count_ = static_cast<uint32_t>(added);
}

const JKFlatMember* JKDictionary::memberForKey(const Value& key) const {
    if (!key.isString())
        return nullptr;
    const std::string_view k = key.stringView();
    if (indexMask_) {
        const uint32_t* const index = this->index();
        const size_t hash = std::hash<std::string_view>()(k);  // as Value::hash() of a string
        for (size_t s = hash & indexMask_; index[s] != 0; s = (s + 1) & indexMask_) {
            const JKFlatMember& m = members_[index[s] - 1];
            if (sameKey(m.key, k))
                return &m;
        }
        return nullptr;
    }
    for (size_t i = 0; i < count_; ++i) {
        if (sameKey(members_[i].key, k))
            return members_ + i;
    }
    return nullptr;
}

const uint32_t* JKDictionary::index() const {
    return reinterpret_cast<const uint32_t*>(reinterpret_cast<const std::byte*>(this) +
                                             kDocumentHead);
}

JKHashTableEntry* JKDictionary::_JKDictionaryHashTableEntryForKey(const Value& key) const {
    if (key.isNil() || capacity_ == 0 || members_)
        return nullptr;
    const size_t hash = key.hash();
    size_t slot = hash % capacity_;
    for (size_t probe = 0; probe < capacity_; ++probe) {
        JKHashTableEntry& e = entry_[slot];
        if (e.key.isNil())
            return nullptr;
        if (e.keyHash == hash && (e.key.identical(key) || e.key.equals(key)))
            return &e;
        if (++slot == capacity_)
            slot = 0;
    }
    return nullptr;
}

void JKDictionary::_JKDictionaryAddObject(size_t keyHash, Value key, Value object) {
    if (capacity_ == 0)
        return;
    // The first empty slot from the home slot receives the pair, unless an equal key comes
    // first: then that entry is replaced.
    size_t slot = keyHash % capacity_;
    for (size_t probe = 0; probe < capacity_; ++probe) {
        JKHashTableEntry& e = entry_[slot];
        if (e.key.isNil()) {
            e.keyHash = keyHash;
            e.key = std::move(key);
            e.object = std::move(object);
            ++count_;
            return;
        }
        if (e.keyHash == keyHash && (e.key.identical(key) || e.key.equals(key))) {
            e.key = std::move(key);
            e.object = std::move(object);
            return;
        }
        if (++slot == capacity_)
            slot = 0;
    }
    // A full table: the pair is dropped (cannot happen after a resize check).
}

void JKDictionary::_JKDictionaryRemoveObjectWithEntry(JKHashTableEntry* entry) {
    *entry = JKHashTableEntry{};
    --count_;
    // Re-seat the rest of the cluster so that every remaining key stays reachable.
    size_t slot = static_cast<size_t>(entry - entry_);
    for (size_t step = 0; step < capacity_; ++step) {
        if (++slot == capacity_)
            slot = 0;
        JKHashTableEntry& e = entry_[slot];
        if (e.key.isNil())
            break;
        JKHashTableEntry moved = std::move(e);
        e = JKHashTableEntry{};
        size_t target = moved.keyHash % capacity_;
        while (!entry_[target].key.isNil()) {
            if (++target == capacity_)
                target = 0;
        }
        entry_[target] = std::move(moved);
    }
}

void JKDictionary::_JKDictionaryResizeIfNeccessary() {
    const auto wanted = _JKDictionaryCapacityForCount(count_ + 1);
    if (!wanted)
        plat::raise(plat::NSMallocException, "Unable to allocate memory for hash table.");
    if (*wanted <= capacity_)
        return;
    std::unique_ptr<JKHashTableEntry[]> table;
    try {
        table = std::make_unique<JKHashTableEntry[]>(*wanted);
    } catch (const std::bad_alloc&) {
        plat::raise(plat::NSMallocException, "Unable to allocate memory for hash table.");
    }
    JKHashTableEntry* const old = entry_;
    const size_t oldCapacity = capacity_;
    std::swap(table, heap_);  // `table` now holds the old heap table, if any
    entry_ = heap_.get();
    capacity_ = static_cast<uint32_t>(*wanted);
    count_ = 0;
    for (size_t i = 0; i < oldCapacity; ++i) {
        JKHashTableEntry& e = old[i];
        if (!e.key.isNil())
            _JKDictionaryAddObject(e.keyHash, std::move(e.key), std::move(e.object));
    }
    if (!table)
        std::destroy_n(old, oldCapacity);  // the table that followed the object
}

Value JKDictionary::objectForKey(const Value& key) const {
    if (members_) {
        const JKFlatMember* m = memberForKey(key);
        return m ? m->object : Value();
    }
    const JKHashTableEntry* e = _JKDictionaryHashTableEntryForKey(key);
    return e ? e->object : Value();
}

void JKDictionary::enumerateKeysAndObjects(
    const std::function<bool(const Value&, const Value&)>& fn) const {
    if (members_) {
        for (const JKFlatMember& m : members()) {
            if (!fn(keyOf(m), m.object))
                return;
        }
        return;
    }
    if (mutations_ == 0) {
        for (size_t i = 0; i < capacity_; ++i) {
            const JKHashTableEntry& e = entry_[i];
            if (!e.key.isNil() && !fn(e.key, e.object))
                return;
        }
        return;
    }
    const uint64_t start = mutations_;
    for (size_t i = 0; i < capacity_; ++i) {
        if (entry_[i].key.isNil())
            continue;
        const Value key = entry_[i].key, object = entry_[i].object;  // the callback may mutate
        if (!fn(key, object))
            return;
        if (mutations_ != start) {
            plat::raise("NSGenericException",
                        plat::format("*** Collection <%s: %p> was mutated while being enumerated.",
                                     className().c_str(), static_cast<const void*>(this)));
        }
    }
}

Ref<plat::Dictionary> JKDictionary::copy() const {
    if (!isMutable() && document_)
        return JKDocument::refTo<plat::Dictionary>(*document_, *this);
    if (!isMutable())
        return std::const_pointer_cast<plat::Dictionary>(self<plat::Dictionary>());
    std::vector<std::pair<Value, Value>> pairs;
    pairs.reserve(count_);
    for (size_t i = 0; i < capacity_; ++i) {
        if (!entry_[i].key.isNil())
            pairs.emplace_back(entry_[i].key, entry_[i].object);
    }
    return plat::makeDictionary(std::move(pairs));
}

void JKDictionary::getObjects(Value* objects, Value* keys) const {
    size_t n = 0;
    for (const JKFlatMember& m : members()) {
        if (objects)
            objects[n] = m.object;
        if (keys)
            keys[n] = keyOf(m);
        ++n;
    }
    if (members_)
        return;
    for (size_t i = 0; i < capacity_; ++i) {
        const JKHashTableEntry& e = entry_[i];
        if (e.key.isNil())
            continue;
        if (objects)
            objects[n] = e.object;
        if (keys)
            keys[n] = e.key;
        ++n;
    }
}

Ref<JKDictionaryEnumerator> JKDictionary::keyEnumerator() const {
    if (document_) {
        return std::make_shared<JKDictionaryEnumerator>(
            JKDocument::refTo<const JKDictionary>(*document_, *this));
    }
    return std::make_shared<JKDictionaryEnumerator>(self<JKDictionary>());
}

void JKDictionary::checkMutable(const char* method) const {
    if (!isMutable()) {
        plat::raise(plat::NSInternalInconsistencyException,
                    plat::format("*** -[%s %s]: mutating method sent to immutable object",
                                 className().c_str(), method));
    }
}

void JKDictionary::mutated() {
    if (++mutations_ == 0)
        mutations_ = 1;
}

void JKDictionary::setObject(Value object, Value key) {
    static constexpr const char* method = "setObject:forKey:";
    checkMutable(method);
    if (key.isNil()) {
        plat::raise(
            plat::NSInvalidArgumentException,
            plat::format("*** -[%s %s]: attempt to insert nil key", className().c_str(), method));
    }
    if (object.isNil()) {
        plat::raise(plat::NSInvalidArgumentException,
                    plat::format("*** -[%s %s]: attempt to insert nil value (key: %s)",
                                 className().c_str(), method, key.description().c_str()));
    }
    _JKDictionaryResizeIfNeccessary();
    Value copied = copyKey(std::move(key));
    const size_t hash = copied.hash();
    _JKDictionaryAddObject(hash, std::move(copied), std::move(object));
    mutated();
}

void JKDictionary::removeObjectForKey(const Value& key) {
    static constexpr const char* method = "removeObjectForKey:";
    checkMutable(method);
    if (key.isNil()) {
        plat::raise(
            plat::NSInvalidArgumentException,
            plat::format("*** -[%s %s]: attempt to remove nil key", className().c_str(), method));
    }
    if (JKHashTableEntry* e = _JKDictionaryHashTableEntryForKey(key)) {
        _JKDictionaryRemoveObjectWithEntry(e);
        mutated();
    }
}

// ---- JKDictionaryEnumerator ---------------------------------------------------------------------

JKDictionaryEnumerator::JKDictionaryEnumerator(Ref<const JKDictionary> collection)
    : collection_(std::move(collection)) {
    PLAT_PARAMETER_ASSERT(collection_);
}

Value JKDictionaryEnumerator::nextObject() {
    const auto members = collection_->members();
    if (!members.empty()) {
        return nextObject_ < members.size() ? collection_->keyOf(members[nextObject_++]) : Value();
    }
    while (nextObject_ < collection_->capacity_) {
        const JKHashTableEntry& e = collection_->entry_[nextObject_++];
        if (!e.key.isNil())
            return e.key;
    }
    return Value();
}

Ref<plat::Array> JKDictionaryEnumerator::allObjects() {
    std::vector<Value> keys;
    for (Value key = nextObject(); !key.isNil(); key = nextObject())
        keys.push_back(std::move(key));
    return plat::Array::make(std::move(keys));
}
