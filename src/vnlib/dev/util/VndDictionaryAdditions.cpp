#include "vnlib/dev/util/VndDictionaryAdditions.h"

namespace {
plat::Value intKey(int32_t key) {
    return plat::Value(plat::Number::fromInt64(key, 'i'));
}
}  // namespace

plat::Value objectForIntKey(const plat::Dictionary& dictionary, int32_t key) {
    return dictionary.objectForKey(intKey(key));
}

int32_t intForKey(const plat::Dictionary& dictionary, std::string_view key, int32_t defaultValue) {
    plat::Value v = dictionary.objectForKey(key);
    return v.isNil() ? defaultValue : v.intValue();
}

float floatForKey(const plat::Dictionary& dictionary, std::string_view key, float defaultValue) {
    plat::Value v = dictionary.objectForKey(key);
    return v.isNil() ? defaultValue : static_cast<float>(v.doubleValue());
}

bool boolForKey(const plat::Dictionary& dictionary, std::string_view key, bool defaultValue) {
    plat::Value v = dictionary.objectForKey(key);
    return v.isNil() ? defaultValue : v.boolValue();
}

std::optional<std::string> stringForKey(const plat::Dictionary& dictionary, std::string_view key) {
    plat::Value v = dictionary.objectForKey(key);
    if (v.isNil())
        return std::nullopt;
    return v.description();
}

std::string stringForKey(const plat::Dictionary& dictionary, std::string_view key,
                         const std::string& defaultValue) {
    return stringForKey(dictionary, key).value_or(defaultValue);
}

void setObjectForIntKey(plat::MutableDictionary& dictionary, plat::Value value, int32_t key) {
    dictionary.setObject(std::move(value), intKey(key));
}

void removeObjectForIntKey(plat::MutableDictionary& dictionary, int32_t key) {
    dictionary.removeObjectForKey(intKey(key));
}

plat::Value detachedCopy(const plat::Value& value) {
    if (const std::string* text = value.string())
        return plat::Value(std::string(*text));
    if (auto array = value.array()) {
        std::vector<plat::Value> elements;
        elements.reserve(array->count());
        array->enumerate([&](const plat::Value& element) {
            elements.push_back(detachedCopy(element));
            return true;
        });
        return plat::Value(plat::Array::make(std::move(elements)));
    }
    if (auto dictionary = value.dictionary()) {
        std::vector<std::pair<plat::Value, plat::Value>> entries;
        entries.reserve(dictionary->count());
        dictionary->enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& object) {
            entries.emplace_back(detachedCopy(key), detachedCopy(object));
            return true;
        });
        return plat::Value(plat::makeDictionary(std::move(entries)));
    }
    return value;
}
