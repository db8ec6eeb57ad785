#pragma once
// plat::Value: the dynamically typed value of the system (the "id" of the services' data):
// nothing (nil), the null object, the two shared booleans, numbers that keep their type code,
// decimal numbers, strings (UTF-8), data, dates, arrays, dictionaries and object references.
// Values are cheap to copy; strings and data are shared and immutable.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/core/Object.h"

namespace plat {

class Array;
class Dictionary;

using Bytes = std::vector<uint8_t>;

// A number with the platform's storage type code: 'c' char/BOOL, 's', 'i', 'l', 'q' signed;
// 'C', 'S', 'I', 'L', 'Q' unsigned; 'f' float, 'd' double.
class Number {
  public:
    constexpr Number() = default;
    static Number fromInt64(int64_t v, char type = 'q');
    static Number fromUInt64(uint64_t v, char type = 'Q');
    static Number fromDouble(double v, char type = 'd');
    static Number fromChar(int8_t v) { return fromInt64(v, 'c'); }

    char type() const { return type_; }
    bool isFloatingPoint() const { return type_ == 'f' || type_ == 'd'; }
    bool isUnsigned() const;

    int64_t int64Value() const;
    uint64_t uint64Value() const;
    int32_t intValue() const { return static_cast<int32_t>(int64Value()); }
    double doubleValue() const;
    bool boolValue() const;

    // Decimal text for integers; the shortest text that reads back the same for floating values.
    std::string stringValue() const;

    // Value equality across types (1 == 1.0 == true).
    bool equals(const Number& other) const;
    int compare(const Number& other) const;
    size_t hash() const;

  private:
    char type_ = 'i';
    union {
        int64_t i;
        uint64_t u;
        double d;
    } v_{0};
};

// A decimal number: sign, mantissa digits and a power-of-ten exponent.
struct Decimal {
    bool negative = false;
    std::string digits;  // no leading zeros except for zero itself ("0")
    int exponent = 0;
    std::string stringValue() const;
    double doubleValue() const;
    bool operator==(const Decimal&) const = default;
};

// An instant: seconds since 1970-01-01 00:00:00 UTC.
struct Date {
    double seconds = 0;
    static Date now();
    bool operator==(const Date&) const = default;
    auto operator<=>(const Date&) const = default;
};

class Value {
  public:
    enum class Kind {
        Nil,
        Null,
        Bool,
        Number,
        Decimal,
        String,
        Data,
        Date,
        Array,
        Dictionary,
        Object
    };

    Value() = default;  // nil: "nothing"
    Value(std::nullptr_t) {}
    Value(const char* s) : Value(std::string(s)) {}
    Value(std::string s);
    Value(std::string_view s) : Value(std::string(s)) {}
    Value(Number n) : v_(n) {}
    Value(Decimal d) : v_(std::make_shared<const Decimal>(std::move(d))) {}
    Value(Date d) : v_(d) {}
    Value(Bytes bytes);
    Value(int32_t i) : v_(Number::fromInt64(i, 'i')) {}
    Value(int64_t i) : v_(Number::fromInt64(i, 'q')) {}
    Value(uint64_t u) : v_(Number::fromUInt64(u, 'Q')) {}
    Value(double d) : v_(Number::fromDouble(d, 'd')) {}
    Value(bool) = delete;  // use Value::boolean or Number::fromChar
    template <class T>
    requires std::is_base_of_v<Object, T> Value(const Ref<T>& object)
        : Value(fromObject(std::static_pointer_cast<Object>(
              std::const_pointer_cast<std::remove_cv_t<T>>(object)))) {}

    static Value null();
    static Value boolean(bool b);  // one of the two shared booleans
    static Value data(Bytes bytes) { return Value(std::move(bytes)); }
    static Value fromObject(Ref<Object> object);  // picks Array/Dictionary/Object by class

    Kind kind() const { return static_cast<Kind>(v_.index()); }
    bool isNil() const { return kind() == Kind::Nil; }
    bool isNull() const { return kind() == Kind::Null; }
    bool isNilOrNull() const { return isNil() || isNull(); }
    bool isBool() const { return kind() == Kind::Bool; }
    bool isNumber() const { return kind() == Kind::Number; }
    bool isString() const { return kind() == Kind::String; }
    bool isArray() const { return kind() == Kind::Array; }
    bool isDictionary() const { return kind() == Kind::Dictionary; }
    bool isObject() const { return kind() == Kind::Object; }
    explicit operator bool() const { return !isNil(); }

    // Typed access; null pointers / defaults when the kind differs.
    const std::string* string() const;
    std::string stringOr(std::string fallback = {}) const;
    const Number* number() const;
    const Decimal* decimal() const;
    const Bytes* bytes() const;
    const Date* date() const;
    Ref<Array> array() const;
    Ref<Dictionary> dictionary() const;
    // The object for Array, Dictionary and Object kinds.
    Ref<Object> object() const;
    template <class T>
    Ref<T> as() const {
        return std::dynamic_pointer_cast<T>(object());
    }
    bool boolValue() const;  // the shared booleans and numbers; false otherwise

    // Numeric reading of numbers, booleans and numeric strings (as NSString's intValue etc.).
    int64_t int64Value() const;
    int32_t intValue() const { return static_cast<int32_t>(int64Value()); }
    double doubleValue() const;

    // The text of "%@": strings as they are, numbers as Number::stringValue, null "<null>".
    std::string description() const;

    // Value equality (isEqual:): numbers across types and booleans, strings by text, containers
    // element-wise, objects by identity.
    bool equals(const Value& other) const;
    friend bool operator==(const Value& a, const Value& b) { return a.equals(b); }
    size_t hash() const;
    // Same value in the same storage (identity for objects and shared payloads).
    bool identical(const Value& other) const;

  private:
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    using Storage =
        std::variant<std::monostate, NullTag, bool, Number, std::shared_ptr<const Decimal>,
                     std::shared_ptr<const std::string>, std::shared_ptr<const Bytes>, Date,
                     Ref<Array>, Ref<Dictionary>, Ref<Object>>;
    Storage v_;
};

}  // namespace plat

template <>
struct std::hash<plat::Value> {
    size_t operator()(const plat::Value& v) const noexcept { return v.hash(); }
};
