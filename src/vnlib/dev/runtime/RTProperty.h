#pragma once
// RTProperty: an immutable descriptor of one declared property: its name and its attribute map
// (code -> value), read from the attribute text of a class's property table
// (T@"NSString",C,N,Vname_), with queries for the type text, read-only and setter semantics, the
// flags, custom accessor names and the backing variable. RTProperty is the abstract descriptor;
// every query sent to it is refused as an unrecognised message. Both factories make the one
// concrete kind, _RTObjCProperty.
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/core/Object.h"

namespace plat {
struct PropertyEntry;
}

// The attribute codes of an attribute text.
inline constexpr std::string_view RTPropertyTypeEncodingAttribute = "T";
inline constexpr std::string_view RTPropertyOldTypeEncodingAttribute = "t";
inline constexpr std::string_view RTPropertyBackingIVarNameAttribute = "V";
inline constexpr std::string_view RTPropertyReadOnlyAttribute = "R";
inline constexpr std::string_view RTPropertyCopyAttribute = "C";
inline constexpr std::string_view RTPropertyRetainAttribute = "&";
inline constexpr std::string_view RTPropertyNonAtomicAttribute = "N";
inline constexpr std::string_view RTPropertyDynamicAttribute = "D";
inline constexpr std::string_view RTPropertyWeakReferenceAttribute = "W";
inline constexpr std::string_view RTPropertyEligibleForGarbageCollectionAttribute = "P";
inline constexpr std::string_view RTPropertyCustomGetterAttribute = "G";
inline constexpr std::string_view RTPropertyCustomSetterAttribute = "S";

// What a setter does with the value it is given.
enum RTPropertySetterSemantics : int {
    RTPropertySetterSemanticsAssign = 0,
    RTPropertySetterSemanticsRetain = 1,
    RTPropertySetterSemanticsCopy = 2,
};

class RTProperty : public plat::Object {
    PLAT_CLASS(RTProperty)
  public:
    // Attribute code (one character) -> value (empty for flags).
    using Attributes = std::map<std::string, std::string, std::less<>>;

    // A descriptor of a declared property: its name and its attribute text parsed.
    static Ref<RTProperty> propertyWithObjCProperty(const plat::PropertyEntry& property);
    // A descriptor holding copies of a name and an attribute map.
    static Ref<RTProperty> propertyWithName(std::string name, Attributes attributes);

    // "<Class 0x...: name attributeEncodings typeEncoding ivarName>", "(null)" for what is absent.
    std::string description() const override;
    // Whether the other object is a descriptor with equal name, attribute encodings, type text
    // and backing variable (two absent values are equal).
    bool isEqual(const plat::Object* other) const;
    // The hash of the name exclusive-or the hash of the type text.
    size_t hash() const;

    virtual const std::string& name() const;
    // A copy of the attribute map.
    virtual Attributes attributes() const;
    // The entries other than the type and the backing variable, each as its code followed by its
    // value, joined with "," in the map's order ("C,N", "R,C,GisCancelled").
    virtual std::string attributeEncodings() const;
    virtual bool isReadOnly() const;
    // Copy when "C" is present, else retain when "&" is, else assign.
    virtual RTPropertySetterSemantics setterSemantics() const;
    virtual bool isNonAtomic() const;
    virtual bool isDynamic() const;
    virtual bool isWeakReference() const;
    virtual bool isEligibleForGarbageCollection() const;
    // The accessor messages named by "G" and "S"; empty selectors when absent.
    virtual plat::Selector customGetter() const;
    virtual plat::Selector customSetter() const;
    // The values of "T", "t" and "V"; none when absent.
    virtual std::optional<std::string> typeEncoding() const;
    virtual std::optional<std::string> oldTypeEncoding() const;
    virtual std::optional<std::string> ivarName() const;
    // Declares the described property on the class (its own table). Objects of classes built at
    // run time keep its value; other objects read nothing and refuse to write. False when the
    // class declares a property of that name itself or the description has no type.
    bool addToClass(plat::Class& cls) const;
};

class _RTObjCProperty final : public RTProperty {
    PLAT_CLASS(_RTObjCProperty)
  public:
    // Splits the attribute text at every ","; each entry is its first character (the code) and
    // the rest (the value). A code that occurs again replaces the earlier value.
    explicit _RTObjCProperty(const plat::PropertyEntry& property);
    _RTObjCProperty(std::string name, Attributes attributes);

    const std::string& name() const override { return name_; }
    Attributes attributes() const override { return attributes_; }
    std::string attributeEncodings() const override;
    // Whether the code is present (its value may be empty).
    bool hasAttribute(std::string_view code) const;
    bool isReadOnly() const override;
    RTPropertySetterSemantics setterSemantics() const override;
    bool isNonAtomic() const override;
    bool isDynamic() const override;
    bool isWeakReference() const override;
    bool isEligibleForGarbageCollection() const override;
    // The value of the code, or none.
    std::optional<std::string> contentOfAttribute(std::string_view code) const;
    plat::Selector customGetter() const override;
    plat::Selector customSetter() const override;
    std::optional<std::string> typeEncoding() const override;
    std::optional<std::string> oldTypeEncoding() const override;
    std::optional<std::string> ivarName() const override;

  private:
    std::string name_;
    Attributes attributes_;
};
