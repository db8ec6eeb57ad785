#include "platform/storage/KeyedArchive.h"

#include "platform/core/Object.h"
#include "platform/storage/PropertyList.h"

namespace plat {
namespace {

constexpr const char* kArchiverKey = "$archiver";
constexpr const char* kVersionKey = "$version";
constexpr const char* kTopKey = "$top";
constexpr const char* kRootKey = "root";
constexpr const char* kArchiverName = "VarnelKeyedArchive";
constexpr int64_t kVersion = 1;
// An object is stored as {"$class": name, "$values": {...}}.
constexpr const char* kClassKey = "$class";
constexpr const char* kValuesKey = "$values";
// Objects nested deeper than this are not made again (a hostile archive).
constexpr int kMaxDepth = 64;

Value keyValue(std::string_view key) {
    return Value(std::string(key));
}

}  // namespace

KeyedCoder::KeyedCoder() : values_(MutableDictionary::make()) {}

KeyedCoder::KeyedCoder(Ref<Dictionary> values, int depth)
    : values_(MutableDictionary::make()), depth_(depth) {
    if (values)
        values_->addEntriesFromDictionary(*values);
}

void KeyedCoder::encodeObject(const Value& value, std::string_view key) {
    if (!value.isNil())
        values_->setObject(value, keyValue(key));
}

void KeyedCoder::encodeCodable(const Ref<Object>& object, std::string_view key) {
    encodeObject(encodedForm(object), key);
}

void KeyedCoder::encodeInt64(int64_t value, std::string_view key) {
    values_->setObject(Value(value), keyValue(key));
}

void KeyedCoder::encodeBool(bool value, std::string_view key) {
    values_->setObject(Value::boolean(value), keyValue(key));
}

bool KeyedCoder::containsValueForKey(std::string_view key) const {
    return !values_->objectForKey(keyValue(key)).isNil();
}

Value KeyedCoder::decodeObjectForKey(std::string_view key) const {
    return values_->objectForKey(keyValue(key));
}

Ref<Object> KeyedCoder::decodeCodableForKey(std::string_view key) const {
    return objectFromEncodedForm(decodeObjectForKey(key), depth_ + 1);
}

int64_t KeyedCoder::decodeInt64ForKey(std::string_view key) const {
    const Value value = decodeObjectForKey(key);
    return value.isNumber() ? value.int64Value() : 0;
}

bool KeyedCoder::decodeBoolForKey(std::string_view key) const {
    const Value value = decodeObjectForKey(key);
    return value.boolValue();
}

Value KeyedCoder::encodedForm(const Ref<Object>& object) {
    const auto* coding = dynamic_cast<const Coding*>(object.get());
    if (!coding)
        return Value();
    KeyedCoder coder;
    coding->encodeWithCoder(coder);
    return Value::fromObject(makeDictionary({
        {Value(kClassKey), Value(object->className())},
        {Value(kValuesKey), Value::fromObject(coder.values_)},
    }));
}

Ref<Object> KeyedCoder::objectFromEncodedForm(const Value& form, int depth) {
    const auto dictionary = form.dictionary();
    if (!dictionary || depth > kMaxDepth)
        return nullptr;
    const Value name = dictionary->objectForKey(kClassKey);
    const auto values = dictionary->objectForKey(kValuesKey).dictionary();
    if (!name.string() || !values)
        return nullptr;
    const Class* cls = Class::named(*name.string());
    if (!cls || !cls->canMake())
        return nullptr;
    Ref<Object> object = cls->make();
    auto* coding = dynamic_cast<Coding*>(object.get());
    if (!coding || !coding->initWithCoder(KeyedCoder(values, depth)))
        return nullptr;
    return object;
}

std::optional<Bytes> KeyedArchiver::archivedDataWithRootObject(const Value& root) {
    if (root.isNil())
        return std::nullopt;
    Value stored = root;
    if (const auto object = root.object(); object && dynamic_cast<const Coding*>(object.get())) {
        stored = KeyedCoder::encodedForm(object);
    }
    auto top = makeDictionary({{Value(kRootKey), stored}});
    auto envelope = makeDictionary({
        {Value(kArchiverKey), Value(kArchiverName)},
        {Value(kVersionKey), Value(kVersion)},
        {Value(kTopKey), Value::fromObject(top)},
    });
    return PropertyList::dataWithPropertyList(Value::fromObject(envelope));
}

Value KeyedUnarchiver::unarchiveObjectWithData(std::span<const uint8_t> data) {
    auto envelope = PropertyList::propertyListWithData(data).dictionary();
    if (!envelope)
        return Value();
    const Value archiver = envelope->objectForKey(kArchiverKey);
    const Value version = envelope->objectForKey(kVersionKey);
    if (!archiver.string() || *archiver.string() != kArchiverName || !version.isNumber() ||
        version.int64Value() != kVersion) {
        return Value();
    }
    auto top = envelope->objectForKey(kTopKey).dictionary();
    if (!top)
        return Value();
    const Value root = top->objectForKey(kRootKey);
    const auto dictionary = root.dictionary();
    if (dictionary && !dictionary->objectForKey(kClassKey).isNil() &&
        !dictionary->objectForKey(kValuesKey).isNil()) {
        const auto object = KeyedCoder::objectFromEncodedForm(root);
        return object ? Value::fromObject(object) : Value();
    }
    return root;
}

}  // namespace plat
