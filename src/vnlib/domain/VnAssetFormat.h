#pragma once
// The content formats of the bookstore's content cache, as numbers (the catalogue item record
// keeps its supported and default formats this way), and the format text of each number as the
// asset requests send it: 0 "PDF", 1 "JPG", 2 "XML", 3 "EPUB", 4 "DEFAULT"; likewise the asset
// types: 0 "COVER", 2 "PAGE", 3 "PAGEPREVIEW", 4 "XML", 5 "INTERACTIVE" (1 has no name).
#include <cstdint>
#include <string>

enum VnAssetFormatType : int32_t {
    VnAssetFormatTypePDF = 0,
    VnAssetFormatTypeJPG = 1,
    VnAssetFormatTypeXML = 2,
    VnAssetFormatTypeEPUB = 3,
    VnAssetFormatTypeDEFAULT = 4,
};

// The format text of a format number. Any other number is a programming error:
// NSInternalInconsistencyException "Invalid parameter not satisfying: ...".
std::string assetFormatFromEnumType(int32_t type);

enum VnAssetType : int32_t {
    VnAssetTypeCover = 0,
    VnAssetTypePage = 2,
    VnAssetTypePagePreview = 3,
    VnAssetTypeXml = 4,
    VnAssetTypeInteractive = 5,
};

// The type text of a type number. 1 or any number outside 0 to 5 is a programming error:
// NSInternalInconsistencyException "Invalid parameter not satisfying: ...".
std::string assetTypeFromEnumType(int32_t type);
