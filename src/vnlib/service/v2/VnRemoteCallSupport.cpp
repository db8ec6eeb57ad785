#include "vnlib/service/v2/VnRemoteCallSupport.h"

#include "platform/core/Log.h"
#include "vnlib/info/VnInfoBase.h"
#include "vnlib/service/v2/VnRemoteReturnValue.h"

namespace {

plat::Value keyValueItem(const plat::Value& key, const plat::Value& value) {
    return plat::Value(
        plat::makeDictionary({{plat::Value("Key"), key}, {plat::Value("Value"), value}}));
}

// Merges the extra parameters into the request's "optionalParams". A list keeps its items whose
// keys the extras lack (the extras win) and is rebuilt with one {"Key", "Value"} item per
// parameter; an object (the {"start", "length"} form) gets the extras as members. Answers false
// when there is nowhere to put them (no member, null, or another kind of value).
bool mergeIntoOptionalParams(plat::MutableDictionary& body, plat::MutableDictionary& extra) {
    const plat::Value existing = body.objectForKey("optionalParams");
    if (auto object = existing.dictionary()) {
        auto merged = object->mutableCopy();
        extra.enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
            merged->setObject(value, key);
            return true;
        });
        body.setObject(plat::Value(merged), plat::Value("optionalParams"));
        return true;
    }
    auto items = existing.array();
    if (!items)
        return false;
    items->enumerate([&](const plat::Value& item) {
        auto entry = item.dictionary();
        if (!entry)
            return true;
        const plat::Value key = entry->objectForKey("Key");
        if (key.isNilOrNull() || !extra.objectForKey(key).isNil())
            return true;
        const plat::Value value = entry->objectForKey("Value");
        extra.setObject(value.isNil() ? plat::Value::null() : value, key);
        return true;
    });
    std::vector<plat::Value> list;
    extra.enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
        list.push_back(keyValueItem(key, value));
        return true;
    });
    body.setObject(plat::Value(plat::Array::make(std::move(list))), plat::Value("optionalParams"));
    return true;
}

}  // namespace

plat::Value VnMergeCustomParams(const plat::Value& params, const Ref<plat::Dictionary>& custom,
                                const std::string& webMethod) {
    auto dictionary = params.dictionary();
    // A record is written through its own JSON view, without merging.
    if (!dictionary || !custom || custom->count() == 0)
        return params;

    auto body = dictionary->mutableCopy();
    auto extra = plat::MutableDictionary::make();
    custom->enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value& value) {
        if (!body->objectForKey(key).isNil()) {
            body->setObject(value, key);
        } else {
            extra->setObject(value, key);
        }
        return true;
    });
    if (extra->count() > 0 && !mergeIntoOptionalParams(*body, *extra)) {
        // The service has no place for them: say which ones are not sent (names only).
        std::string names;
        extra->enumerateKeysAndObjects([&](const plat::Value& key, const plat::Value&) {
            names += (names.empty() ? "" : ", ") + key.description();
            return true;
        });
        VND_TRACE("General", "WebMethod:%s, custom parameters not sent: %s", webMethod.c_str(),
                  names.c_str());
    }
    return plat::Value(body);
}

plat::Value VnMapRemoteAnswer(
    const plat::Value& answer,
    const std::function<plat::Value(const Ref<plat::Dictionary>&)>& mapOne, bool keepNulls) {
    if (auto dictionary = answer.dictionary())
        return mapOne(dictionary);
    auto list = answer.array();
    if (!list)
        return answer;
    auto out = plat::MutableArray::make();
    list->enumerate([&](const plat::Value& element) {
        if (element.isNilOrNull()) {
            if (keepNulls)
                out->addObject(plat::Value::null());
            return true;
        }
        auto dictionary = element.dictionary();
        if (!dictionary)
            dictionary = plat::makeDictionary({{plat::Value("Code"), element}});
        plat::Value mapped = mapOne(dictionary);
        if (!mapped.isNil())
            out->addObject(mapped);
        return true;
    });
    return plat::Value(out);
}

plat::Value VnReturnValueOfClass(const plat::Class* returnValueClass,
                                 const Ref<plat::Dictionary>& dictionary) {
    if (!returnValueClass)
        return plat::Value();
    auto object = returnValueClass->make();
    // Whether it is a record is asked of its class, which costs less than a cast.
    if (object && object->getClass().isSubclassOf(VnInfoBase::classObject())) {
        std::static_pointer_cast<VnInfoBase>(object)->initWithDictionary(dictionary);
    } else if (auto value = std::dynamic_pointer_cast<VnRemoteReturnValue>(object)) {
        value->initWithDictionary(dictionary);
    }
    return plat::Value(object);
}
