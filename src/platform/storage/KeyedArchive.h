#pragma once
// Keyed archives: a self-describing envelope around an XML property list. The root is a
// property-list value (dictionaries, arrays, strings, numbers, booleans, data, dates) or an
// object that codes itself (plat::Coding): its class name is stored with its keyed values, and
// unarchiving makes it again through the class registry. Unarchiving anything that is not such
// an archive (or names a class that is not registered or does not code itself) answers nil,
// never an exception.
#include <optional>
#include <span>
#include <string_view>

#include "platform/core/Collections.h"
#include "platform/core/Value.h"

namespace plat {

// The keyed values of one object, while it is written (encode*) or read (decode*).
class KeyedCoder {
  public:
    KeyedCoder();
    explicit KeyedCoder(Ref<Dictionary> values, int depth = 0);

    // A property-list value (nil is not stored).
    void encodeObject(const Value& value, std::string_view key);
    // An object that codes itself (anything else is not stored).
    void encodeCodable(const Ref<Object>& object, std::string_view key);
    void encodeInt64(int64_t value, std::string_view key);
    void encodeBool(bool value, std::string_view key);

    bool containsValueForKey(std::string_view key) const;
    Value decodeObjectForKey(std::string_view key) const;
    // The object stored by encodeCodable; null when missing or not decodable.
    Ref<Object> decodeCodableForKey(std::string_view key) const;
    int64_t decodeInt64ForKey(std::string_view key) const;
    bool decodeBoolForKey(std::string_view key) const;

    Ref<Dictionary> values() const { return values_; }

    // The stored form of an object that codes itself, and the object made again from it.
    static Value encodedForm(const Ref<Object>& object);
    static Ref<Object> objectFromEncodedForm(const Value& form, int depth = 0);

  private:
    Ref<MutableDictionary> values_;
    int depth_ = 0;
};

// Objects that can be archived. A class that adopts it is registered (PLAT_DEFINE_CLASS) and
// can be made by name.
class Coding {
  public:
    virtual ~Coding() = default;
    virtual void encodeWithCoder(KeyedCoder& coder) const = 0;
    // Fills a new instance from the values; false when they do not describe one.
    virtual bool initWithCoder(const KeyedCoder& coder) = 0;
};

class KeyedArchiver {
  public:
    // The archive of the value; nothing when the value is nil, or neither a property list nor
    // an object that codes itself.
    static std::optional<Bytes> archivedDataWithRootObject(const Value& root);
};

class KeyedUnarchiver {
  public:
    // The archived value or object; nil for data that is not a well-formed archive.
    static Value unarchiveObjectWithData(std::span<const uint8_t> data);
};

}  // namespace plat
