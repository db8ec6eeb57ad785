#include "vnlib/info/VnInfo.h"

#include <deque>
#include <utility>

#include "platform/core/Log.h"
#include "platform/core/Property.h"
#include "vnlib/info/VnInfoBaseSerializationHelper.h"

PLAT_DEFINE_CLASS(VnInfo, VnInfoBase, [](auto& c) {
    c.property("code", "T@\"NSString\",C,N,Vcode_", &VnInfo::code, &VnInfo::setCode);
})
PLAT_DEFINE_CLASS(VnInfoWithHashString, VnInfo, [](auto& c) {
    c.property("hashString", "T@\"NSString\",C,N,VhashString_", &VnInfoWithHashString::hashString,
               &VnInfoWithHashString::setHashString);
})
PLAT_DEFINE_CLASS(VnRevisionedInfo, VnInfo, [](auto& c) {
    c.property("revision", "Ti,N,Vrevision_", &VnRevisionedInfo::revision,
               &VnRevisionedInfo::setRevision);
})

void VnInfo::initWithDictionary(const Ref<plat::Dictionary>& dictionary) {
    VnInfoBase::initWithDictionary(dictionary);
    if (!dictionary)
        return;
    // The code is read once more from its own key, replacing what the generic load set. Null
    // clears it and a number gives its decimal text.
    plat::Value value = dictionary->objectForKey(codeKey());
    if (value.isNil()) {
        static const plat::Value codeKeyOfRecords("Code");
        codeCameAsText_ = dictionary->objectForKey(codeKeyOfRecords).isString();
        return;
    }
    codeCameAsText_ = value.isString();
    if (value.isNull())
        value = plat::Value();
    static const std::string name = "code";
    const plat::PropertyEntry* code =
        VnInfoBaseSerializationHelper::helperFor(*this).readableProperty(name);
    if (code && code->owner == &VnInfo::classObject() && value.isString() && code_ &&
        *code_ == value.stringView())
        return;  // the generic load set this text already: setting it again changes nothing
    if (!code || !code->setter || !code->setter(*this, value))
        setPropertyValue(value, name);  // refused: setting by name reports why
}

const plat::Value& VnInfo::codeKey() const {
    // The key of the class, made once per class and thread: records of several classes are
    // loaded in turn (a record and those nested in it), so that each keeps its own.
    thread_local std::deque<std::pair<const plat::Class*, plat::Value>> keys;  // stay in place
    const plat::Class* cls = &getClass();
    for (const auto& [known, key] : keys) {
        if (known == cls)
            return key;
    }
    keys.emplace_back(cls, plat::Value(coreCodeKeyName()));
    return keys.back().second;
}

void VnInfoWithHashString::setHashString(std::optional<std::string> hash) {
    if (hash) {
        for (char& ch : *hash) {
            if (ch >= 'A' && ch <= 'Z')
                ch = static_cast<char>(ch - 'A' + 'a');
        }
    }
    hashString_ = std::move(hash);
}

std::string VnInfoWithHashString::description() const {
    return VnInfo::description() +
           plat::format("- hash=%s", hashString_.value_or("(null)").c_str());
}

std::string VnInfoWithHashString::_dictionaryKeyNameWithPropertyName(
    const std::string& name) const {
    if (name == "hashString")
        return "Hash";
    return VnInfo::_dictionaryKeyNameWithPropertyName(name);
}

std::string VnInfoWithHashString::_propertyNameByDictionaryKeyName(const std::string& key) const {
    if (key == "Hash")
        return "hashString";
    return VnInfo::_propertyNameByDictionaryKeyName(key);
}

int VnRevisionedInfo::compareRevision(const VnRevisionedInfo& other) const {
    if (&other.getClass() != &getClass())
        plat::assertionFailed("0", __FILE__, __LINE__);
    if (revision_ == other.revision_)
        return 0;
    return other.revision_ > revision_ ? 1 : -1;
}
