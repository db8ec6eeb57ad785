#include "vnlib/info/store/VnAuthorInfo.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnAuthorInfo, VnInfo, [](auto& c) {
    c.property("fullName", "T@\"NSString\",C,N", &VnAuthorInfo::fullName,
               &VnAuthorInfo::setFullName);
})

PLAT_DEFINE_CLASS(VnPublisherInfo, VnInfo, [](auto& c) {
    c.property("fullName", "T@\"NSString\",C,N", &VnPublisherInfo::fullName,
               &VnPublisherInfo::setFullName);
})
