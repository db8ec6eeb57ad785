#include "vnlib/info/VnInfoBase.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <unordered_map>

#include "platform/core/KeyValueCoding.h"
#include "platform/core/Log.h"
#include "platform/core/Property.h"
#include "vnlib/dev/json/JKDictionary.h"
#include "vnlib/dev/json/JSONKitDeserializing.h"
#include "vnlib/dev/util/VndLoadedDictionary.h"
#include "vnlib/dev/util/VndObjectAdditions.h"
#include "vnlib/dev/util/VndObjectProxyDictionary.h"
#include "vnlib/dev/util/VndReceivedDictionary.h"
#include "vnlib/info/VnInfoBaseSerializationHelper.h"

PLAT_DEFINE_CLASS(VnInfoBase, VndObject, [](auto& c) {
    c.method("proxyForJson", &VnInfoBase::proxyForJson)
        .method("serializedValueForPropertyName:", &VnInfoBase::serializedValueForPropertyName)
        .method("_dictionaryKeyNameWithPropertyName:",
                &VnInfoBase::_dictionaryKeyNameWithPropertyName)
        .method("_propertyNameByDictionaryKeyName:", &VnInfoBase::_propertyNameByDictionaryKeyName)
        .method("coreSerializationExcludedPropertyNames",
                &VnInfoBase::coreSerializationExcludedPropertyNames);
})

VnInfoBase::VnInfoBase() = default;
VnInfoBase::~VnInfoBase() = default;

void VnInfoBase::initWithDictionary(const Ref<plat::Dictionary>& dictionary) {
    _beforeLoadingFromDictionary();
    if (!dictionary)
        return;
    VnInfoBaseSerializationHelper::loadInfo(*this, *dictionary);
    // Kept before the last hook, which may share what the copy holds already. A dictionary read
    // from a text that the reader kept is kept as its values' texts: one pass, nothing decoded.
    const auto* decoded = JKDictionary::of(dictionary.get());
    if (decoded && !decoded->sourceText().empty())
        persistentDictionary_ = VndReceivedDictionary::make(*decoded, &getClass());
    if (!persistentDictionary_)
        persistentDictionary_ = VndLoadedDictionary::make(*this, dictionary);
    additionalLoadFromDictionary(dictionary);
}

void VnInfoBase::initWithJSONString(std::string_view json) {
    auto dictionary = objectFromJSONString(json).dictionary();
    initWithDictionary(dictionary ? dictionary : plat::makeDictionary({}));
}

Ref<VnInfoBase> VnInfoBase::recordOfClass(const plat::Class& cls,
                                          const Ref<plat::Dictionary>& dictionary) {
    PLAT_PARAMETER_ASSERT(cls.isSubclassOf(VnInfoBase::classObject()));
    // The class is a record class: what it makes is one.
    auto object = cls.make();
    PLAT_PARAMETER_ASSERT(object && object->getClass().isSubclassOf(VnInfoBase::classObject()));
    auto record = std::static_pointer_cast<VnInfoBase>(std::move(object));
    record->initWithDictionary(dictionary);
    return record;
}

Ref<plat::MutableArray> VnInfoBase::arrayFromDictionaryArray(const plat::Class& cls,
                                                             const plat::Array& list) {
    auto out = plat::MutableArray::make();
    list.enumerate([&](const plat::Value& element) {
        if (auto d = element.dictionary())
            out->addObject(plat::Value(recordOfClass(cls, d)));
        return true;
    });
    return out;
}

std::shared_ptr<const plat::DateFormatter> VnInfoBase::sharedWriteFormatter() {
    static const auto formatter =
        std::make_shared<const plat::DateFormatter>("dd/MM/yyyy HH:mm:ss", plat::TimeZone::utc());
    return formatter;
}

std::optional<plat::Date> VnInfoBase::dateFromShortStyleString(std::string_view text) {
    // The whole text must match: a partial match has no defined fields.
    return sharedWriteFormatter()->dateFromString(text);
}

