#include "vnlib/domain/lists/VnUserMagazineIssueInfo.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnUserMagazineIssueInfo, VnInfo, [](auto& c) {
    c.property("hiddenFromLibrary", "Tc,N,VhiddenFromLibrary_",
               &VnUserMagazineIssueInfo::hiddenFromLibrary,
               &VnUserMagazineIssueInfo::setHiddenFromLibrary);
    c.property("sortIndex", "Ti,N,VsortIndex_", &VnUserMagazineIssueInfo::sortIndex,
               &VnUserMagazineIssueInfo::setSortIndex);
    c.property("finished", "Tc,N,Vfinished_", &VnUserMagazineIssueInfo::finished,
               &VnUserMagazineIssueInfo::setFinished);
    c.property("readed", "Tc,N,Vreaded_", &VnUserMagazineIssueInfo::readed,
               &VnUserMagazineIssueInfo::setReaded);
})

Ref<VnUserMagazineIssueInfo> VnUserMagazineIssueInfo::itemWithMagazineIssueCode(
    const std::string& code) {
    auto item = std::make_shared<VnUserMagazineIssueInfo>();
    item->setCode(code);
    return item;
}
