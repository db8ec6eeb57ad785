#pragma once
// Declared properties. Every class that lists its properties carries a table of its own entries,
// in declaration order; each entry is a name, the exact attribute text (T@"NSString",C,N,Vname_)
// and adapters that read and write the property as a plat::Value, boxing scalars on the way.
// Declaring a property also gives the class its accessor messages ("code", "setCode:"), unless the
// class registers methods of those names itself.
//
// Tables are written next to the class, one line per property, inside PLAT_DEFINE_CLASS:
//
//   PLAT_DEFINE_CLASS(VnSample, VnInfo, [](auto& c) {
//       c.property("name", "T@\"NSString\",C,N,Vname_", &VnSample::name, &VnSample::setName)
//           .property("pageCount", &VnSample::pageCount_)      // derived text "Ti,N"
//           .property("isAutoRenew", "Tc,N,V_isAutoRenew", &VnSample::isAutoRenew_)
//           .property("latestIssue", &VnSample::latestIssue_)  // "T@\"VnIssue\",&,N"
//           .property("sortToken", "T@\"NSString\",R,C,N", &VnSample::sortToken);
//   })
//
// Here name has accessors, pageCount and latestIssue (a Ref<VnIssue>) are data members with
// derived texts, isAutoRenew is a bool member declared as the platform's BOOL ("c"), and
// sortToken is a read-only getter.
//
// A property is a data member or a const getter, plus a setter unless read-only. Without an
// explicit attribute text the text is derived from the member's type. With one, the text is kept
// as given; its "R" decides whether a data member is writable. Supported member types: bool,
// the integer types, float, double, std::string, plat::Date, plat::Bytes, plat::Value,
// Ref<T> and WeakRef<T> for T deriving plat::Object (arrays, dictionaries and records), and
// std::optional of the non-scalar ones (nil <-> empty optional).
//
// Writing a value converts it to the member's type: scalars take numbers, booleans, decimal
// numbers and numeric text (nil and null give 0); strings take text and the text of numbers;
// nil and null give the empty/default value of non-scalar members. Any other value is refused.
#include <any>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "platform/core/Collections.h"
#include "platform/core/Error.h"
#include "platform/core/Object.h"
#include "platform/core/Value.h"

namespace plat {

struct PropertyEntry {
    // Reads the property of an object of the owner class (or a subclass).
    using Getter = std::function<Value(const Object&)>;
    // Writes the property; answers false, changing nothing, when the value cannot be converted.
    using Setter = std::function<bool(Object&, const Value&)>;

    std::string name;
    std::string attributes;       // exactly as declared
    std::string typeEncoding;     // the value of the "T" entry: "i", "c", "@\"NSString\"", ...
    std::string objectClassName;  // for @"Name" types the Name; empty otherwise
    const Class* owner = nullptr;
    Class& (*objectClassAccessor)() = nullptr;  // the class of Ref<T> members
    Getter getter;
    Setter setter;  // empty for read-only properties
    // For a text the object holds itself: reads it without a copy. The value refers to the
    // object's own string and counts no reference of its own (a copy of it counts one to the
    // object, which must be held by a shared pointer); it reads right only while the property
    // is not set again, so it is for a reader that writes the text at once and changes nothing
    // meanwhile. Empty for other properties (use getter).
    Getter borrow;

    bool isReadOnly() const { return !setter; }
    bool isObjectType() const { return !typeEncoding.empty() && typeEncoding[0] == '@'; }
    // The scalar type code ('i', 'c', 'B', 'q', 'Q', 'f', 'd', ...), or 0 for other types.
    char scalarType() const;
    // The class named by an object type: the member's own class for Ref<T>, else looked up by
    // name; null for untyped objects, protocols and unknown names.
    const Class* objectClass() const;

