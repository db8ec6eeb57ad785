#include "vnlib/domain/lists/VnMagazineIssueInfoProxy.h"

#include <typeinfo>

PLAT_DEFINE_CLASS(VnMagazineIssueInfoProxy, VnInfo, PLAT_NO_METHODS)

VnMagazineIssueInfoProxy::VnMagazineIssueInfoProxy(Ref<VnMagazineIssueInfo> info)
    : info_(std::move(info)) {
    PLAT_PARAMETER_ASSERT(info_);
    setCode(info_->code());
}

Ref<plat::Object> VnMagazineIssueInfoProxy::forwardingTargetForSelector(plat::Selector) {
    return info_;
}

bool VnMagazineIssueInfoProxy::respondsToSelector(plat::Selector sel) const {
    return VnInfo::respondsToSelector(sel) || info_->respondsToSelector(sel);
}

std::string VnMagazineIssueInfoProxy::description() const {
    return "<VnMagazineIssueInfoProxy sortIndex = " + std::to_string(sortIndex_) + ": " +
           info_->description() + ">";
}

Ref<VnMagazineIssueInfo> VnMagazineIssueInfoProxy::recordOf(const Ref<VnInfo>& item) {
    // The two common classes by their exact class, before any cast walks the hierarchy.
    const VnInfo* object = item.get();
    if (object && typeid(*object) == typeid(VnMagazineIssueInfoProxy))
        return static_cast<const VnMagazineIssueInfoProxy&>(*object).info();
    if (object && typeid(*object) == typeid(VnMagazineIssueInfo))
        return std::static_pointer_cast<VnMagazineIssueInfo>(item);
    if (auto proxy = std::dynamic_pointer_cast<VnMagazineIssueInfoProxy>(item))
        return proxy->info();
    return std::dynamic_pointer_cast<VnMagazineIssueInfo>(item);
}
