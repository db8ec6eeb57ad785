#include "platform/core/Value.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>

#include "platform/core/Collections.h"
#include "platform/core/Log.h"

namespace plat {

// ---- Number -------------------------------------------------------------------------------------

Number Number::fromInt64(int64_t v, char type) {
    Number n;
    n.type_ = type;
    n.v_.i = v;
    return n;
}

Number Number::fromUInt64(uint64_t v, char type) {
    Number n;
    n.type_ = type;
    n.v_.u = v;
    return n;
}

Number Number::fromDouble(double v, char type) {
    Number n;
    n.type_ = type;
    n.v_.d = type == 'f' ? static_cast<double>(static_cast<float>(v)) : v;
    return n;
}

bool Number::isUnsigned() const {
    return type_ == 'C' || type_ == 'S' || type_ == 'I' || type_ == 'L' || type_ == 'Q';
}

int64_t Number::int64Value() const {
    if (isFloatingPoint()) {
        const double d = v_.d;
        if (std::isnan(d))
            return 0;
        if (d >= 9.2233720368547758e18)
            return INT64_MAX;
        if (d <= -9.2233720368547758e18)
            return INT64_MIN;
        return static_cast<int64_t>(d);
    }
    return v_.i;  // unsigned values reinterpret, as the platform does
}

uint64_t Number::uint64Value() const {
    if (isFloatingPoint()) {
        const double d = v_.d;
        if (std::isnan(d) || d <= 0)
            return 0;  // saturates, like int64Value()
        if (d >= 1.8446744073709552e19)
            return UINT64_MAX;
        return static_cast<uint64_t>(d);
    }
    return v_.u;
}

double Number::doubleValue() const {
    if (isFloatingPoint())
        return v_.d;
    if (isUnsigned())
        return static_cast<double>(v_.u);
    return static_cast<double>(v_.i);
}

bool Number::boolValue() const {
    if (isFloatingPoint())
        return v_.d != 0.0;
    return v_.i != 0;
}

std::string Number::stringValue() const {
    char buf[64];
    if (isFloatingPoint()) {
        const double d = v_.d;
        if (std::isnan(d))
            return "nan";
        if (std::isinf(d))
            return d < 0 ? "-inf" : "inf";
        if (d == std::floor(d) && std::fabs(d) < 1e15) {
            return std::to_string(static_cast<long long>(d));
        }
        auto r = type_ == 'f' ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(d))
                              : std::to_chars(buf, buf + sizeof buf, d);
        return std::string(buf, r.ptr);
    }
    auto r = isUnsigned() ? std::to_chars(buf, buf + sizeof buf, v_.u)
                          : std::to_chars(buf, buf + sizeof buf, v_.i);
    return std::string(buf, r.ptr);
}

int Number::compare(const Number& other) const {
    const bool af = isFloatingPoint(), bf = other.isFloatingPoint();
    if (af || bf) {
        const double a = doubleValue(), b = other.doubleValue();
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    const bool au = isUnsigned() && v_.i < 0, bu = other.isUnsigned() && other.v_.i < 0;
    if (au || bu) {  // at least one is above the signed range
        if (au && bu)
            return v_.u < other.v_.u ? -1 : (v_.u > other.v_.u ? 1 : 0);
        return au ? 1 : -1;
    }
    return v_.i < other.v_.i ? -1 : (v_.i > other.v_.i ? 1 : 0);
}

bool Number::equals(const Number& other) const {
    return compare(other) == 0;
}

size_t Number::hash() const {
    if (isFloatingPoint()) {
        const double d = v_.d;
        if (d == std::floor(d) && std::fabs(d) < 9e18) {
            return std::hash<int64_t>()(static_cast<int64_t>(d));
        }
        return std::hash<double>()(d);
    }
    return std::hash<int64_t>()(v_.i);
}

// ---- Decimal ------------------------------------------------------------------------------------

std::string Decimal::stringValue() const {
    std::string out = negative ? "-" : "";
    const std::string& d = digits.empty() ? std::string("0") : digits;
    if (exponent >= 0) {
        out += d;
        if (d != "0")
            out.append(static_cast<size_t>(exponent), '0');
        return out;
    }
    const size_t frac = static_cast<size_t>(-exponent);
    if (d.size() > frac) {
        out += d.substr(0, d.size() - frac) + "." + d.substr(d.size() - frac);
    } else {
        out += "0." + std::string(frac - d.size(), '0') + d;
    }
    return out;
}

std::optional<Decimal> Decimal::fromString(std::string_view text) {
    size_t i = 0;
    Decimal d;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        d.negative = text[i++] == '-';
    std::string digits;
    int64_t exponent = 0;
    bool anyDigit = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        digits += text[i];
        anyDigit = true;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            digits += text[i];
            --exponent;
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            negativeExponent = text[j++] == '-';
        int64_t value = 0;
        bool expDigits = false;
        for (; j < text.size() && text[j] >= '0' && text[j] <= '9'; ++j) {
            expDigits = true;
            if (value <= 4 * int64_t{kMaxExponent})
                value = value * 10 + (text[j] - '0');
        }
        if (expDigits)
            exponent += negativeExponent ? -value : value;
    }
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        d.digits = "0";
        d.exponent = 0;
        return d;  // zero keeps its sign, as "-0.0" reads
    }
    digits.erase(0, first);
    const size_t last = digits.find_last_not_of('0');
    exponent += static_cast<int64_t>(digits.size() - 1 - last);
    digits.erase(last + 1);
    if (exponent > kMaxExponent || exponent < -kMaxExponent - static_cast<int64_t>(digits.size()))
        return std::nullopt;
    d.digits = std::move(digits);
    d.exponent = static_cast<int>(exponent);
    return d;
}

