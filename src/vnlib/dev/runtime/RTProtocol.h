#pragma once
// RTProtocol: a descriptor of a declared protocol (plat::Protocol): its name, the protocols it
// incorporates and its method descriptions as RTMethod descriptors without implementation.
// RTProtocol is abstract; _RTObjCProtocol is the concrete kind.
#include <string>
#include <vector>

#include "platform/core/Object.h"
#include "platform/core/Protocol.h"
#include "vnlib/dev/runtime/RTMethod.h"

class RTProtocol : public plat::Object {
    PLAT_CLASS(RTProtocol)
  public:
    // Every declared protocol.
    static std::vector<Ref<RTProtocol>> allProtocols();
    static Ref<RTProtocol> protocolWithObjCProtocol(const plat::Protocol& protocol);
    // Null when no protocol of that name is declared.
    static Ref<RTProtocol> protocolWithName(const std::string& name);

    virtual const plat::Protocol& objCProtocol() const;
    const std::string& name() const { return objCProtocol().name(); }
    std::vector<Ref<RTProtocol>> incorporatedProtocols() const;
    // The methods described with the given required and instance flags.
    std::vector<Ref<RTMethod>> methodsRequired(bool required, bool instance) const;

    // "<Class 0x...: name>"
    std::string description() const override;
    // Equal when both describe the same protocol.
    bool isEqual(const plat::Object* other) const;
    size_t hash() const;
};

class _RTObjCProtocol final : public RTProtocol {
    PLAT_CLASS(_RTObjCProtocol)
  public:
    explicit _RTObjCProtocol(const plat::Protocol& protocol) : protocol_(&protocol) {}
    const plat::Protocol& objCProtocol() const override { return *protocol_; }

  private:
    const plat::Protocol* protocol_;
};
