#include "vnlib/info/store/VnUserRatingInfo.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnUserRatingInfo, VnInfo, [](auto& c) {
    c.property("itemId", "T@\"NSString\",C,N,VitemId_", &VnUserRatingInfo::itemId_)
        .property("rate", "Ti,N,Vrate_", &VnUserRatingInfo::rate_);
})
