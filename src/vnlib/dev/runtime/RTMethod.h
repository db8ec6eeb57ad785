#pragma once
// RTMethod: a descriptor of a method: its selector, its implementation and its signature text
// ("v@:i": return type, receiver, selector, then each argument). _RTObjCMethod describes a method
// in a class's table; _RTComponentsMethod one made from its parts. A method can be sent to a
// target with typed arguments, each wrapped by RTARG(): every argument must carry the marker and
// have the size of the parameter in its place, otherwise the send is logged and does not take
// place.
//
//   auto method = rt_methodForSelector(Foo::classObject(), "setCount:");
//   int32_t count = 3;
//   method->returnValue(nullptr, *foo, {RTARG(count)});
#include <any>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Object.h"

// An implementation: shared, compared by identity.
using RTImplementation = std::shared_ptr<const plat::Method>;

inline constexpr uint32_t RTArgumentMarker = 0xDEADBEEF;

// One argument of a send: the marker, the type text of the value, and the value.
struct RTArgument {
    uint32_t marker = 0;
    std::string typeEncoding;
    std::any value;
};

template <class T>
RTArgument RTARG(T&& value) {
    return {RTArgumentMarker, plat::typeCode<T>(), plat::detail::pack(std::forward<T>(value))};
}

class RTMethod : public plat::Object {
    PLAT_CLASS(RTMethod)
  public:
    // A descriptor of the method that the class's own table holds for the selector.
    static Ref<RTMethod> methodWithObjCMethod(plat::Class& cls, plat::Selector selector);
    static Ref<RTMethod> methodWithSelector(plat::Selector selector,
                                            RTImplementation implementation, std::string signature);

    virtual plat::Selector selector() const;
    std::string selectorName() const { return selector().name(); }
    virtual RTImplementation implementation() const;
    virtual std::string signature() const;
    // On a declared method this replaces the class's implementation; on a method made from its
    // parts it changes only the stored one.
    virtual void setImplementation(RTImplementation implementation);

    // Sends the method to the target. The result is copied into `result` when the method answers
    // something and `result` is given. False when an argument is refused (nothing is sent).
    bool returnValue(std::any* result, plat::Object& target,
                     const std::vector<RTArgument>& arguments) const;
    // The same for a method that answers an object (signature beginning "@"), which it returns.
    Ref<plat::Object> sendToTarget(plat::Object& target,
                                   const std::vector<RTArgument>& arguments) const;

    // "<Class 0x...: selector implementation signature>"
    std::string description() const override;
    // Equal when the selector, the implementation (identity) and the signature are equal.
    bool isEqual(const plat::Object* other) const;
    size_t hash() const;

    // The sending with the name of the operation that asks for it in its messages.
    bool send(const char* routine, std::any* result, plat::Object& target,
              const std::vector<RTArgument>& arguments) const;
};

class _RTObjCMethod final : public RTMethod {
    PLAT_CLASS(_RTObjCMethod)
  public:
    _RTObjCMethod(plat::Class& cls, plat::Selector selector) : cls_(&cls), selector_(selector) {}
    plat::Selector selector() const override { return selector_; }
    RTImplementation implementation() const override;
    std::string signature() const override;
    void setImplementation(RTImplementation implementation) override;

  private:
    plat::Class* cls_;
    plat::Selector selector_;
};

class _RTComponentsMethod final : public RTMethod {
    PLAT_CLASS(_RTComponentsMethod)
  public:
    _RTComponentsMethod(plat::Selector selector, RTImplementation implementation,
                        std::string signature)
        : selector_(selector),
          implementation_(std::move(implementation)),
          signature_(std::move(signature)) {}
    plat::Selector selector() const override { return selector_; }
    RTImplementation implementation() const override { return implementation_; }
    std::string signature() const override { return signature_; }
    void setImplementation(RTImplementation implementation) override {
        implementation_ = std::move(implementation);
    }

  private:
    plat::Selector selector_;
    RTImplementation implementation_;
    std::string signature_;
};
