#pragma once
// JKDictionary: the dictionary in which the JSON reader delivers every JSON object, an ordinary
// plat::Dictionary to everyone else. The entries of a mutable one sit in one open-addressing
// table with linear probing, about 1.33 times the count, and enumeration runs in slot order,
// which follows the keys' hashes. An immutable one that the reader places in a document keeps
// its members flat, in the order of the text, without empty slots (its capacity is its count):
// each member is its value and a pointer to its key, a string of the document; a large one also
// keeps an index of its members by the keys' hashes, a small one is searched in order. The
// reader hands either kind the keys together with their hashes. An immutable instance refuses
// every mutation. Only the reader makes instances: making one by class name raises.
//
// JKDictionaryEnumerator walks the keys of a JKDictionary in slot order.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <typeinfo>
#include <utility>

#include "platform/core/Collections.h"

struct JKHashTableEntry {
    size_t keyHash = 0;  // the key's Value::hash()
    plat::Value key;     // nil in an empty slot
    plat::Value object;
};

// A member of a dictionary in a document: its value and its key, one of the document's texts
// (or of a document that it keeps).
struct JKFlatMember {
    plat::Value object;
    const plat::DocumentText* key = nullptr;
};

class JKDictionaryEnumerator;
class JKDocument;

class JKDictionary final : public plat::Dictionary {
    PLAT_CLASS(JKDictionary)
    struct Private {};

  public:
    // An empty table of `capacity` slots in the storage that follows the dictionary.
    JKDictionary(Private, std::byte* const& storage, size_t capacity, bool mutableCollection);
    ~JKDictionary() override;

    // The dictionary as one of the reader's, or null when it is another kind: what
    // dynamic_cast answers, at the cost of comparing its type (no other class derives from this
    // one), for the loaders that ask of every record.
    static const JKDictionary* of(const plat::Dictionary* dictionary) {
        return dictionary && typeid(*dictionary) == typeid(JKDictionary)
                   ? static_cast<const JKDictionary*>(dictionary)
                   : nullptr;
    }

    // Makes a dictionary of `count` entries; keys and objects are moved into it. The key hashes
    // must be the keys' Value::hash(). A later equal key replaces an earlier one. Null when the
    // count is too large for any table.
    static Ref<JKDictionary> _JKDictionaryCreate(plat::Value* keys, const size_t* keyHashes,
                                                 plat::Value* objects, size_t count,
                                                 bool mutableCollection);
    // The same, immutable, in a document's storage, keyed by texts of the document (or of a
    // document that it keeps); the objects must be the document's own or plain values (see
    // plat::Value::inDocument), since the dictionary is never destroyed by itself. `sourceText`,
    // when given, is the object's text in a text that the document keeps, and `valueTexts` where
    // each object lies in the object's text (offset from its opening brace, length).
    static const JKDictionary* _JKDictionaryCreateInDocument(
        JKDocument& document, const plat::DocumentText* const* keys, const size_t* keyHashes,
        plat::Value* objects, size_t count, std::string_view sourceText = {},
        const std::pair<size_t, size_t>* valueTexts = nullptr);
    // The table size for a count, or nothing above the largest table.
    static std::optional<size_t> _JKDictionaryCapacityForCount(size_t count);

    size_t count() const override { return count_; }
    using plat::Dictionary::objectForKey;
    plat::Value objectForKey(const plat::Value& key) const override;
    // In slot order; raises when the dictionary is mutated during the enumeration.
    void enumerateKeysAndObjects(
        const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const override;
    bool isMutable() const override { return mutations_ != 0; }
    // Immutable: the receiver itself; mutable: a new immutable platform dictionary.
    Ref<plat::Dictionary> copy() const override;

    // Fills either or both buffers (each with room for count() values) in slot order.
    void getObjects(plat::Value* objects, plat::Value* keys) const;
    Ref<JKDictionaryEnumerator> keyEnumerator() const;

    // Inserts or replaces; the key is copied.
    void setObject(plat::Value object, plat::Value key);
    void removeObjectForKey(const plat::Value& key);

    size_t capacity() const { return capacity_; }
    uint64_t mutations() const { return mutations_; }
    // The slot table, valid until the next mutation; empty for a dictionary in a document.
    std::span<const JKHashTableEntry> entries() const { return {entry_, members_ ? 0 : capacity_}; }
    // The members of a dictionary in a document, in the order of the text; empty otherwise.
    std::span<const JKFlatMember> members() const { return {members_, members_ ? count_ : 0}; }
    // The document whose storage holds the dictionary; null for one of its own.
    const plat::Object* document() const { return document_; }
    // A member's key as a value of the document.
    plat::Value keyOf(const JKFlatMember& member) const {
        return plat::Value::inDocument(*member.key, *document_, true);
    }
    // The object's bytes, braces included, as the text it was read from holds them, for an
    // object of a parse that kept its text (JSONDecoder::objectKeepingText); empty otherwise.
    // Valid while the dictionary is.
    std::string_view sourceText() const { return {sourceText_, sourceLength_}; }
    // The bytes of the value of the member at that position as the text holds them, for an
    // object of a parse that kept its text; empty otherwise.
    std::string_view memberSourceText(size_t index) const {
        if (!memberTexts_ || index >= count_)
            return {};
        return {sourceText_ + memberTexts_[index].first, memberTexts_[index].second};
    }

  private:
    friend class JKDictionaryEnumerator;

    JKHashTableEntry* _JKDictionaryHashTableEntryForKey(const plat::Value& key) const;
    const JKFlatMember* memberForKey(const plat::Value& key) const;
    void _JKDictionaryAddObject(size_t keyHash, plat::Value key, plat::Value object);
    void _JKDictionaryRemoveObjectWithEntry(JKHashTableEntry* entry);
    void _JKDictionaryResizeIfNeccessary();
    // Fills the new, empty table with `count` pairs, later equal keys replacing earlier ones.
    void fill(plat::Value* keys, const size_t* keyHashes, plat::Value* objects, size_t count);
    void checkMutable(const char* method) const;
    void mutated();

    // No table is larger than 2^32 slots (see _JKDictionaryCapacityForCount), and no dictionary
    // in a document has 2^32 members.
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
    uint64_t mutations_ = 0;
    // The table lives after the object until the first growth, then in `heap_`.
    JKHashTableEntry* entry_ = nullptr;
    std::unique_ptr<JKHashTableEntry[]> heap_;
    const plat::Object* document_ = nullptr;  // the document whose storage holds the dictionary
    // The members of a dictionary in a document, and for a large one an index of member numbers
    // plus one by the keys' hashes, of indexMask_ + 1 slots, right after the object (0: none).
    const JKFlatMember* members_ = nullptr;
    size_t indexMask_ = 0;
    const char* sourceText_ = nullptr;
    size_t sourceLength_ = 0;
    // Where each member's value lies in the source text: offset from its start, and length.
    const std::pair<uint32_t, uint32_t>* memberTexts_ = nullptr;
    const uint32_t* index() const;
};

class JKDictionaryEnumerator : public plat::Object {
    PLAT_CLASS(JKDictionaryEnumerator)
  public:
    explicit JKDictionaryEnumerator(Ref<const JKDictionary> collection);

    // The key of the next occupied slot; nil after the last.
    plat::Value nextObject();
    // The keys not returned yet, in slot order.
    Ref<plat::Array> allObjects();

  private:
    Ref<const JKDictionary> collection_;
    size_t nextObject_ = 0;
};