    // Reads the property. NSInvalidArgumentException when the object is not of the owner class.
    Value get(const Object& object) const;
    // Writes the property. NSInvalidArgumentException when the object is not of the owner class
    // or the value cannot be converted to the property's type; NSInternalInconsistencyException
    // when the property is read-only.
    void set(Object& object, const Value& value) const;
};

// The value of an attribute code in an attribute text (the last entry with that code); none when
// absent, the empty text for flags.
std::optional<std::string_view> propertyAttribute(std::string_view attributes, char code);

// The setter message of a property: "set" + the name with its first letter upper-cased + ":".
std::string defaultSetterName(std::string_view propertyName);

namespace detail {

// Type codes of the scalar member types; 0 for every other type.
template <class V>
constexpr char scalarCodeOf() {
    if constexpr (std::is_same_v<V, bool>)
        return 'B';
    else if constexpr (std::is_same_v<V, char> || std::is_same_v<V, signed char>)
        return 'c';
    else if constexpr (std::is_same_v<V, unsigned char>)
        return 'C';
    else if constexpr (std::is_same_v<V, short>)
        return 's';
    else if constexpr (std::is_same_v<V, unsigned short>)
        return 'S';
    else if constexpr (std::is_same_v<V, int>)
        return 'i';
    else if constexpr (std::is_same_v<V, unsigned>)
        return 'I';
    else if constexpr (std::is_same_v<V, long> || std::is_same_v<V, long long>)
        return 'q';
    else if constexpr (std::is_same_v<V, unsigned long> || std::is_same_v<V, unsigned long long>)
        return 'Q';
    else if constexpr (std::is_same_v<V, float>)
        return 'f';
    else if constexpr (std::is_same_v<V, double>)
        return 'd';
    else
        return 0;
}

// Boxes a scalar as the number of the declared type code (the shared booleans for 'B').
Value boxScalar(int64_t value, char code);
Value boxScalar(uint64_t value, char code);
Value boxScalar(double value, char code);
// Whether a value can be read as a scalar: nil, null, booleans, numbers, decimals, text.
bool isScalarReadable(const Value& value);
uint64_t unsignedReading(const Value& value);
// The text that a string property takes from a value: text, or the text of numbers; none for
// other kinds (nil and null give the empty text).
std::optional<std::string> stringReading(const Value& value);

template <class V>
concept ScalarMember = scalarCodeOf<V>()
!= 0;
template <class T>
concept ObjectClass = std::is_base_of_v<Object, T>;
template <class T>
concept TypedObjectClass = ObjectClass<T> && !std::is_same_v<T, Object>;

template <class V>
struct PropertyCoding;  // one per supported member type

template <class V>
concept NonScalarMember = !PropertyCoding<V>::kScalar;

template <ScalarMember V>
struct PropertyCoding<V> {
    static constexpr bool kScalar = true;
    static std::string typeText() { return std::string(1, scalarCodeOf<V>()); }
    static std::string semantics() { return {}; }
    static Value box(V v, char code) {
        if constexpr (std::is_floating_point_v<V>)
            return boxScalar(static_cast<double>(v), code);
        else if constexpr (std::is_unsigned_v<V>)
            return boxScalar(static_cast<uint64_t>(v), code);
        else
            return boxScalar(static_cast<int64_t>(v), code);
    }
    static std::optional<V> unbox(const Value& v) {
        if (!isScalarReadable(v))
            return std::nullopt;
        if constexpr (std::is_same_v<V, bool>)
            return v.boolValue();
        else if constexpr (std::is_floating_point_v<V>)
            return static_cast<V>(v.doubleValue());
        else if constexpr (std::is_unsigned_v<V>)
            return static_cast<V>(unsignedReading(v));
        else
            return static_cast<V>(v.int64Value());
    }
};

template <>
struct PropertyCoding<std::string> {
    static constexpr bool kScalar = false;
    static std::string typeText() { return "@\"NSString\""; }
    static std::string semantics() { return ",C"; }
    static Value box(const std::string& v, char) { return Value(v); }
    static std::optional<std::string> unbox(const Value& v) { return stringReading(v); }
};

template <>
struct PropertyCoding<Date> {
    static constexpr bool kScalar = false;
    static std::string typeText() { return "@\"NSDate\""; }
    static std::string semantics() { return ",C"; }
    static Value box(const Date& v, char) { return Value(v); }
    static std::optional<Date> unbox(const Value& v) {
        if (v.isNilOrNull())
            return Date{};
        if (const Date* d = v.date())
            return *d;
        return std::nullopt;
    }
};

template <>
struct PropertyCoding<Bytes> {
    static constexpr bool kScalar = false;
    static std::string typeText() { return "@\"NSData\""; }
    static std::string semantics() { return ",C"; }
    static Value box(const Bytes& v, char) { return Value(v); }
    static std::optional<Bytes> unbox(const Value& v) {
        if (v.isNilOrNull())
            return Bytes{};
        if (const Bytes* b = v.bytes())
            return *b;
        return std::nullopt;
    }
};

template <>
struct PropertyCoding<Value> {
    static constexpr bool kScalar = false;
    static std::string typeText() { return "@"; }
    static std::string semantics() { return ",&"; }
    static Value box(const Value& v, char) { return v; }
    static std::optional<Value> unbox(const Value& v) { return v; }
};

// The class name that a type text gives to an object class.
template <class T>
std::string objectTypeName() {
    if constexpr (std::is_same_v<T, Array>)
        return "NSArray";
    else if constexpr (std::is_same_v<T, MutableArray>)
        return "NSMutableArray";
    else if constexpr (std::is_same_v<T, Dictionary>)
        return "NSDictionary";
    else if constexpr (std::is_same_v<T, MutableDictionary>)
        return "NSMutableDictionary";
    else if constexpr (std::is_same_v<T, Error>)
        return "NSError";
    else
        return T::kClassName;
}

template <class T>
std::string objectTypeText() {
    if constexpr (std::is_same_v<T, Object>)
        return "@";
    else
        return "@\"" + objectTypeName<T>() + "\"";
}

template <class T>
std::optional<Ref<T>> unboxObject(const Value& v) {
    if (v.isNilOrNull())
        return Ref<T>();
    Ref<Object> object = v.object();
    if (!object)
        return std::nullopt;  // text, numbers, dates, data
    if constexpr (std::is_same_v<T, Object>) {
        return object;
    } else {
        Ref<T> cast = std::dynamic_pointer_cast<T>(object);
        if (!cast)
            return std::nullopt;  // an object of another class
        return cast;
    }
}

template <ObjectClass T>
struct PropertyCoding<Ref<T>> {
    static constexpr bool kScalar = false;
    static std::string typeText() { return objectTypeText<T>(); }
    static std::string semantics() {
        return std::is_same_v<T, Array> || std::is_same_v<T, Dictionary> ? ",C" : ",&";
    }
    static Value box(const Ref<T>& v, char) { return Value(v); }
    static std::optional<Ref<T>> unbox(const Value& v) { return unboxObject<T>(v); }
};

template <ObjectClass T>
struct PropertyCoding<WeakRef<T>> {
    static constexpr bool kScalar = false;
    static std::string typeText() { return objectTypeText<T>(); }
    static std::string semantics() { return ",W"; }
    static Value box(const WeakRef<T>& v, char) { return Value(v.lock()); }
    static std::optional<WeakRef<T>> unbox(const Value& v) {
        auto strong = unboxObject<T>(v);
        if (!strong)
            return std::nullopt;
        return WeakRef<T>(*strong);
    }
};

template <NonScalarMember X>
struct PropertyCoding<std::optional<X>> {
    static constexpr bool kScalar = false;
    static std::string typeText() { return PropertyCoding<X>::typeText(); }
    static std::string semantics() { return PropertyCoding<X>::semantics(); }
    static Value box(const std::optional<X>& v, char code) {
        return v ? PropertyCoding<X>::box(*v, code) : Value();
    }
    static std::optional<std::optional<X>> unbox(const Value& v) {
        if (v.isNilOrNull())
            return std::optional<X>();
        auto inner = PropertyCoding<X>::unbox(v);
        if (!inner)
            return std::nullopt;
        return std::optional<X>(std::move(*inner));
    }
};

template <class T>
struct ObjectClassOf {
    static constexpr Class& (*accessor)() = nullptr;
};
template <TypedObjectClass T>
struct ObjectClassOf<Ref<T>> {
    static constexpr Class& (*accessor)() = &T::classObject;
};
template <TypedObjectClass T>
struct ObjectClassOf<WeakRef<T>> {
    static constexpr Class& (*accessor)() = &T::classObject;
};
template <class X>
struct ObjectClassOf<std::optional<X>> : ObjectClassOf<X> {};

// Unpacks the argument of a setter message: weak references and optionals take what their
// strong or plain form takes.
template <class V>
V unpackProperty(std::any& slot, Selector sel) {
    if constexpr (requires {
                      typename V::element_type;
                      std::declval<V>().lock();
                  }) {
        return V(unpack<Ref<typename V::element_type>>(slot, sel, 0));
    } else if constexpr (requires {
                             std::declval<V>().has_value();
                             typename V::value_type;
                         }) {
        if (auto* plain = std::any_cast<typename V::value_type>(&slot))
            return V(*plain);
        if (!slot.has_value())
            return V();
        return unpack<V>(slot, sel, 0);
    } else {
        return unpack<V>(slot, sel, 0);
    }
}

// Completes and checks an entry, then appends it to the class and gives the class the accessor
// messages it lacks. Raises NSInternalInconsistencyException for a text without its type, a type
// text that does not suit the member (scalar against object), or a read-only flag that disagrees
// with the accessors given.
void addPropertyEntry(Class& cls, std::shared_ptr<PropertyEntry> entry, bool scalarMember,
                      Selector getterSel, Method getterMethod, Selector setterSel,
                      Method setterMethod);
void addObjectProtocolProperties(Class& cls);

template <class V>
std::string derivedAttributes(bool readOnly) {
    return "T" + PropertyCoding<V>::typeText() + (readOnly ? ",R" : "") +
           PropertyCoding<V>::semantics() + ",N";
}

// A data member of C (or of a base of C).
template <class P, class C>
concept DataMemberOf = std::is_member_object_pointer_v<P> && std::is_invocable_v<P, const C&>;
// A getter of C: a const member function without arguments.
template <class P, class C>
concept GetterOf = std::is_member_function_pointer_v<P> && std::is_invocable_v<P, const C&>;
// A setter of C: a member function taking the value.
template <class P, class C>
concept SetterOf = std::is_member_function_pointer_v<P>;

}  // namespace detail

template <class C>
struct PropertyRegistrar {
    template <detail::DataMemberOf<C> P>
    static void add(Class& cls, std::string_view name, P member) {
        addMember(cls, name, std::nullopt, member);
    }
    template <detail::DataMemberOf<C> P>
    static void add(Class& cls, std::string_view name, std::string_view attributes, P member) {
        addMember(cls, name, attributes, member);
    }

