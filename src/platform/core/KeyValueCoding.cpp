#include "platform/core/KeyValueCoding.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/core/Property.h"

namespace plat {
namespace {

[[noreturn]] void undefinedKey(const std::string& className, const char* method,
                               std::string_view key) {
    raise(NSUnknownKeyException,
          "[<" + className + "> " + method +
              "]: this class is not key value coding-compliant for the key " + std::string(key) +
              ".");
}

// The platform class name of a value kind that has no keys.
const char* plainKindClassName(const Value& value) {
    switch (value.kind()) {
        case Value::Kind::String:
            return "NSString";
        case Value::Kind::Decimal:
            return "NSDecimalNumber";
        case Value::Kind::Date:
            return "NSDate";
        case Value::Kind::Data:
            return "NSData";
        default:
            return "NSNumber";
    }
}

// ---- UTF-16 code-unit order -------------------------------------------------------------------

// Reads UTF-8 text as a sequence of UTF-16 code units. Bytes that do not form a valid sequence
// stand for themselves, one unit each.
class Utf16Units {
  public:
    explicit Utf16Units(std::string_view text) : text_(text) {}

    // The next unit, or -1 at the end.
    int32_t next() {
        if (pendingLow_) {
            const int32_t low = pendingLow_;
            pendingLow_ = 0;
            return low;
        }
        if (pos_ >= text_.size())
            return -1;
        const auto b0 = static_cast<uint8_t>(text_[pos_]);
        size_t len = b0 < 0x80           ? 1
                     : (b0 >> 5) == 0x6  ? 2
                     : (b0 >> 4) == 0xE  ? 3
                     : (b0 >> 3) == 0x1E ? 4
                                         : 0;
        if (len == 0 || pos_ + len > text_.size()) {
            ++pos_;
            return b0;
        }
        uint32_t cp = len == 1 ? b0 : b0 & (0x7F >> len);
        for (size_t i = 1; i < len; ++i) {
            const auto b = static_cast<uint8_t>(text_[pos_ + i]);
            if ((b & 0xC0) != 0x80) {
                ++pos_;
                return b0;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        pos_ += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            pendingLow_ = static_cast<int32_t>(0xDC00 + (cp & 0x3FF));
            return static_cast<int32_t>(0xD800 + (cp >> 10));
        }
        return static_cast<int32_t>(cp);
    }

  private:
    std::string_view text_;
    size_t pos_ = 0;
    int32_t pendingLow_ = 0;
};

int32_t foldCase(int32_t unit) {
    if (unit >= 'A' && unit <= 'Z')
        return unit + 32;
    if (unit >= 0xC0 && unit <= 0xDE && unit != 0xD7)
        return unit + 32;
    return unit;
}

int compareText(std::string_view a, std::string_view b, bool foldingCase) {
    Utf16Units x(a), y(b);
    for (;;) {
        int32_t u = x.next(), v = y.next();
        if (foldingCase) {
            u = foldCase(u);
            v = foldCase(v);
        }
        if (u != v)
            return u < v ? -1 : 1;
        if (u < 0)
            return 0;
    }
}

int sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

int kindRank(const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Nil:
        case Value::Kind::Null:
            return 0;
        case Value::Kind::Bool:
        case Value::Kind::Number:
        case Value::Kind::Decimal:
            return 1;
        case Value::Kind::String:
            return 2;
        case Value::Kind::Date:
            return 3;
        case Value::Kind::Data:
            return 4;
        default:
            return 5;
    }
}

Number asNumber(const Value& v) {
    if (const Number* n = v.number())
        return *n;
    if (v.isBool())
        return Number::fromChar(v.boolValue() ? 1 : 0);
    return Number::fromDouble(v.doubleValue());  // decimal numbers
}

}  // namespace

Value valueForKey(const Object& object, std::string_view key) {
    if (const auto* dictionary = dynamic_cast<const Dictionary*>(&object)) {
        return dictionary->objectForKey(Value(key));
    }
    if (const auto* array = dynamic_cast<const Array*>(&object)) {
        std::vector<Value> out;
        out.reserve(array->count());
        array->enumerate([&](const Value& element) {
            Value v = valueForKey(element, key);
            out.push_back(v.isNil() ? Value::null() : std::move(v));
            return true;
        });
        return Value(Array::make(std::move(out)));
    }
    auto entry = object.getClass().findProperty(key);
    if (!entry)
        undefinedKey(object.className(), "valueForUndefinedKey:", key);
    return entry->get(object);
}

Value valueForKey(const Value& value, std::string_view key) {
    if (value.isNilOrNull())
        return Value();
    if (Ref<Object> object = value.object())
        return valueForKey(*object, key);
    undefinedKey(plainKindClassName(value), "valueForUndefinedKey:", key);
}

void setValueForKey(Object& object, const Value& value, std::string_view key) {
    if (auto* dictionary = dynamic_cast<MutableDictionary*>(&object)) {
        dictionary->setObject(value, Value(key));
        return;
    }
    auto entry = object.getClass().findProperty(key);
    if (!entry || entry->isReadOnly()) {
        undefinedKey(object.className(), "setValue:forUndefinedKey:", key);
    }
    entry->set(object, value);
}

Value valueForKeyPath(const Object& object, std::string_view keyPath) {
    const size_t dot = keyPath.find('.');
    if (dot == std::string_view::npos)
        return valueForKey(object, keyPath);
    return valueForKeyPath(valueForKey(object, keyPath.substr(0, dot)), keyPath.substr(dot + 1));
}

Value valueForKeyPath(const Value& value, std::string_view keyPath) {
    Value current = value;
    size_t start = 0;
    for (;;) {
        if (current.isNilOrNull())
            return Value();
        const size_t dot = keyPath.find('.', start);
        const std::string_view key = keyPath.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        current = valueForKey(current, key);
        if (dot == std::string_view::npos)
            return current;
        start = dot + 1;
    }
}

int compareValues(const Value& a, const Value& b, StringComparison comparison) {
    const int ra = kindRank(a), rb = kindRank(b);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    switch (ra) {
        case 1:
            if (a.decimal() || b.decimal()) {
                const double x = a.doubleValue(), y = b.doubleValue();
                return x < y ? -1 : (x > y ? 1 : 0);
            }
            return sign(asNumber(a).compare(asNumber(b)));
        case 2: {
            const std::string& x = *a.string();
            const std::string& y = *b.string();
            if (comparison == StringComparison::Localized) {
                if (int folded = compareText(x, y, true))
                    return folded;
            }
            return compareText(x, y, false);
        }
        case 3: {
            const double x = a.date()->seconds, y = b.date()->seconds;
            return x < y ? -1 : (x > y ? 1 : 0);
        }
        case 4: {
            const Bytes& x = *a.bytes();
            const Bytes& y = *b.bytes();
            const size_t n = std::min(x.size(), y.size());
            if (n) {
                if (int c = std::memcmp(x.data(), y.data(), n))
                    return sign(c);
            }
            return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
        }
        default:
            return 0;
    }
}

Ref<Array> sortedArrayByKey(const Array& array, std::string_view keyPath, bool ascending,
                            StringComparison comparison) {
    struct Item {
        Value key;
        Value element;
    };
    std::vector<Item> items;
    items.reserve(array.count());
    array.enumerate([&](const Value& element) {
        items.push_back({valueForKeyPath(element, keyPath), element});
        return true;
    });
    std::stable_sort(items.begin(), items.end(), [&](const Item& x, const Item& y) {
        const int c = compareValues(x.key, y.key, comparison);
        return ascending ? c < 0 : c > 0;
    });
    std::vector<Value> out;
    out.reserve(items.size());
    for (auto& item : items)
        out.push_back(std::move(item.element));
    return Array::make(std::move(out));
}

Ref<Array> selectByKeyPath(const Array& array, std::string_view keyPath) {
    std::vector<Value> out;
    out.reserve(array.count());
    array.enumerate([&](const Value& element) {
        Value v = valueForKeyPath(element, keyPath);
        out.push_back(v.isNil() ? Value::null() : std::move(v));
        return true;
    });
    return Array::make(std::move(out));
}

}  // namespace plat
