#include "vnlib/info/catalogue/VnPageInfo.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnPageInfo, VnInfo, [](auto& c) {
    c.property("sourcePageIndex", "Ti,N,VsourcePageIndex_", &VnPageInfo::sourcePageIndex,
               &VnPageInfo::setSourcePageIndex)
        .property("presentationPageIndex", "Ti,N,VpresentationPageIndex_",
                  &VnPageInfo::presentationPageIndex_);
})

PLAT_DEFINE_CLASS(VnMagazineIssuePageInfo, plat::Object, PLAT_NO_METHODS)

void VnPageInfo::setSourcePageIndex(int32_t index) {
    sourcePageIndex_ = index;
    setCode(std::to_string(index));
}
