#pragma once
// plat::Value: the dynamically typed value of the system (the "id" of the services' data):
// nothing (nil), the null object, the two shared booleans, numbers that keep their type code,
// decimal numbers, strings (UTF-8), data, dates, arrays, dictionaries and object references.
// Values are cheap to copy; strings and data are shared and immutable.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Object.h"

namespace plat {

class Array;
class Dictionary;
class DocumentStrings;

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
    // The decimal of the longest number at the start of the text ("[+-]digits[.digits][e[+-]
    // digits]", at least one digit, "-.5" and "1." included), normalised (no trailing zeros in
    // the digits; zero has exponent 0); nothing when no digit leads or the exponent lies beyond
    // kMaxExponent either way.
    static std::optional<Decimal> fromString(std::string_view text);
    static constexpr int kMaxExponent = 10000;
};

// An instant: seconds since 1970-01-01 00:00:00 UTC.
struct Date {
    double seconds = 0;
    static Date now();
    bool operator==(const Date&) const = default;
    auto operator<=>(const Date&) const = default;
};

// The text of a string kept in a document's storage: this header, then its bytes and a NUL. It
// is made in place and never destroyed by itself (the document's storage goes as a whole). A
// std::string of the text is made only when someone asks for one (Value::string()); the
// DocumentStrings named at the making keeps it, so it lives as long as the document.
class DocumentText {
  public:
    // The bytes that a text of n bytes takes, and their alignment.
    static constexpr size_t storageSize(size_t n) { return sizeof(DocumentText) + n + 1; }
    static constexpr size_t storageAlignment = alignof(uintptr_t);
    // Makes a text of the n bytes at `bytes` in `storage` (storageSize(n) bytes, aligned).
    static const DocumentText& make(void* storage, const char* bytes, size_t n,
                                    DocumentStrings& strings) noexcept;
    DocumentText(const DocumentText&) = delete;
    DocumentText& operator=(const DocumentText&) = delete;

    size_t size() const noexcept { return size_; }
    const char* data() const noexcept { return reinterpret_cast<const char*>(this + 1); }
    std::string_view view() const noexcept { return {data(), size_}; }
    // The text as a std::string, made on the first call; any thread may ask.
    const std::string& string() const;

  private:
    friend class DocumentStrings;
    DocumentText(size_t n, DocumentStrings& strings) noexcept;

    // The string once made (an even address); until then the address of the DocumentStrings
    // with bit 0 set. Read and written atomically.
    mutable uintptr_t state_;
    size_t size_;
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

    Value() noexcept : scalar_() {}  // nil: "nothing"
    Value(std::nullptr_t) noexcept : scalar_() {}
    Value(const char* s) : Value(std::string(s)) {}
    Value(std::string s);
    Value(std::string_view s) : Value(std::string(s)) {}
    Value(Number n) noexcept : scalar_(n), kind_(Kind::Number) {}
    Value(Decimal d) : Value(Kind::Decimal, std::make_shared<const Decimal>(std::move(d))) {}
    Value(Date d) noexcept : scalar_(d), kind_(Kind::Date) {}
    Value(Bytes bytes);
    Value(int32_t i) noexcept : Value(Number::fromInt64(i, 'i')) {}
    Value(int64_t i) noexcept : Value(Number::fromInt64(i, 'q')) {}
    Value(uint64_t u) noexcept : Value(Number::fromUInt64(u, 'Q')) {}
    Value(double d) noexcept : Value(Number::fromDouble(d, 'd')) {}
    Value(bool) = delete;  // use Value::boolean or Number::fromChar
    template <class T>
    requires std::is_base_of_v<Object, T> Value(const Ref<T>& object)
        : Value(fromObject(std::static_pointer_cast<Object>(
              std::const_pointer_cast<std::remove_cv_t<T>>(object)))) {}
    // An array or a dictionary whose kind is known without asking the object's class; nil for
    // a null reference.
    Value(Ref<Array> array) noexcept : Value(Kind::Array, std::move(array)) {}
    Value(Ref<Dictionary> dictionary) noexcept : Value(Kind::Dictionary, std::move(dictionary)) {}
    // A string value holding this shared string (nil for a null one): values made from the same
    // shared string are identical().
    static Value sharedString(std::shared_ptr<const std::string> string) noexcept {
        return Value(Kind::String, std::move(string));
    }
    // The same, for a text that is known to be well-formed UTF-8 (see hasCheckedUTF8()).
    static Value sharedString(std::shared_ptr<const std::string> string,
                              bool checkedUTF8) noexcept {
        Value v(Kind::String, std::move(string));
        if (checkedUTF8 && v.kind_ == Kind::String)
            v.flags_ |= kCheckedUTF8;
        return v;
    }

