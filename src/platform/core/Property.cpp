#include "platform/core/Property.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "platform/core/Log.h"

namespace plat {

// ---- Class: the declared-property table
// ----------------------------------------------------------

void Class::addProperty(std::shared_ptr<const PropertyEntry> entry) {
    if (!entry)
        return;
    const size_t index = properties_.size();
    properties_.push_back(std::move(entry));
    if (indexedProperties_ == index) {
        propertyIndex_.emplace(properties_.back()->name, index);  // the first entry of a name wins
        indexedProperties_ = properties_.size();
    }
}

std::shared_ptr<const PropertyEntry> Class::findOwnProperty(std::string_view name) const {
    if (indexedProperties_ == properties_.size()) {
        auto it = propertyIndex_.find(name);
        return it == propertyIndex_.end() ? nullptr : properties_[it->second];
    }
    // Entries were appended without the index: look through the table.
    for (const auto& entry : properties_) {
        if (entry && entry->name == name)
            return entry;
    }
    return nullptr;
}

std::shared_ptr<const PropertyEntry> Class::findProperty(std::string_view name) const {
    for (const Class* c = this; c; c = c->superclass()) {
        if (auto entry = c->findOwnProperty(name))
            return entry;
    }
    return nullptr;
}

// ---- PropertyEntry
// -------------------------------------------------------------------------------

namespace {

bool isScalarCode(char c) {
    return std::string_view("cCsSiIlLqQfdB").find(c) != std::string_view::npos;
}

const char* valueKindName(const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Nil:
            return "nil";
        case Value::Kind::Null:
            return "null";
        case Value::Kind::Bool:
            return "boolean";
        case Value::Kind::Number:
            return "number";
        case Value::Kind::Decimal:
            return "decimal number";
        case Value::Kind::String:
            return "string";
        case Value::Kind::Data:
            return "data";
        case Value::Kind::Date:
            return "date";
        case Value::Kind::Array:
            return "array";
        case Value::Kind::Dictionary:
            return "dictionary";
        case Value::Kind::Object:
            return "object";
    }
    return "value";
}

void checkReceiver(const PropertyEntry& entry, const Object& object) {
    if (!entry.owner || !object.isKindOfClass(*entry.owner)) {
        raise(NSInvalidArgumentException,
              "[<" + object.className() + "> " + entry.name + "]: the property belongs to " +
                  (entry.owner ? entry.owner->name() : std::string("no class")));
    }
}

}  // namespace

char PropertyEntry::scalarType() const {
    return typeEncoding.size() == 1 && isScalarCode(typeEncoding[0]) ? typeEncoding[0] : 0;
}

const Class* PropertyEntry::objectClass() const {
    if (objectClassAccessor)
        return &objectClassAccessor();
    return objectClassName.empty() ? nullptr : Class::named(objectClassName);
}

Value PropertyEntry::get(const Object& object) const {
    checkReceiver(*this, object);
    return getter ? getter(object) : Value();
}

void PropertyEntry::set(Object& object, const Value& value) const {
    checkReceiver(*this, object);
    if (!setter) {
        raise(NSInternalInconsistencyException, "[<" + object.className() +
                                                    "> setValue:forKey:]: the property " + name +
                                                    " is read-only");
    }
    if (!setter(object, value)) {
        raise(NSInvalidArgumentException,
              "[<" + object.className() + "> setValue:forKey:]: a " + valueKindName(value) +
                  " value cannot be stored in the property " + name + " of type " + typeEncoding);
    }
}

std::optional<std::string_view> propertyAttribute(std::string_view attributes, char code) {
    std::optional<std::string_view> found;
    size_t start = 0;
    while (start <= attributes.size()) {
        size_t end = attributes.find(',', start);
        if (end == std::string_view::npos)
            end = attributes.size();
        const std::string_view item = attributes.substr(start, end - start);
        if (!item.empty() && item[0] == code)
            found = item.substr(1);
        start = end + 1;
    }
    return found;
}

