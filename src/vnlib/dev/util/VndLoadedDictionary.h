#pragma once
// VndLoadedDictionary: what a record keeps of the dictionary it was loaded from, compact and
// sharing nothing with the decoded reply (a value taken out of a reply keeps the whole reply
// alive). The entries under keys that the record's class does not map are kept as values (their
// keys shared by the records of the class, short lists of numbers shared by all that hold an
// equal one); every entry is kept packed as well, in one block
// with the dictionary itself, and unpacked only when a value that the record's properties took
// is asked for. To everyone else an immutable dictionary with the same entries in the same order.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Collections.h"

class VndProxyClassPlan;

class VndLoadedDictionary final : public plat::Dictionary {
    PLAT_CLASS(VndLoadedDictionary)
    struct Private {};

  public:
    using Entries = std::vector<std::pair<plat::Value, plat::Value>>;

    // What a record (the target) keeps of the dictionary: a VndLoadedDictionary for a target
    // that its views read as a value source, else the dictionary's own copy.
    static Ref<plat::Dictionary> make(plat::Object& target, const Ref<plat::Dictionary>& loaded);

    // Made by make() only, with its packed entries in the storage that follows it.
    VndLoadedDictionary(Private, std::byte* const& storage, const VndProxyClassPlan& plan);

    size_t count() const override { return count_; }
    using plat::Dictionary::objectForKey;
    plat::Value objectForKey(const plat::Value& key) const override;
    void enumerateKeysAndObjects(
        const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const override;

    // ---- For the views of the record ----
    const VndProxyClassPlan& plan() const { return *plan_; }
    // The entries under keys outside the class part, in order.
    const Entries& unmappedEntries() const;
    // The loaded value under the class key at that position of the plan: nil when the
    // dictionary held none there, or null.
    plat::Value mappedValue(size_t index) const;

  private:
    // Loaded values under class keys that name no property the record answers (always written),
    // and values of kinds that are not packed: seldom any.
    struct Extras {
        std::vector<std::pair<size_t, plat::Value>> unread;
        std::vector<plat::Value> others;
    };

    // Calls fn with each entry in order, unpacking the class keys' values.
    void unpackEach(const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const;
    bool isMapped(size_t index) const;

    const VndProxyClassPlan* plan_;
    // One bit per class key (a value other than null was loaded), then the packed entries.
    const std::byte* storage_;
    uint32_t packedSize_ = 0;
    uint32_t count_ = 0;
    // Shared with the previous copy of the class made by the thread when it holds the same.
    std::shared_ptr<const Entries> unmapped_;
    std::unique_ptr<Extras> extras_;
};