    template <detail::GetterOf<C> G>
    static void add(Class& cls, std::string_view name, G getter) {
        addAccessors(cls, name, std::nullopt, getter, nullptr);
    }
    template <detail::GetterOf<C> G>
    static void add(Class& cls, std::string_view name, std::string_view attributes, G getter) {
        addAccessors(cls, name, attributes, getter, nullptr);
    }

    template <detail::GetterOf<C> G, detail::SetterOf<C> S>
    static void add(Class& cls, std::string_view name, G getter, S setter) {
        addAccessors(cls, name, std::nullopt, getter, setter);
    }
    template <detail::GetterOf<C> G, detail::SetterOf<C> S>
    static void add(Class& cls, std::string_view name, std::string_view attributes, G getter,
                    S setter) {
        addAccessors(cls, name, attributes, getter, setter);
    }

    static void addObjectProtocol(Class& cls) { detail::addObjectProtocolProperties(cls); }

  private:
    template <class P>
    static void addMember(Class& cls, std::string_view name,
                          std::optional<std::string_view> attributes, P member) {
        using V = std::remove_cvref_t<std::invoke_result_t<P, const C&>>;
        const bool readOnly = attributes ? propertyAttribute(*attributes, 'R').has_value() : false;
        const bool copies = attributes ? propertyAttribute(*attributes, 'C').has_value()
                                       : detail::PropertyCoding<V>::semantics() == ",C";
        auto read = [member](const C& self) -> const V& { return std::invoke(member, self); };
        if (readOnly) {
            build<V>(cls, name, attributes, read, nullptr);
        } else {
            auto write = [member, copies](C& self, V value) {
                if constexpr (std::is_same_v<V, Ref<Array>> || std::is_same_v<V, Ref<Dictionary>>) {
                    if (copies && value)
                        value = value->copy();
                } else {
                    (void)copies;
                }
                std::invoke(member, self) = std::move(value);
            };
            build<V>(cls, name, attributes, read, write);
        }
    }

