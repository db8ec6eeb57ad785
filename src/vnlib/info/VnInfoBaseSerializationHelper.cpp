#include "vnlib/info/VnInfoBaseSerializationHelper.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <mutex>

#include "platform/core/Property.h"
#include "vnlib/dev/json/JKDictionary.h"
#include "vnlib/dev/util/VndDictionaryAdditions.h"
#include "vnlib/dev/util/VndKeyOrderMemo.h"
#include "vnlib/dev/util/VndObjectAdditions.h"

namespace {

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string upperFirst(std::string text) {
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

}  // namespace

VnInfoBaseProperty::VnInfoBaseProperty(const VnInfoBase& prototype, std::string propertyName,
                                       const std::string& typeEncoding, bool customWrite)
    : propertyName_(std::move(propertyName)), customWrite_(customWrite) {
    PLAT_PARAMETER_ASSERT(!propertyName_.empty());
    dictionaryKeyName_ = prototype._dictionaryKeyNameWithPropertyName(propertyName_);
    capitalizedDictionaryKeyName_ = dictionaryKeyName_;
    if (!capitalizedDictionaryKeyName_.empty()) {
        capitalizedDictionaryKeyName_[0] =
            static_cast<char>(std::toupper(static_cast<unsigned char>(propertyName_[0])));
    }
    dictionaryKey_ = plat::Value(dictionaryKeyName_);
    capitalizedDictionaryKey_ = plat::Value(capitalizedDictionaryKeyName_);
    entry_ = prototype.getClass().findProperty(propertyName_);
    keepsText_ = typeEncoding == "@\"NSString\"" && !customWrite_;
    // A date or a number is made of a text, never kept as the text: a custom load of one reads
    // the text where the reply holds it.
    readsTextInPlace_ =
        customWrite_ &&
        (typeEncoding == "@\"NSDate\"" ||
         (typeEncoding.size() == 1 &&
          std::string_view("cCsSiIlLqQfdB").find(typeEncoding[0]) != std::string_view::npos));
    copiesArrays_ =
        !customWrite_ && entry_ && plat::propertyAttribute(entry_->attributes, 'C').has_value();
    if (customWrite_)
        return;  // custom-write properties take the loaded value as it is
    if (typeEncoding == "i" || typeEncoding == "c") {
        rule_ = Rule::Integer;
    } else if (typeEncoding == "@\"NSDate\"") {
        rule_ = Rule::Date;
    } else if (typeEncoding == "@\"NSArray\"") {
        rule_ = Rule::Array;
        subItemClass_ = prototype._classForPropertyDeserialization(propertyName_);
    } else if (typeEncoding == "@\"NSDictionary\"") {
        rule_ = Rule::KeyValueList;
    } else if (typeEncoding.size() > 3 && typeEncoding.starts_with("@\"Vn")) {
        const std::string className = typeEncoding.substr(2, typeEncoding.size() - 3);
        subItemClass_ = plat::Class::named(className);
        if (!subItemClass_) {
            if (const auto entry = prototype.getClass().findProperty(propertyName_)) {
                subItemClass_ = entry->objectClass();
            }
        }
        if (subItemClass_)
            rule_ = Rule::NestedRecord;
    }
}

plat::Value VnInfoBaseProperty::applyRule(VnInfoBase& record, const plat::Value& v) const {
    switch (rule_) {
        case Rule::Integer:
            return v.isNil() ? plat::Value(int32_t{0}) : v;
        case Rule::Date: {
            if (!v.isString())
                return plat::Value();
            auto date = VnInfoBase::dateFromShortStyleString(v.stringView());  // read in place
            return date ? plat::Value(*date) : plat::Value();
        }
        case Rule::Array: {
            std::vector<plat::Value> records;
            auto list = v.array();
            if (list && subItemClass_) {
                records.reserve(list->count());
                list->enumerate([&](const plat::Value& element) {
                    if (auto d = element.dictionary())
                        records.emplace_back(VnInfoBase::recordOfClass(*subItemClass_, d));
                    return true;
                });
            }
            // A property that keeps a copy would make this list immutable anyway.
            if (copiesArrays_)
                return plat::Value(plat::Array::make(std::move(records)));
            return plat::Value(plat::MutableArray::make(std::move(records)));
        }
        case Rule::KeyValueList: {
            auto list = v.array();
            if (!list)
                return v;
            auto out = plat::MutableDictionary::make();
            list->enumerate([&](const plat::Value& item) {
                auto entry = item.dictionary();
                if (!entry)
                    return true;
                plat::Value key = entry->objectForKey("Key");
                if (key.isNilOrNull())
                    return true;
                // No "Value" removes the key.
                out->setObject(detachedCopy(entry->objectForKey("Value")), detachedCopy(key));
                return true;
            });
            return plat::Value(out);
        }
        case Rule::NestedRecord: {
            auto d = v.dictionary();
            if (!v.isNil() && !d)
                return v;  // not a record: refused by the property
            return plat::Value(VnInfoBase::recordOfClass(*subItemClass_, d));
        }
        case Rule::Identity:
            // Lists, dictionaries and untyped values are kept: a copy of their own, so that the
            // record does not keep the decoded reply alive. Text properties copy their text.
            if (v.isString() && !keepsText_ && !readsTextInPlace_)
                return plat::Value(std::string(v.stringView()));  // read in place
            if (v.isArray() || v.isDictionary())
                return detachedCopy(v);
            break;
    }
    (void)record;
    return v;
}

void VnInfoBaseProperty::load(VnInfoBase& record, const plat::Dictionary& dictionary) const {
    plat::Value v = dictionary.objectForKey(capitalizedDictionaryKey_);
    if (v.isNil() && dictionaryKeyName_ != capitalizedDictionaryKeyName_)
        v = dictionary.objectForKey(dictionaryKey_);
    if (v.isNil())
        return;  // a missing key leaves the property as it is
    loadValue(record, v);
}

void VnInfoBaseProperty::loadValue(VnInfoBase& record, const plat::Value& given) const {
    static const plat::Value nil;
    const plat::Value& v = given.isNull() ? nil : given;
    // Scalars, and text for a text property, are taken as they are: set without a copy.
    const bool asItIs = rule_ == Rule::Identity && !customWrite_ && !v.isArray() &&
                        !v.isDictionary() && (!v.isString() || keepsText_);
    if (asItIs) {
        if (!entry_ || !entry_->setter || !entry_->setter(record, v))
            record.setPropertyValue(v, propertyName_);  // refused: reports why, changes nothing
        return;
    }
    plat::Value result = applyRule(record, v);
    if (result.isNull())
        result = plat::Value();
    if (customWrite_) {
        record.setSerializedValue(result.isNil() ? plat::Value::null() : result, propertyName_);
    } else if (!entry_ || !entry_->setter || !entry_->setter(record, result)) {
        // Refused (or no such setter): setting by name reports why and changes nothing.
        record.setPropertyValue(result, propertyName_);
    }
}

VnInfoBaseSerializationHelper::VnInfoBaseSerializationHelper(const VnInfoBase& prototype) {
    const auto customWrite = prototype._propertyNameSetForCustomWrite();
    const auto excluded = prototype.coreDeserializationExcludedPropertyNameSet();
    for (const auto& property : rt_allVisibleProperties(prototype.getClass())) {
        const std::string& name = property->name();
        const std::string key = prototype._dictionaryKeyNameWithPropertyName(name);
        propertyByKey_.emplace(key, name);
        if (auto entry = prototype.getClass().findProperty(name))
            readableByName_.emplace(name, std::move(entry));
        if (property->isReadOnly() || contains(excluded, name))
            continue;
        VnInfoBaseProperty entry(prototype, name, property->typeEncoding().value_or(""),
                                 contains(customWrite, name));
        auto existing = std::find_if(properties_.begin(), properties_.end(),
                                     [&](const auto& p) { return p.propertyName() == name; });
        if (existing != properties_.end()) {
            *existing = std::move(entry);
        } else {
            properties_.push_back(std::move(entry));
        }
    }
    for (size_t i = 0; i < properties_.size(); ++i) {
        const auto& property = properties_[i];
        const auto index = static_cast<uint32_t>(i);
        usesByKey_[property.capitalizedDictionaryKeyName()].push_back({index, true});
        if (property.dictionaryKeyName() != property.capitalizedDictionaryKeyName())
            usesByKey_[property.dictionaryKeyName()].push_back({index, false});
    }
}

const VnInfoBaseSerializationHelper::KeyUses* VnInfoBaseSerializationHelper::usesOfKey(
    std::string_view key) const {
    auto it = usesByKey_.find(key);
    return it == usesByKey_.end() ? nullptr : &it->second;
}

const VnInfoBaseSerializationHelper& VnInfoBaseSerializationHelper::helperFor(
    const VnInfoBase& record) {
    // Helpers live as long as the process: each thread remembers those it has used.
    thread_local std::unordered_map<const plat::Class*, const VnInfoBaseSerializationHelper*> used;
    if (auto it = used.find(&record.getClass()); it != used.end())
        return *it->second;
    static std::recursive_mutex lock;
    static std::unordered_map<std::string, std::unique_ptr<VnInfoBaseSerializationHelper>> map;
    std::lock_guard guard(lock);
    auto& slot = map[record.className()];
    if (!slot)
        slot = std::make_unique<VnInfoBaseSerializationHelper>(record);
    used.emplace(&record.getClass(), slot.get());
    return *slot;
}

void VnInfoBaseSerializationHelper::loadInfo(VnInfoBase& record,
                                             const plat::Dictionary& dictionary) {
    const VnInfoBaseSerializationHelper& helper = helperFor(record);
    if (const auto* decoded = JKDictionary::of(&dictionary);
        decoded && !decoded->members().empty()) {
        helper.loadMembers(record, *decoded);
        return;
    }
    for (const auto& property : helper.properties())
        property.load(record, dictionary);
}

void VnInfoBaseSerializationHelper::loadMembers(VnInfoBase& record,
                                                const JKDictionary& dictionary) const {
    // The records of one reply have the same keys in the same order: each thread remembers the
    // keys it last met per class, and looks up only those that differ.
    thread_local std::unordered_map<const VnInfoBaseSerializationHelper*,
                                    VndKeyOrderMemo<const KeyUses*>>
        shapes;
    VndKeyOrderMemo<const KeyUses*>& shape = shapes[this];
    shape.useDocument(dictionary.document());
    const auto members = dictionary.members();
    // The value under each property's capitalised key and under its own name, in two slots per
    // property. All are found before any is loaded: loading a nested record of the same class
    // uses the same remembered keys.
    constexpr size_t kOnStack = 256;
    std::array<const plat::Value*, kOnStack> onStack;
    std::vector<const plat::Value*> onHeap;
    const plat::Value** found = onStack.data();
    if (2 * properties_.size() > kOnStack) {
        onHeap.assign(2 * properties_.size(), nullptr);
        found = onHeap.data();
    } else {
        std::fill_n(found, 2 * properties_.size(), nullptr);  // only the slots in use
    }
    for (size_t i = 0; i < members.size(); ++i) {
        const KeyUses* uses = shape.at(i, members[i].key, members[i].key->view(),
                                       [&](std::string_view key) { return usesOfKey(key); });
        if (uses) {
            for (const KeyUse& use : *uses)
                found[2 * use.property + (use.capitalized ? 0 : 1)] = &members[i].object;
        }
    }
    for (size_t i = 0; i < properties_.size(); ++i) {
        const plat::Value* value = found[2 * i] ? found[2 * i] : found[2 * i + 1];
        if (value)
            properties_[i].loadValue(record, *value);
    }
}

std::string VnInfoBaseSerializationHelper::defaultKeyForPropertyName(const std::string& name) {
    static std::mutex lock;
    static std::unordered_map<std::string, std::string> cache;
    std::lock_guard guard(lock);
    auto it = cache.find(name);
    if (it == cache.end())
        it = cache.emplace(name, upperFirst(name)).first;
    return it->second;
}

std::optional<std::string> VnInfoBaseSerializationHelper::propertyNameForKey(
    const std::string& key) const {
    auto it = propertyByKey_.find(key);
    if (it == propertyByKey_.end())
        return std::nullopt;
    return it->second;
}