plat::Value VnInfoBase::proxyForJson() {
    if (auto held = proxyDictionary_.lock())
        return plat::Value(std::move(held));
    // Made apart from its count, so that the view's memory goes with the last holder rather
    // than with the record's weak reference.
    Ref<VndObjectProxyDictionary> view(
        std::make_unique<VndObjectProxyDictionary>(self<VnInfoBase>(), sharedWriteFormatter()));
    view->setPersistentDictionary(persistentDictionary_);
    proxyDictionary_ = view;
    return plat::Value(std::move(view));
}

std::string VnInfoBase::description() const {
    return descriptionByProperties(*this);
}

void VnInfoBase::setPropertyValue(const plat::Value& value, const std::string& name) {
    try {
        plat::setValueForKey(*this, value, name);
    } catch (const plat::Exception& e) {
        VND_TRACE("Warning", "%s: %s not loaded: %s", className().c_str(), name.c_str(),
                  e.reason().c_str());
    }
}

void VnInfoBase::setSerializedValue(const plat::Value& value, const std::string& key) {
    if (value.isNull()) {
        setPropertyValue(plat::Value(), key);
        return;
    }
    plat::Value converted = value;
    const auto property = getClass().findProperty(key);
    const std::string type = property ? property->typeEncoding : std::string();
    if (type == "@\"NSDate\"") {
        std::optional<plat::Date> date;
        if (const std::string* s = value.string())
            date = dateFromString(*s);
        converted = date ? plat::Value(*date) : plat::Value();
    } else if (type == "@\"NSArray\"") {
        if (const plat::Class* elementClass = _classForPropertyDeserialization(key)) {
            if (auto list = value.array()) {
                auto records = plat::MutableArray::make();
                list->enumerate([&](const plat::Value& element) {
                    records->addObject(
                        plat::Value(recordOfClass(*elementClass, element.dictionary())));
                    return true;
                });
                converted = plat::Value(records);
            }
        }
    } else if (auto d = value.dictionary();
               d && property && property->objectClassName.starts_with("Vn")) {
        if (const plat::Class* cls = property->objectClass()) {
            converted = plat::Value(recordOfClass(*cls, d));
        }
    }
    setPropertyValue(converted, key);
}

plat::Value VnInfoBase::serializedValueForPropertyName(const std::string& name) const {
    return serializedValueForProperty(name, serializedProperty(name), false);
}

const plat::PropertyEntry* VnInfoBase::serializedProperty(const std::string& name) const {
    return VnInfoBaseSerializationHelper::helperFor(*this).readableProperty(name);
}

plat::Value VnInfoBase::serializedValueForProperty(const std::string& name,
                                                   const plat::PropertyEntry* property,
                                                   bool transient) const {
    if (!property)
        return plat::valueForKey(*this, name);
    if (transient && property->borrow)
        return property->borrow(*this);
    return property->getter ? property->getter(*this) : plat::Value();
}

const plat::Class* VnInfoBase::_classForPropertyDeserialization(const std::string&) const {
    return nullptr;
}

std::string VnInfoBase::_dictionaryKeyNameWithPropertyName(const std::string& name) const {
    return VnInfoBaseSerializationHelper::defaultKeyForPropertyName(name);
}

std::string VnInfoBase::_propertyNameByDictionaryKeyName(const std::string& key) const {
    // The class's own table maps keys back to properties, so that capitalised property names
    // ("Id", "Title") and names like "eBook" find their property again.
    if (auto name = VnInfoBaseSerializationHelper::helperFor(*this).propertyNameForKey(key)) {
        return *name;
    }
    if (key.size() >= 2 && std::isupper(static_cast<unsigned char>(key[0])) &&
        std::islower(static_cast<unsigned char>(key[1]))) {
        std::string name = key;
        name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
        return name;
    }
    return key;
}

std::string nameSortingToken(std::string_view text) {
    if (text.empty())
        return std::string();
    // The first UTF-16 unit: a code point above U+FFFF starts with a surrogate, far above 255.
    const auto lead = static_cast<unsigned char>(text[0]);
    uint32_t first = lead;
    if (lead >= 0x80) {
        first = 0x10000;  // any multi-byte sequence that is not Latin-1 counts as "other"
        if ((lead & 0xE0) == 0xC0 && text.size() >= 2) {
            first = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(text[1]) & 0x3Fu);
        }
    }
    return std::string(first >= 65 && first <= 255 ? "9" : "0") + std::string(text);
}
