#pragma once
// ThumbnailSelectorWidget: a visible widget holding the paths of thumbnails and of their full
// pictures. Nothing fills them yet and no widget type names it; it behaves as a plain visible
// widget.
#include "app/issueui/VisibleWidget.h"

class ThumbnailSelectorWidget : public VisibleWidget {
    PLAT_CLASS(ThumbnailSelectorWidget)
  public:
    const std::vector<std::string>& thumbnailImageFullPaths() const {
        return thumbnailImageFullPaths_;
    }
    const std::vector<std::string>& imageFullPaths() const { return imageFullPaths_; }

  private:
    std::vector<std::string> thumbnailImageFullPaths_;
    std::vector<std::string> imageFullPaths_;
};