double Decimal::doubleValue() const {
    return std::strtod(stringValue().c_str(), nullptr);
}

// ---- Date ---------------------------------------------------------------------------------------

Date Date::now() {
    using namespace std::chrono;
    return Date{duration<double>(system_clock::now().time_since_epoch()).count()};
}

// ---- Value --------------------------------------------------------------------------------------

Value::Value(std::string s)
    : Value(Kind::String, std::make_shared<const std::string>(std::move(s))) {}
Value::Value(Bytes bytes) : Value(Kind::Data, std::make_shared<const Bytes>(std::move(bytes))) {}

std::shared_ptr<const void> Value::documentRef() const noexcept {
    return std::shared_ptr<const void>(doc_.owner->shared_from_this(), doc_.payload);
}

Value Value::null() {
    Value v;
    v.kind_ = Kind::Null;
    return v;
}

Value Value::boolean(bool b) {
    Value v;
    v.scalar_.boolean = b;  // the other bytes stay as the default constructor set them
    v.kind_ = Kind::Bool;
    return v;
}

Value Value::fromObject(Ref<Object> object) {
    if (!object)
        return Value();
    switch (object->collectionKind()) {
        case Object::CollectionKind::Array:
            return Value(Kind::Array, std::static_pointer_cast<Array>(std::move(object)));
        case Object::CollectionKind::Dictionary:
            return Value(Kind::Dictionary, std::static_pointer_cast<Dictionary>(std::move(object)));
        case Object::CollectionKind::None:
            break;
    }
    return Value(Kind::Object, std::move(object));
}

const std::string* Value::string() const {
    if (kind_ == Kind::String && (flags_ & kDocumentText))
        return &static_cast<const DocumentText*>(payload())->string();
    return sharedAs<std::string>(Kind::String);
}

std::string Value::stringOr(std::string fallback) const {
    if (kind_ != Kind::String)
        return fallback;
    return std::string(stringView());
}

const Number* Value::number() const {
    return kind_ == Kind::Number ? &scalar_.number : nullptr;
}

const Decimal* Value::decimal() const {
    return sharedAs<Decimal>(Kind::Decimal);
}

const Bytes* Value::bytes() const {
    return sharedAs<Bytes>(Kind::Data);
}

const Date* Value::date() const {
    return kind_ == Kind::Date ? &scalar_.date : nullptr;
}

Ref<Array> Value::array() const {
    return refAs<Array>(Kind::Array);
}

Ref<Dictionary> Value::dictionary() const {
    return refAs<Dictionary>(Kind::Dictionary);
}

Ref<Object> Value::object() const {
    switch (kind_) {
        case Kind::Array:
            return refAs<Array>(Kind::Array);
        case Kind::Dictionary:
            return refAs<Dictionary>(Kind::Dictionary);
        case Kind::Object:
            return refAs<Object>(Kind::Object);
        default:
            return nullptr;
    }
}

bool Value::boolValue() const {
    if (const bool* b = kind_ == Kind::Bool ? &scalar_.boolean : nullptr)
        return *b;
    if (auto* n = number())
        return n->boolValue();
    if (auto* d = decimal())
        return d->doubleValue() != 0;
    if (isString()) {
        // NSString boolValue: leading whitespace, then Y/y/T/t or a non-zero digit.
        for (char c : stringView()) {
            if (c == ' ' || c == '\t' || c == '\n')
                continue;
            if (c == 'Y' || c == 'y' || c == 'T' || c == 't')
                return true;
            if (c == '+' || c == '-' || c == '0')
                continue;
            return c >= '1' && c <= '9';
        }
    }
    return false;
}

