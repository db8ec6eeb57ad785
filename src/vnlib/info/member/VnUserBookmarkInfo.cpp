#include "vnlib/info/member/VnUserBookmarkInfo.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnUserBookmarkInfo, plat::Object, [](auto& c) {
    c.property("issueCode", "T@\"NSString\",R,C,N,VissueCode_", &VnUserBookmarkInfo::issueCode)
        .property("title", "T@\"NSString\",R,C,N,Vtitle_", &VnUserBookmarkInfo::title)
        .property("pageName", "T@\"NSString\",R,C,N,VpageName_", &VnUserBookmarkInfo::pageName)
        .property("pageIndex", "Ti,N,VpageIndex_", &VnUserBookmarkInfo::pageIndex,
                  &VnUserBookmarkInfo::setPageIndex);
})
