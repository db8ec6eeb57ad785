#include "vnlib/domain/lists/VnMagazineIssueInfoProxy.h"

#include "vnlib/domain/lists/VnUserMagazineIssueInfo.h"
#include "vnlib/info/catalogue/VnMagazineIssueMetaInfo.h"

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
    if (auto proxy = std::dynamic_pointer_cast<VnMagazineIssueInfoProxy>(item))
        return proxy->info();
    return std::dynamic_pointer_cast<VnMagazineIssueInfo>(item);
}

int32_t VnMagazineIssueInfoProxy::sortIndexOf(const Ref<VnInfo>& item) {
    if (auto proxy = std::dynamic_pointer_cast<VnMagazineIssueInfoProxy>(item))
        return proxy->sortIndex();
    if (auto record = std::dynamic_pointer_cast<VnMagazineIssueInfo>(item))
        return record->sortIndex_;
    if (auto reference = std::dynamic_pointer_cast<VnMagazineIssueMetaInfo>(item))
        return reference->sortIndex_;
    if (auto userRecord = std::dynamic_pointer_cast<VnUserMagazineIssueInfo>(item))
        return userRecord->sortIndex();
    return 0;
}
