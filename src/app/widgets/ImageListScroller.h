#pragma once
// ImageListScroller: pictures side by side in a horizontally scrolling strip, each as large as
// the strip and stretched to it, a horizontal scroller only for more than one picture, a 40 by
// 40 close button in the upper right corner and a clear button over the whole strip. A click on
// either closes the strip, which stays where it is. Setting the same list again rebuilds nothing.
#include <QPointer>
#include <QRectF>
#include <memory>
#include <vector>

#include "app/widgets/PopupView.h"
#include "platform/core/Object.h"

namespace plat {
class Image;
}
class QAbstractButton;
class QScrollArea;
class ScaledImageView;

class ImageListScroller : public PopupView {
  public:
    using ImageList = std::shared_ptr<const std::vector<Ref<plat::Image>>>;
    // The kind of view the widget factory's makers give for it.
    static constexpr const char* kViewKind = "ImageListScroller";

    explicit ImageListScroller(const QRectF& frame);

    void updateScrollview();
    void layoutSubviews();
    void imageTouched();
    void updateFromImages();
    const ImageList& images() const { return images_; }
    void setImages(const ImageList& images);
    bool closeButtonVisible() const;
    void setCloseButtonVisible(bool visible);
    void closeButtonTouchUpInside();

    QScrollArea* scrollView() const { return scrollView_; }
    QAbstractButton* closeButton() const { return closeButton_; }
    QAbstractButton* imageClickButton() const { return imageClickButton_; }
    const std::vector<QPointer<ScaledImageView>>& imageViews() const { return imageViews_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    ImageList images_;
    std::vector<QPointer<ScaledImageView>> imageViews_;
    QScrollArea* scrollView_ = nullptr;            // a child
    QAbstractButton* closeButton_ = nullptr;       // a child
    QAbstractButton* imageClickButton_ = nullptr;  // a child, over the others
    QRectF lastLayoutBounds_;
};