    // A value whose payload lives inside a document: `owner` keeps the payload alive and frees
    // all of a document's parts together, so this value holds no count of its own. Only storage
    // that the owner keeps (the document's own containers) may hold such a value; any copy of it
    // counts a reference to the owner instead, so that a value taken out of a document keeps the
    // whole document alive. The owner must be held by a shared pointer.
    static Value inDocument(const std::string& string, const Object& owner,
                            bool checkedUTF8) noexcept {
        Value v = inDocument(Kind::String, &string, owner);
        if (checkedUTF8)
            v.flags_ |= kCheckedUTF8;
        return v;
    }
    // The same for a text in a document's storage: its std::string is made only when string()
    // asks for it, stringView() reads the bytes in place.
    static Value inDocument(const DocumentText& text, const Object& owner,
                            bool checkedUTF8) noexcept {
        Value v = inDocument(Kind::String, &text, owner);
        v.flags_ |= checkedUTF8 ? kDocumentText | kCheckedUTF8 : kDocumentText;
        return v;
    }
    static Value inDocument(const Array& array, const Object& owner) noexcept {
        return inDocument(Kind::Array, &array, owner);
    }
    static Value inDocument(const Dictionary& dictionary, const Object& owner) noexcept {
        return inDocument(Kind::Dictionary, &dictionary, owner);
    }

    // GCC 12 at -O3 says "writing 1 byte into a region of size 0" here (-Wstringop-overflow)
    // when a vector of values made from a list grows: its range analysis of the inlined
    // reallocation reaches a slot past the new storage on a path that cannot run (a known false
    // positive of that release, switched off for it in CMakeLists.txt). Nothing is written out
    // of bounds: AddressSanitizer runs over the same code.
    Value(const Value& other) noexcept
        : kind_(other.kind_), flags_(static_cast<uint8_t>(other.flags_ & ~kInDocument)) {
        constructFrom(other);
    }
    Value(Value&& other) noexcept : kind_(other.kind_), flags_(other.flags_) {
        constructFrom(std::move(other));
    }
    Value& operator=(const Value& other) noexcept {
        if (this != &other)
            *this = Value(other);
        return *this;
    }
    // The other value is nil afterwards.
    Value& operator=(Value&& other) noexcept {
        if (this == &other)
            return *this;
        // Take the other payload before releasing ours: the other value may live inside an
        // object that only this value keeps alive.
        Value taken(std::move(other));
        destroy();
        kind_ = taken.kind_;
        flags_ = taken.flags_;
        constructFrom(std::move(taken));
        return *this;
    }
    ~Value() { destroy(); }

    static Value null();
    static Value boolean(bool b);  // one of the two shared booleans
    static Value data(Bytes bytes) { return Value(std::move(bytes)); }
    static Value fromObject(Ref<Object> object);  // picks Array/Dictionary/Object by class

