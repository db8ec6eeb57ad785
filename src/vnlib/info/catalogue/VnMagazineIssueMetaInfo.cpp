#include "vnlib/info/catalogue/VnMagazineIssueMetaInfo.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnMagazineIssueMetaInfo, VnInfoWithHashString, [](auto& c) {
    c.property("sortIndex", "Ti,N,VsortIndex_", &VnMagazineIssueMetaInfo::sortIndex_)
        .property("totalResultLength", "Ti,N,VtotalResultLength_",
                  &VnMagazineIssueMetaInfo::totalResultLength_);
})

PLAT_DEFINE_CLASS(VnMagazineMetaInfo, VnInfoWithHashString, [](auto& c) {
    c.property("sortIndex", "Ti,N,VsortIndex_", &VnMagazineMetaInfo::sortIndex_);
})