    template <class G, class S>
    static void addAccessors(Class& cls, std::string_view name,
                             std::optional<std::string_view> attributes, G getter, S setter) {
        using R = std::invoke_result_t<G, const C&>;
        using V = std::remove_cvref_t<R>;
        auto read = [getter](const C& self) -> R { return std::invoke(getter, self); };
        if constexpr (std::is_null_pointer_v<S>) {
            build<V>(cls, name, attributes, read, nullptr);
        } else {
            auto write = [setter](C& self, V value) {
                std::invoke(setter, self, std::move(value));
            };
            build<V>(cls, name, attributes, read, write);
        }
    }

    template <class V>
    using Coding = detail::PropertyCoding<V>;

    template <class V, class Read, class Write>
    static void build(Class& cls, std::string_view name, std::optional<std::string_view> attributes,
                      Read read, Write write) {
        constexpr bool kWritable = !std::is_null_pointer_v<Write>;
        auto entry = std::make_shared<PropertyEntry>();
        entry->name = std::string(name);
        entry->attributes =
            attributes ? std::string(*attributes) : detail::derivedAttributes<V>(!kWritable);
        entry->objectClassAccessor = detail::ObjectClassOf<V>::accessor;
        const auto type = propertyAttribute(entry->attributes, 'T');
        const char code = type && type->size() == 1 ? (*type)[0] : detail::scalarCodeOf<V>();
        entry->getter = [read, code](const Object& self) -> Value {
            return Coding<V>::box(read(static_cast<const C&>(self)), code);
        };
        if constexpr (std::is_reference_v<std::invoke_result_t<Read, const C&>> &&
                      (std::is_same_v<V, std::string> ||
                       std::is_same_v<V, std::optional<std::string>>)) {
            entry->borrow = [read](const Object& self) -> Value {
                const V& text = read(static_cast<const C&>(self));
                if constexpr (std::is_same_v<V, std::string>) {
                    return Value::inDocument(text, self, false);
                } else {
                    return text ? Value::inDocument(*text, self, false) : Value();
                }
            };
        }

        const auto customGetter = propertyAttribute(entry->attributes, 'G');
        const auto customSetter = propertyAttribute(entry->attributes, 'S');
        const Selector getterSel(customGetter ? *customGetter : name);
        const Selector setterSel(customSetter ? std::string(*customSetter)
                                              : defaultSetterName(name));

        Method getterMethod;
        getterMethod.returnType = typeCode<V>();
        getterMethod.call = [read, getterSel](Object& self, Args& args) -> std::any {
            if (!args.empty())
                detail::arityMismatch(getterSel, 0, args.size());
            return detail::packReturn(V(read(static_cast<const C&>(self))));
        };

        Method setterMethod;
        if constexpr (kWritable) {
            entry->setter = [write](Object& self, const Value& value) -> bool {
                // Text, the common case, is copied straight into the value written.
                if constexpr (std::is_same_v<V, std::string>) {
                    if (value.isString()) {
                        write(static_cast<C&>(self), V(value.stringView()));
                        return true;
                    }
                } else if constexpr (std::is_same_v<V, std::optional<std::string>>) {
                    if (value.isString()) {
                        write(static_cast<C&>(self), V(std::in_place, value.stringView()));
                        return true;
                    }
                }
                std::optional<V> converted = Coding<V>::unbox(value);
                if (!converted)
                    return false;
                write(static_cast<C&>(self), std::move(*converted));
                return true;
            };
            setterMethod.returnType = "v";
            setterMethod.arity = 1;
            setterMethod.call = [write, setterSel](Object& self, Args& args) -> std::any {
                if (args.size() != 1)
                    detail::arityMismatch(setterSel, 1, args.size());
                write(static_cast<C&>(self), detail::unpackProperty<V>(args[0], setterSel));
                return {};
            };
        }
        detail::addPropertyEntry(cls, std::move(entry), Coding<V>::kScalar, getterSel,
                                 std::move(getterMethod), setterSel, std::move(setterMethod));
    }
};

}  // namespace plat