    Kind kind() const { return kind_; }
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
    // A string's text without making or copying a std::string (empty for other kinds): valid
    // while this value is. Prefer it to string() for reading.
    std::string_view stringView() const noexcept {
        if (kind_ != Kind::String)
            return {};
        if (flags_ & kDocumentText)
            return static_cast<const DocumentText*>(payload())->view();
        return *static_cast<const std::string*>(payload());
    }
    std::string stringOr(std::string fallback = {}) const;
    const Number* number() const;
    const Decimal* decimal() const;
    const Bytes* bytes() const;
    const Date* date() const;
    Ref<Array> array() const;
    Ref<Dictionary> dictionary() const;
    // The array or dictionary without taking a reference: valid while this value is.
    const Array* arrayPointer() const noexcept { return sharedAs<Array>(Kind::Array); }
    const Dictionary* dictionaryPointer() const noexcept {
        return sharedAs<Dictionary>(Kind::Dictionary);
    }
    // Whether this string's text is known to be well-formed UTF-8 (the JSON reader's strings are).
    bool hasCheckedUTF8() const noexcept {
        return kind_ == Kind::String && (flags_ & kCheckedUTF8);
    }
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
    // Kinds whose payload is a shared object (held in ref_); the others are held in scalar_.
    static constexpr unsigned kSharedKinds =
        1u << static_cast<unsigned>(Kind::Decimal) | 1u << static_cast<unsigned>(Kind::String) |
        1u << static_cast<unsigned>(Kind::Data) | 1u << static_cast<unsigned>(Kind::Array) |
        1u << static_cast<unsigned>(Kind::Dictionary) | 1u << static_cast<unsigned>(Kind::Object);
    static constexpr bool isShared(Kind k) {
        return (kSharedKinds >> static_cast<unsigned>(k)) & 1u;
    }
    // flags_: the payload lives in a document (held in doc_, not ref_); a string's text is
    // well-formed UTF-8; a string's payload is a DocumentText rather than a std::string.
    static constexpr uint8_t kInDocument = 1;
    static constexpr uint8_t kCheckedUTF8 = 2;
    static constexpr uint8_t kDocumentText = 4;
    static Value inDocument(Kind kind, const void* payload, const Object& owner) noexcept {
        Value v;
        std::construct_at(&v.doc_, InDocument{payload, &owner});
        v.kind_ = kind;
        v.flags_ = kInDocument;
        return v;
    }
    bool holdsRef() const noexcept { return isShared(kind_) && !(flags_ & kInDocument); }
    const void* payload() const noexcept {
        return (flags_ & kInDocument) ? doc_.payload : ref_.get();
    }
    // A counted reference to a document's payload: the owner's count.
    std::shared_ptr<const void> documentRef() const noexcept;
    // A shared payload of a given kind; nil for a null pointer.
    Value(Kind kind, std::shared_ptr<const void> ref) noexcept {
        if (ref) {
            std::construct_at(&ref_, std::move(ref));
            kind_ = kind;
        } else {
            std::construct_at(&scalar_);
        }
    }
    // Constructs the payload from another value's (kind_ and flags_ are already set). A copy of
    // a document's payload holds a counted reference.
    void constructFrom(const Value& other) noexcept {
        if (isShared(kind_)) {
            if (other.flags_ & kInDocument)
                std::construct_at(&ref_, other.documentRef());
            else
                std::construct_at(&ref_, other.ref_);
        } else {
            std::construct_at(&scalar_, other.scalar_);
        }
    }
    void constructFrom(Value&& other) noexcept {
        if (isShared(kind_)) {
            if (flags_ & kInDocument)
                std::construct_at(&doc_, other.doc_);
            else
                std::construct_at(&ref_, std::move(other.ref_));
            other.reset();
        } else {
            std::construct_at(&scalar_, other.scalar_);
        }
    }
    void destroy() noexcept {
        if (holdsRef())
            std::destroy_at(&ref_);
    }
    // Makes the value nil.
    void reset() noexcept {
        destroy();
        std::construct_at(&scalar_);
        kind_ = Kind::Nil;
        flags_ = 0;
    }
    template <class T>
    const T* sharedAs(Kind k) const noexcept {
        return kind_ == k ? static_cast<const T*>(payload()) : nullptr;
    }
    template <class T>
    Ref<T> refAs(Kind k) const {
        if (kind_ != k)
            return nullptr;
        if (flags_ & kInDocument)
            return std::static_pointer_cast<T>(std::const_pointer_cast<void>(documentRef()));
        return std::static_pointer_cast<T>(std::const_pointer_cast<void>(ref_));
    }

    union Scalar {
        // Every byte is set first, so that a copy of the whole union reads initialized bytes.
        constexpr Scalar() : number() {}
        constexpr Scalar(Number n) : number(n) {}
        constexpr Scalar(Date d) : number() { date = d; }
        bool boolean;
        Number number;
        Date date;
    };
    struct InDocument {
        const void* payload;
        const Object* owner;
    };
    union {
        Scalar scalar_;                    // nil, null, booleans, numbers, dates
        std::shared_ptr<const void> ref_;  // decimals, strings, data, arrays, dictionaries, objects
        InDocument doc_;                   // strings, arrays and dictionaries inside a document
    };
    Kind kind_ = Kind::Nil;
    uint8_t flags_ = 0;
};

}  // namespace plat

template <>
struct std::hash<plat::Value> {
    size_t operator()(const plat::Value& v) const noexcept { return v.hash(); }
};
