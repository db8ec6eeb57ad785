#pragma once
// VnAssetFileInfo: the descriptor of one downloadable file as the asset call answers it: the
// request and file ids, the size, the download URLs, the item the file belongs to and, for
// images, the picture size.
#include <optional>
#include <string>

#include "vnlib/info/VnInfo.h"

class VnAssetFileInfo : public VnInfo {
    PLAT_CLASS(VnAssetFileInfo)
  public:
    std::optional<std::string> requestId_;
    std::optional<std::string> fileId_;  // matched by the caller to the asset id it asked for
    int64_t fileSize_ = 0;               // bytes
    std::optional<std::string> primaryUrl_;
    std::optional<std::string> bookCode_;
    std::optional<std::string> secondUrl_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};
