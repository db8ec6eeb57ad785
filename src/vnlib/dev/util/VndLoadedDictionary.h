#pragma once
// VndLoadedDictionary: what a record keeps of the dictionary it was loaded from, compact and
// sharing nothing with the decoded reply (a value taken out of a reply keeps the whole reply
// alive). The entries under keys that the record's class does not map are kept as values; the
// whole dictionary is kept as JSON text as well, read again only when a value that the record's
// properties took is asked for. To everyone else an immutable dictionary with the same entries
// in the same order.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Collections.h"

class VndProxyClassPlan;

class VndLoadedDictionary final : public plat::Dictionary {
    PLAT_CLASS(VndLoadedDictionary)
  public:
    using Entries = std::vector<std::pair<plat::Value, plat::Value>>;

    // What a record (the target) keeps of the dictionary: a VndLoadedDictionary for a target
    // that its views read as a value source, else the dictionary's own copy.
    static Ref<plat::Dictionary> make(plat::Object& target, const Ref<plat::Dictionary>& loaded);

    explicit VndLoadedDictionary(const VndProxyClassPlan& plan);

    size_t count() const override { return count_; }
    using plat::Dictionary::objectForKey;
    plat::Value objectForKey(const plat::Value& key) const override;
    void enumerateKeysAndObjects(
        const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const override;

    // ---- For the views of the record ----
    const VndProxyClassPlan& plan() const { return *plan_; }
    // The entries under keys outside the class part, in order.
    const Entries& unmappedEntries() const { return unmapped_; }
    // The loaded value under the class key at that position of the plan: nil when the
    // dictionary held none there, or null.
    plat::Value mappedValue(size_t index) const;

  private:
    // Calls fn with each entry in order, unpacking the class keys' values.
    void unpackEach(const std::function<bool(const plat::Value&, const plat::Value&)>& fn) const;

    const VndProxyClassPlan* plan_;
    Entries unmapped_;
    // Loaded values under class keys that name no property the record answers: always written.
    std::vector<std::pair<size_t, plat::Value>> unread_;
    std::string packed_;               // every entry, in order (see the source)
    std::vector<plat::Value> others_;  // values of kinds that are not packed
    std::vector<uint64_t> mapped_;     // one bit per class key: a value other than null was loaded
    size_t count_ = 0;
};
