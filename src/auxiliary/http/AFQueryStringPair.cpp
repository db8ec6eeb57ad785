#include "auxiliary/http/AFQueryStringPair.h"

#include "platform/net/Url.h"

#include <algorithm>

#include "platform/core/Collections.h"
#include "platform/net/TextEncoding.h"

namespace {

std::string lowered(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string textOf(const plat::Value& value) {
    if (const auto* text = value.string())
        return *text;
    return value.description();
}

}  // namespace

PLAT_DEFINE_CLASS(AFQueryStringSet, plat::Object, PLAT_NO_METHODS)

AFQueryStringSet::AFQueryStringSet(const std::vector<plat::Value>& elements) {
    for (const auto& element : elements) {
        if (std::find(elements_.begin(), elements_.end(), element) == elements_.end())
            elements_.push_back(element);
    }
}

plat::Value AFQueryStringSet::value(const std::vector<plat::Value>& elements) {
    return plat::Value::fromObject(std::make_shared<AFQueryStringSet>(elements));
}

std::string AFPercentEscapedQueryStringPairMemberFromStringWithEncoding(const std::string& string,
                                                                        uint64_t stringEncoding) {
    const std::string bytes =
        plat::TextEncoding::encode(string, static_cast<plat::StringEncoding>(stringEncoding))
            .value_or(string);
    return plat::Url::percentEncode(bytes, "-_.~[]");
}

std::string AFQueryStringPair::URLEncodedStringValueWithEncoding(uint64_t stringEncoding) const {
    const std::string escapedField =
        AFPercentEscapedQueryStringPairMemberFromStringWithEncoding(textOf(field), stringEncoding);
    if (value.isNilOrNull())
        return escapedField;
    return escapedField + "=" +
           AFPercentEscapedQueryStringPairMemberFromStringWithEncoding(textOf(value),
                                                                       stringEncoding);
}

std::vector<AFQueryStringPair> AFQueryStringPairsFromKeyAndValue(const plat::Value& key,
                                                                 const plat::Value& value) {
    std::vector<AFQueryStringPair> pairs;
    if (const auto dictionary = value.dictionary()) {
        std::vector<plat::Value> keys;
        dictionary->enumerateKeysAndObjects([&](const plat::Value& k, const plat::Value&) {
            keys.push_back(k);
            return true;
        });
        std::stable_sort(keys.begin(), keys.end(), [](const plat::Value& a, const plat::Value& b) {
            return lowered(textOf(a)) < lowered(textOf(b));
        });
        for (const auto& inner : keys) {
            const plat::Value nested = dictionary->objectForKey(inner);
            if (nested.isNil())
                continue;
            const plat::Value nestedKey =
                key.isNil() ? inner : plat::Value(textOf(key) + "[" + textOf(inner) + "]");
            auto more = AFQueryStringPairsFromKeyAndValue(nestedKey, nested);
            pairs.insert(pairs.end(), more.begin(), more.end());
        }
    } else if (const auto array = value.array()) {
        const plat::Value arrayKey(textOf(key) + "[]");
        array->enumerate([&](const plat::Value& element) {
            auto more = AFQueryStringPairsFromKeyAndValue(arrayKey, element);
            pairs.insert(pairs.end(), more.begin(), more.end());
            return true;
        });
    } else if (const auto set = value.as<AFQueryStringSet>()) {
        for (const auto& element : set->elements()) {
            auto more = AFQueryStringPairsFromKeyAndValue(key, element);
            pairs.insert(pairs.end(), more.begin(), more.end());
        }
    } else {
        pairs.emplace_back(key, value);
    }
    return pairs;
}

std::vector<AFQueryStringPair> AFQueryStringPairsFromDictionary(const plat::Value& dictionary) {
    return AFQueryStringPairsFromKeyAndValue(plat::Value(), dictionary);
}

std::string AFQueryStringFromParametersWithEncoding(const plat::Value& parameters,
                                                    uint64_t stringEncoding) {
    std::string query;
    bool first = true;
    for (const auto& pair : AFQueryStringPairsFromDictionary(parameters)) {
        if (!first)
            query += "&";
        first = false;
        query += pair.URLEncodedStringValueWithEncoding(stringEncoding);
    }
    return query;
}
