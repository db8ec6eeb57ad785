#pragma once
// VndReceivedDictionary: what a record keeps of a dictionary it was loaded from when the reader
// kept the text that dictionary came in (JKDictionary::memberSourceText): the text of each value
// as it came, in one block, under the keys of a shape that the dictionaries of the thread share
// while they come with the same keys in the same order (the records of a reply do). Keeping it
// copies the values' bytes and decodes nothing; a value is read again from its text when it is
// asked for. To everyone else an immutable dictionary with the same entries in the same order as
// the one it was made from.
//
//   if (auto kept = VndReceivedDictionary::make(decoded, &record.getClass())) ...
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/core/Collections.h"

class JKDictionary;

class VndReceivedDictionary final : public plat::Dictionary {
    PLAT_CLASS(VndReceivedDictionary)
    struct Private {};

  public:
    struct Shape;

    // The kept copy of a dictionary read from a kept text; null when the reader did not tell
    // where its values lie (a text read with comments, say): the caller keeps such a dictionary
    // another way. `kind` names the family of dictionaries whose last shape is tried first (a
    // record class).
    static Ref<VndReceivedDictionary> make(const JKDictionary& loaded, const void* kind);

    // Made by make() only, with its value texts in the storage that follows it.
    VndReceivedDictionary(Private, std::byte* const& storage, std::shared_ptr<const Shape> shape,
                          bool wideEnds);
    ~VndReceivedDictionary() override;

    size_t count() const override;
    using plat::Dictionary::objectForKey;
    plat::Value objectForKey(const plat::Value& key) const override;
    void enumerateKeysAndObjects(
        const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const override;

    // The text of the value under the key as it came; empty when the key is not there.
    std::string_view valueText(const plat::Value& key) const;

  private:
    std::string_view valueAt(size_t index) const;

    std::shared_ptr<const Shape> shape_;
    // The end of each value's text (two or four bytes each), then the texts one after another.
    const std::byte* storage_;
    bool wideEnds_;
};
