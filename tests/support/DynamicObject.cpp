#include "support/DynamicObject.h"

#include <algorithm>

namespace testing_support {

PLAT_DEFINE_CLASS(DynamicObject, plat::Object, PLAT_NO_METHODS)

DynamicObject& DynamicObject::on(plat::Selector sel, Handler handler) {
    handlers_[sel] = handler ? std::move(handler) : [](plat::Args&) { return std::any(); };
    return *this;
}

bool DynamicObject::respondsToSelector(plat::Selector sel) const {
    return handlers_.count(sel) > 0 || plat::Object::respondsToSelector(sel);
}

void DynamicObject::forwardInvocation(plat::Invocation& invocation) {
    auto it = handlers_.find(invocation.selector());
    if (it == handlers_.end()) {
        plat::Object::forwardInvocation(invocation);
        return;
    }
    const std::string& name = invocation.selector().name();
    calls_.push_back(name);
    args_[name].push_back(invocation.arguments());
    auto handler = it->second;  // the handler may replace itself
    invocation.setReturnValue(handler(invocation.arguments()));
}

size_t DynamicObject::count(const std::string& sel) const {
    return static_cast<size_t>(std::count(calls_.begin(), calls_.end(), sel));
}

}  // namespace testing_support
