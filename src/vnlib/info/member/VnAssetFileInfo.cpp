#include "vnlib/info/member/VnAssetFileInfo.h"

#include "platform/core/Property.h"

PLAT_DEFINE_CLASS(VnAssetFileInfo, VnInfo, [](auto& c) {
    c.property("requestId", "T@\"NSString\",C,N,VrequestId_", &VnAssetFileInfo::requestId_)
        .property("fileId", "T@\"NSString\",C,N,VfileId_", &VnAssetFileInfo::fileId_)
        .property("fileSize", "Tq,N,VfileSize_", &VnAssetFileInfo::fileSize_)
        .property("primaryUrl", "T@\"NSString\",C,N,VprimaryUrl_", &VnAssetFileInfo::primaryUrl_)
        .property("bookCode", "T@\"NSString\",C,N,VbookCode_", &VnAssetFileInfo::bookCode_)
        .property("secondUrl", "T@\"NSString\",C,N,VsecondUrl_", &VnAssetFileInfo::secondUrl_)
        .property("width", "Ti,N,Vwidth_", &VnAssetFileInfo::width_)
        .property("height", "Ti,N,Vheight_", &VnAssetFileInfo::height_);
})