std::string defaultSetterName(std::string_view propertyName) {
    std::string out = "set";
    out += propertyName;
    if (out.size() > 3 && out[3] >= 'a' && out[3] <= 'z')
        out[3] = static_cast<char>(out[3] - 32);
    return out + ":";
}

namespace detail {

Value boxScalar(int64_t value, char code) {
    switch (code) {
        case 'B':
            return Value::boolean(value != 0);
        case 'c':
            return Number::fromInt64(static_cast<int8_t>(value), 'c');
        case 's':
            return Number::fromInt64(static_cast<int16_t>(value), 's');
        case 'i':
        case 'l':
            return Number::fromInt64(static_cast<int32_t>(value), code);
        case 'C':
            return Number::fromUInt64(static_cast<uint8_t>(value), 'C');
        case 'S':
            return Number::fromUInt64(static_cast<uint16_t>(value), 'S');
        case 'I':
        case 'L':
            return Number::fromUInt64(static_cast<uint32_t>(value), code);
        case 'Q':
            return Number::fromUInt64(static_cast<uint64_t>(value), 'Q');
        case 'f':
        case 'd':
            return Number::fromDouble(static_cast<double>(value), code);
        default:
            return Number::fromInt64(value, 'q');
    }
}

Value boxScalar(uint64_t value, char code) {
    switch (code) {
        case 'q':
        case 'c':
        case 's':
        case 'i':
        case 'l':
        case 'B':
            return boxScalar(static_cast<int64_t>(value), code);
        case 'f':
        case 'd':
            return Number::fromDouble(static_cast<double>(value), code);
        case 'Q':
            return Number::fromUInt64(value, 'Q');
        default:
            return boxScalar(static_cast<int64_t>(value), code);
    }
}

Value boxScalar(double value, char code) {
    switch (code) {
        case 'f':
        case 'd':
            return Number::fromDouble(value, code);
        case 'B':
            return Value::boolean(value != 0.0);
        case 'C':
        case 'S':
        case 'I':
        case 'L':
        case 'Q':
            return boxScalar(Number::fromDouble(value).uint64Value(), code);
        default:
            return boxScalar(Number::fromDouble(value).int64Value(), code);
    }
}

bool isScalarReadable(const Value& value) {
    switch (value.kind()) {
        case Value::Kind::Nil:
        case Value::Kind::Null:
        case Value::Kind::Bool:
        case Value::Kind::Number:
        case Value::Kind::Decimal:
        case Value::Kind::String:
            return true;
        default:
            return false;
    }
}

uint64_t unsignedReading(const Value& value) {
    if (const Number* n = value.number())
        return n->uint64Value();
    if (const std::string* s = value.string()) {
        const char* p = s->c_str();
        while (*p == ' ' || *p == '\t' || *p == '\n')
            ++p;
        if (*p == '-')
            return static_cast<uint64_t>(value.int64Value());
        return std::strtoull(p, nullptr, 10);
    }
    if (const Decimal* d = value.decimal())
        return Number::fromDouble(d->doubleValue()).uint64Value();
    return static_cast<uint64_t>(value.int64Value());
}

std::optional<std::string> stringReading(const Value& value) {
    switch (value.kind()) {
        case Value::Kind::Nil:
        case Value::Kind::Null:
            return std::string();
        case Value::Kind::String:
            // Read in place: a text of a decoded reply is not made into a string of its own.
            return std::string(value.stringView());
        case Value::Kind::Bool:
        case Value::Kind::Number:
        case Value::Kind::Decimal:
            return value.description();
        default:
            return std::nullopt;
    }
}

namespace {

[[noreturn]] void badTable(const Class& cls, const PropertyEntry& entry, const std::string& what) {
    raise(NSInternalInconsistencyException,
          "property " + entry.name + " of " + cls.name() + " (" + entry.attributes + "): " + what);
}

bool ownsMethod(const Class& cls, Selector sel) {
    const auto& order = cls.methodOrder();
    return std::find(order.begin(), order.end(), sel) != order.end();
}

void addMethodUnlessOwn(Class& cls, Selector sel, Method method) {
    if (method.call && !ownsMethod(cls, sel))
        cls.addMethod(sel, std::move(method));
}

std::shared_ptr<PropertyEntry> protocolEntry(Class& cls, const char* name, const char* attributes,
                                             PropertyEntry::Getter getter) {
    auto entry = std::make_shared<PropertyEntry>();
    entry->name = name;
    entry->attributes = attributes;
    entry->typeEncoding = std::string(*propertyAttribute(attributes, 'T'));
    entry->owner = &cls;
    entry->getter = std::move(getter);
    return entry;
}

template <class R>
Method protocolMethod(std::function<R(const Object&)> read) {
    Method m;
    m.returnType = typeCode<R>();
    m.call = [read = std::move(read)](Object& self, Args&) -> std::any { return read(self); };
    return m;
}

uint64_t identityHash(const Object& object) {
    return std::hash<const void*>()(static_cast<const void*>(&object));
}

std::string superclassName(const Object& object) {
    const Class* super = object.getClass().superclass();
    return super ? super->name() : std::string();
}

}  // namespace

void addPropertyEntry(Class& cls, std::shared_ptr<PropertyEntry> entry, bool scalarMember,
                      Selector getterSel, Method getterMethod, Selector setterSel,
                      Method setterMethod) {
    const auto type = propertyAttribute(entry->attributes, 'T');
    if (!type || type->empty())
        badTable(cls, *entry, "the attribute text names no type");
    entry->typeEncoding = std::string(*type);
    if (scalarMember && !(type->size() == 1 && isScalarCode((*type)[0]))) {
        badTable(cls, *entry, "a scalar member needs a scalar type code");
    }
    if (!scalarMember && (*type)[0] != '@') {
        badTable(cls, *entry, "a non-scalar member needs an object type");
    }
    const bool readOnly = propertyAttribute(entry->attributes, 'R').has_value();
    if (readOnly && entry->setter)
        badTable(cls, *entry, "a read-only property has a setter");
    if (!readOnly && !entry->setter)
        badTable(cls, *entry, "a writable property lacks a setter");
    if (type->size() > 3 && (*type)[1] == '"' && (*type)[2] != '<' && type->back() == '"') {
        entry->objectClassName = std::string(type->substr(2, type->size() - 3));
    }
    entry->owner = &cls;
    cls.addProperty(std::move(entry));
    addMethodUnlessOwn(cls, getterSel, std::move(getterMethod));
    if (!readOnly)
        addMethodUnlessOwn(cls, setterSel, std::move(setterMethod));
}

void addObjectProtocolProperties(Class& cls) {
    cls.addProperty(protocolEntry(cls, "hash", "TQ,R", [](const Object& o) {
        return Value(Number::fromUInt64(identityHash(o), 'Q'));
    }));
    cls.addProperty(protocolEntry(cls, "superclass", "T#,R", [](const Object& o) {
        const std::string name = superclassName(o);
        return name.empty() ? Value() : Value(name);
    }));
    cls.addProperty(protocolEntry(cls, "description", "T@\"NSString\",R,C",
                                  [](const Object& o) { return Value(o.description()); }));
    cls.addProperty(protocolEntry(cls, "debugDescription", "T@\"NSString\",R,C",
                                  [](const Object& o) { return Value(o.description()); }));
    addMethodUnlessOwn(cls, "hash", protocolMethod<uint64_t>(identityHash));
    addMethodUnlessOwn(cls, "superclass", protocolMethod<std::string>(superclassName));
    addMethodUnlessOwn(cls, "description", protocolMethod<std::string>([](const Object& o) {
                           return o.description();
                       }));
    addMethodUnlessOwn(cls, "debugDescription", protocolMethod<std::string>([](const Object& o) {
                           return o.description();
                       }));
}

}  // namespace detail

}  // namespace plat
