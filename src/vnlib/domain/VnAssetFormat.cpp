#include "vnlib/domain/VnAssetFormat.h"

#include "platform/core/Exception.h"
#include "vnlib/service/params/VnRequestAssetInfo.h"

std::string assetFormatFromEnumType(int32_t type) {
    switch (type) {
        case VnAssetFormatTypePDF:
            return VnAssetFormat_PDF;
        case VnAssetFormatTypeJPG:
            return VnAssetFormat_JPEG;
        case VnAssetFormatTypeXML:
            return VnAssetFormat_XML;
        case VnAssetFormatTypeEPUB:
            return VnAssetFormat_EPUB;
        case VnAssetFormatTypeDEFAULT:
            return VnAssetFormat_DEFAULT;
        default:
            break;
    }
    plat::assertionFailed("type >= VnAssetFormatTypePDF && type <= VnAssetFormatTypeDEFAULT",
                          __FILE__, __LINE__);
}

std::string assetTypeFromEnumType(int32_t type) {
    switch (type) {
        case VnAssetTypeCover:
            return VnAssetIdType_Cover;
        case VnAssetTypePage:
            return VnAssetIdType_Page;
        case VnAssetTypePagePreview:
            return VnAssetIdType_PagePreview;
        case VnAssetTypeXml:
            return VnAssetIdType_Xml;
        case VnAssetTypeInteractive:
            return VnAssetIdType_Interactive;
        default:
            break;
    }
    plat::assertionFailed("type >= VnAssetTypeCover && type <= VnAssetTypeInteractive && type != 1",
                          __FILE__, __LINE__);
}