int64_t Value::int64Value() const {
    if (const bool* b = kind_ == Kind::Bool ? &scalar_.boolean : nullptr)
        return *b ? 1 : 0;
    if (auto* n = number())
        return n->int64Value();
    if (auto* d = decimal())
        return Number::fromDouble(d->doubleValue()).int64Value();
    if (isString())  // every string's bytes end in a NUL
        return std::strtoll(stringView().data(), nullptr, 10);
    return 0;
}

double Value::doubleValue() const {
    if (const bool* b = kind_ == Kind::Bool ? &scalar_.boolean : nullptr)
        return *b ? 1 : 0;
    if (auto* n = number())
        return n->doubleValue();
    if (auto* d = decimal())
        return d->doubleValue();
    if (isString())
        return std::strtod(stringView().data(), nullptr);
    if (auto* d = date())
        return d->seconds;
    return 0;
}

std::string Value::description() const {
    switch (kind()) {
        case Kind::Nil:
            return "(null)";
        case Kind::Null:
            return "<null>";
        case Kind::Bool:
            return scalar_.boolean ? "1" : "0";
        case Kind::Number:
            return number()->stringValue();
        case Kind::Decimal:
            return decimal()->stringValue();
        case Kind::String:
            return std::string(stringView());
        case Kind::Data:
            return format("<%zu bytes>", bytes()->size());
        case Kind::Date:
            return format("%.3f", date()->seconds);
        default:
            return object()->description();
    }
}

bool Value::equals(const Value& other) const {
    const Kind a = kind(), b = other.kind();
    auto asNumber = [](const Value& v) -> std::optional<Number> {
        if (auto* n = v.number())
            return *n;
        if (v.kind_ == Kind::Bool)
            return Number::fromChar(v.scalar_.boolean ? 1 : 0);
        return std::nullopt;
    };
    if ((a == Kind::Number || a == Kind::Bool) && (b == Kind::Number || b == Kind::Bool)) {
        return asNumber(*this)->equals(*asNumber(other));
    }
    if (a == Kind::Decimal || b == Kind::Decimal) {
        if (a == Kind::Decimal && b == Kind::Decimal)
            return *decimal() == *other.decimal();
        if ((a == Kind::Number || a == Kind::Decimal) && (b == Kind::Number || b == Kind::Decimal))
            return doubleValue() == other.doubleValue();
        return false;
    }
    if (a != b)
        return false;
    switch (a) {
        case Kind::Nil:
        case Kind::Null:
            return true;
        case Kind::String:
            return stringView() == other.stringView();
        case Kind::Data:
            return *bytes() == *other.bytes();
        case Kind::Date:
            return *date() == *other.date();
        case Kind::Array: {
            auto x = array(), y = other.array();
            if (x == y)
                return true;
            if (x->count() != y->count())
                return false;
            for (size_t i = 0; i < x->count(); ++i) {
                if (!x->objectAtIndex(i).equals(y->objectAtIndex(i)))
                    return false;
            }
            return true;
        }
        case Kind::Dictionary: {
            auto x = dictionary(), y = other.dictionary();
            if (x == y)
                return true;
            if (x->count() != y->count())
                return false;
            bool same = true;
            x->enumerateKeysAndObjects([&](const Value& k, const Value& v) {
                same = y->objectForKey(k).equals(v);
                return same;
            });
            return same;
        }
        case Kind::Object:
            return object() == other.object();
        default:
            return false;
    }
}

size_t Value::hash() const {
    switch (kind()) {
        case Kind::Nil:
            return 0;
        case Kind::Null:
            return 1;
        case Kind::Bool:
            return std::hash<int64_t>()(scalar_.boolean ? 1 : 0);
        case Kind::Number:
            return number()->hash();
        case Kind::Decimal:
            return std::hash<double>()(decimal()->doubleValue());
        case Kind::String:
            return std::hash<std::string_view>()(stringView());
        case Kind::Data:
            return bytes()->size();
        case Kind::Date:
            return std::hash<double>()(date()->seconds);
        case Kind::Array:
            return array()->count();
        case Kind::Dictionary:
            return dictionary()->count();
        case Kind::Object:
            return std::hash<const void*>()(object().get());
    }
    return 0;
}

bool Value::identical(const Value& other) const {
    if (kind() != other.kind())
        return false;
    switch (kind()) {
        case Kind::Bool:
        case Kind::Nil:
        case Kind::Null:
            return equals(other);
        case Kind::Number:
            return number()->type() == other.number()->type() && equals(other);
        case Kind::Date:
            return *date() == *other.date();
        case Kind::Decimal:
            return decimal() == other.decimal();
        case Kind::String:
            return payload() == other.payload();
        case Kind::Data:
            return bytes() == other.bytes();
        default:
            return object() == other.object();
    }
}

}  // namespace plat
