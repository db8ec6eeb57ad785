#pragma once
// RTIvar: an immutable descriptor of an instance variable: its name, its type text and its offset
// in the instance. RTIvar is abstract (every query sent to it is refused as an unrecognised
// message); _RTObjCIvar describes a variable declared by a class, _RTComponentsIvar one made from
// a name and a type text, whose offset is unknown (-1).
#include <cstddef>
#include <string>

#include "platform/core/Object.h"

class RTIvar : public plat::Object {
    PLAT_CLASS(RTIvar)
  public:
    static Ref<RTIvar> ivarWithObjCIvar(const plat::Class::Ivar& ivar);
    static Ref<RTIvar> ivarWithName(std::string name, std::string typeEncoding);
    // The type given as a plain character text ("i", "@").
    static Ref<RTIvar> ivarWithNameEncode(std::string name, const char* encode);

    virtual const std::string& name() const;
    virtual const std::string& typeEncoding() const;
    virtual ptrdiff_t offset() const;

    // "<Class 0x...: name type offset>"
    std::string description() const override;
    // Equal when the name and the type text are equal.
    bool isEqual(const plat::Object* other) const;
    size_t hash() const;
};

class _RTObjCIvar final : public RTIvar {
    PLAT_CLASS(_RTObjCIvar)
  public:
    explicit _RTObjCIvar(plat::Class::Ivar ivar) : ivar_(std::move(ivar)) {}
    const std::string& name() const override { return ivar_.name; }
    const std::string& typeEncoding() const override { return ivar_.typeEncoding; }
    ptrdiff_t offset() const override { return ivar_.offset; }

  private:
    plat::Class::Ivar ivar_;
};

class _RTComponentsIvar final : public RTIvar {
    PLAT_CLASS(_RTComponentsIvar)
  public:
    _RTComponentsIvar(std::string name, std::string typeEncoding)
        : name_(std::move(name)), typeEncoding_(std::move(typeEncoding)) {}
    const std::string& name() const override { return name_; }
    const std::string& typeEncoding() const override { return typeEncoding_; }
    ptrdiff_t offset() const override { return -1; }

  private:
    std::string name_;
    std::string typeEncoding_;
};
