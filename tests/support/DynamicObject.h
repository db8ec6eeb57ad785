#pragma once
// A test object whose methods are added per instance, with a log of the messages it received.
#include <any>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/core/Object.h"

namespace testing_support {

class DynamicObject : public plat::Object {
    PLAT_CLASS(DynamicObject)
  public:
    using Handler = std::function<std::any(plat::Args&)>;

    // Answers sel by calling handler; the message is recorded in calls().
    DynamicObject& on(plat::Selector sel, Handler handler = {});
    bool respondsToSelector(plat::Selector sel) const override;
    void forwardInvocation(plat::Invocation& invocation) override;

    const std::vector<std::string>& calls() const { return calls_; }
    size_t count(const std::string& sel) const;
    std::vector<plat::Args>& arguments(const std::string& sel) { return args_[sel]; }

    static Ref<DynamicObject> make() { return std::make_shared<DynamicObject>(); }

  private:
    std::unordered_map<plat::Selector, Handler> handlers_;
    std::vector<std::string> calls_;
    std::unordered_map<std::string, std::vector<plat::Args>> args_;
};

// A shared journal for checking the order of callbacks across objects.
using Journal = std::vector<std::string>;

// The index-th argument of the call-th recorded message; objects travel as Ref<plat::Object>.
template <class T>
T sentArgument(DynamicObject& object, const std::string& sel, size_t call, size_t index = 0) {
    const std::any& slot = object.arguments(sel).at(call).at(index);
    if constexpr (requires { typename T::element_type; })
        return std::dynamic_pointer_cast<typename T::element_type>(
            std::any_cast<Ref<plat::Object>>(slot));
    else
        return std::any_cast<T>(slot);
}

}  // namespace testing_support
