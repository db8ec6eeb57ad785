#pragma once
// The load plan of a record class, made once per class on its first load: for every writable,
// not excluded visible property, its dictionary keys, the rule that turns a loaded value into
// the property's value and the property's own accessors, so that loading sets each property
// directly rather than by name; and the readers of every visible property, for writing.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/core/Property.h"
#include "vnlib/info/VnInfoBase.h"

class VnInfoBaseProperty {
  public:
    enum class Rule { Integer, Date, Array, KeyValueList, NestedRecord, Identity };

    VnInfoBaseProperty(const VnInfoBase& prototype, std::string propertyName,
                       const std::string& typeEncoding, bool customWrite);

    const std::string& propertyName() const { return propertyName_; }
    const std::string& dictionaryKeyName() const { return dictionaryKeyName_; }
    const std::string& capitalizedDictionaryKeyName() const {
        return capitalizedDictionaryKeyName_;
    }
    Rule rule() const { return rule_; }
    bool customWrite() const { return customWrite_; }

    // Loads the property of the record from the dictionary (a missing key changes nothing).
    void load(VnInfoBase& record, const plat::Dictionary& dictionary) const;
    // Loads the property from the value found under one of its keys.
    void loadValue(VnInfoBase& record, const plat::Value& v) const;

  private:
    plat::Value applyRule(VnInfoBase& record, const plat::Value& value) const;

    std::string propertyName_;
    std::string dictionaryKeyName_;
    std::string capitalizedDictionaryKeyName_;
    plat::Value dictionaryKey_;
    plat::Value capitalizedDictionaryKey_;
    std::shared_ptr<const plat::PropertyEntry> entry_;  // the property that setting by name finds
    Rule rule_ = Rule::Identity;
    const plat::Class* subItemClass_ = nullptr;
    bool customWrite_ = false;
    bool keepsText_ = false;  // a text property, which copies the text it is given
    bool readsTextInPlace_ = false;  // a custom load that only reads a text it is given
    bool copiesArrays_ = false;  // a property that keeps a copy of the list it is given
};

class JKDictionary;

class VnInfoBaseSerializationHelper {
  public:
    // The plan of the record's class, made on first request.
    static const VnInfoBaseSerializationHelper& helperFor(const VnInfoBase& record);
    // The generic property load.
    static void loadInfo(VnInfoBase& record, const plat::Dictionary& dictionary);
    // The property name with its first character upper-cased (remembered per name).
    static std::string defaultKeyForPropertyName(const std::string& name);

    const std::vector<VnInfoBaseProperty>& properties() const { return properties_; }
    // The property whose key (or first lookup key) is this key, over every visible property.
    std::optional<std::string> propertyNameForKey(const std::string& key) const;
    // The declared property that reading the name by key-value coding finds; null when none.
    const plat::PropertyEntry* readableProperty(const std::string& name) const {
        auto it = readableByName_.find(name);
        return it == readableByName_.end() ? nullptr : it->second.get();
    }

    explicit VnInfoBaseSerializationHelper(const VnInfoBase& prototype);

  private:
    // A property that a key loads: under its capitalised key, which comes first, or as named.
    struct KeyUse {
        uint32_t property;
        bool capitalized;
    };
    using KeyUses = std::vector<KeyUse>;
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>()(text);
        }
    };
    // The properties of a key; null for a key that loads none.
    const KeyUses* usesOfKey(std::string_view key) const;
    // Loads from a reader's dictionary by walking its members once.
    void loadMembers(VnInfoBase& record, const JKDictionary& dictionary) const;

    std::vector<VnInfoBaseProperty> properties_;
    std::unordered_map<std::string, KeyUses, TextHash, std::equal_to<>> usesByKey_;
    std::unordered_map<std::string, std::string> propertyByKey_;
    std::unordered_map<std::string, std::shared_ptr<const plat::PropertyEntry>> readableByName_;
};
