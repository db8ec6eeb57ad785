#include "vnlib/dev/runtime/RTProtocol.h"

#include <functional>

#include "platform/core/Log.h"
#include "vnlib/dev/runtime/RTNotRecognized.h"

PLAT_DEFINE_CLASS(RTProtocol, plat::Object, PLAT_NO_METHODS)
PLAT_DEFINE_CLASS(_RTObjCProtocol, RTProtocol, PLAT_NO_METHODS)

std::vector<Ref<RTProtocol>> RTProtocol::allProtocols() {
    std::vector<Ref<RTProtocol>> out;
    for (const plat::Protocol* protocol : plat::Protocol::all())
        out.push_back(protocolWithObjCProtocol(*protocol));
    return out;
}

Ref<RTProtocol> RTProtocol::protocolWithObjCProtocol(const plat::Protocol& protocol) {
    return std::make_shared<_RTObjCProtocol>(protocol);
}

Ref<RTProtocol> RTProtocol::protocolWithName(const std::string& name) {
    const plat::Protocol* protocol = plat::Protocol::named(name);
    return protocol ? protocolWithObjCProtocol(*protocol) : nullptr;
}

const plat::Protocol& RTProtocol::objCProtocol() const {
    rt_notRecognized(*this, "objCProtocol");
}

std::vector<Ref<RTProtocol>> RTProtocol::incorporatedProtocols() const {
    std::vector<Ref<RTProtocol>> out;
    for (const plat::Protocol* protocol : objCProtocol().incorporated())
        out.push_back(protocolWithObjCProtocol(*protocol));
    return out;
}

std::vector<Ref<RTMethod>> RTProtocol::methodsRequired(bool required, bool instance) const {
    std::vector<Ref<RTMethod>> out;
    for (const auto& description : objCProtocol().methods()) {
        if (description.required == required && description.instance == instance)
            out.push_back(
                RTMethod::methodWithSelector(description.selector, nullptr, description.types));
    }
    return out;
}

std::string RTProtocol::description() const {
    return plat::format("<%s %p: %s>", className().c_str(), static_cast<const void*>(this),
                        name().c_str());
}

bool RTProtocol::isEqual(const plat::Object* other) const {
    const auto* protocol = dynamic_cast<const RTProtocol*>(other);
    return protocol && &protocol->objCProtocol() == &objCProtocol();
}

size_t RTProtocol::hash() const {
    return std::hash<const void*>()(&objCProtocol());
}
