#pragma once
// The content formats of the bookstore's content cache, as numbers (the catalogue item record
// keeps its supported and default formats this way), and the format text of each number as the
// asset requests send it: 0 "PDF", 1 "JPG", 2 "XML", 3 "EPUB", 4 "DEFAULT".
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
